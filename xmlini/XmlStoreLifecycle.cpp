// CXmlIni construction, copying, destruction and opening files.
#include <xercesc/dom/DOM.hpp>

#include "../include/XmlIni.h"
#include "../platform/FileLock.h"
#include "../platform/Platform.h"
#include "../text/TextUtil.h"
#include "XmlDocument.h"
#include "XmlLibrary.h"
#include "XmlNodeHandles.h"
#include "XmlParser.h"

using namespace xercesc;

namespace dezov {
namespace {

// Written byte for byte when an opened file does not exist.
const char kDefaultDocument[] =
    "<?xml version=\"1.0\" encoding=\"gb2312\" ?>\r\n"
    "<vornini comment=\"VornSoft Config Data\" Version=\"1.0\"></vornini>";

// Creates fileName holding the default document, exclusively: when several
// processes open the missing file at once, one creates it and the others find
// it complete. False when no file could be made there.
bool CreateDefaultDocument(const std::string& fileName) {
  const Status created = platform::CreateFileExclusive(fileName, kDefaultDocument);
  return created.ok() || created.IsAlreadyExists();
}

// Reads and parses the file (IOError/NotFound from reading, else as ParseXml).
Status LoadXmlFile(const std::string& fileName, std::shared_ptr<XmlDocument>& document) {
  std::string bytes;
  platform::FileStamp stamp;
  const Status read = platform::ReadWholeFile(fileName, bytes, &stamp);
  if (!read.ok()) return Status::IOError(read.message());
  xercesc::DOMDocument* parsed = nullptr;
  std::vector<std::uint32_t> lines;
  Status status = ParseXml(bytes, fileName, parsed, lines);
  if (!status.ok()) return status;
  document = std::make_shared<XmlDocument>(parsed);
  document->KeepElementLines(std::move(lines));
  document->fileStamp() = stamp;
  return status;
}

// The store's message for a failed load: every open failure is worded here.
std::string OpenFailureText(const Status& status) {
  if (status.code() == Status::Code::kInvalid)  // an exception of the DOM
    return "DOM Error during parsing. " + status.message();
  if (status.message().empty()) return "An error occurred during parsing!";
  return "An error occurred during parsing Message: " + status.message();
}

}  // namespace

}  // namespace dezov

CXmlIni::CXmlIni()
    : nodeHandles(std::make_shared<dezov::NodeHandleTable>()),
      pCurNode(nullptr),
      nCurCount(0) {
  dezov::platform::SetChineseLocale();  // Windows only: hosts there rely on it
  strLastErrMsg = dezov::StartXmlLibrary().message();
}

CXmlIni::CXmlIni(const CXmlIni& other) = default;

CXmlIni& CXmlIni::operator=(const CXmlIni& other) = default;

CXmlIni::~CXmlIni() = default;

bool CXmlIni::Open(const char* fileName) { return OpenResolvedName(fileName); }

bool CXmlIni::OpenAtExeDirectory(const char* fileName) {
  strLastErrMsg.clear();
  std::string directory;
  if (!dezov::platform::CurrentDirectory(directory).ok()) {
    strLastErrMsg = "cannot read the current directory";
    return false;
  }
  const std::string path =
      dezov::platform::JoinDirectory(directory, dezov::OrEmpty(fileName));
  return OpenResolvedName(path.c_str());
}

std::string CXmlIni::GetFileName() { return strFileName; }

std::string CXmlIni::GetLastErrMsg() { return strLastErrMsg; }

void CXmlIni::ResetContent() {}

bool CXmlIni::OpenResolvedName(const char* fileName) {
  strLastErrMsg.clear();
  std::string name;
  if (!dezov::LoadResourceText(name, fileName)) name = dezov::OrEmpty(fileName);

  if (!dezov::platform::FileExists(name)) {
    if (!dezov::CreateDefaultDocument(name)) strLastErrMsg = "open xml file error";
    return false;
  }
  const dezov::Status& library = dezov::StartXmlLibrary();
  if (!library.ok()) {
    strLastErrMsg = "cannot parse " + name + ": the XML library did not start (" +
                    library.message() + ")";
    return false;
  }
  std::shared_ptr<dezov::XmlDocument> document;
  const dezov::Status status = dezov::LoadXmlFile(name, document);
  if (!status.ok()) {
    strLastErrMsg = dezov::OpenFailureText(status);
    return false;
  }
  // A parse without errors always yields a root element.
  if (!dezov::HasConfigurationRoot(*document)) {
    strLastErrMsg = "XML Root IXMLElement Invalid " + strFileName;
    return false;
  }
  ResetCursor();  // it points into the earlier document, which may die here
  pXMLDoc = std::move(document);
  strFileName = name;
  return true;
}

void CXmlIni::ResetCursor() {
  pCurNode = nullptr;
  nCurCount = 0;
  strCurName.clear();
  lastRecord = dezov::RecordPosition();
}
