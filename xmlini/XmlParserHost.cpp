#include "XmlParserHost.h"

#include "../platform/Platform.h"

namespace dezov {

XmlParserHost::XmlParserHost() : parser_(codec_) {}

XmlParserHost::~XmlParserHost() = default;

Status XmlParserHost::Load(const std::string& fileName, XmlDocument*& document) {
  document = nullptr;
  std::string bytes;
  const Status read = platform::ReadWholeFile(fileName, bytes);
  if (!read.ok()) return Status::IOError(read.message());
  xercesc::DOMDocument* parsed = nullptr;
  Status status = parser_.Parse(bytes, fileName, parsed);
  if (!status.ok()) return status;
  documents_.push_back(std::make_unique<XmlDocument>(parsed, codec_, handles_));
  document = documents_.back().get();
  document->KeepElementLines(parser_.TakeElementLines());
  return status;
}

}  // namespace dezov
