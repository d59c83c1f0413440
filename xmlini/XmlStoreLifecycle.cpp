// CXmlIni construction, copying, destruction and opening files.
#include <xercesc/dom/DOM.hpp>
#include <xercesc/util/PlatformUtils.hpp>

#include <cstdio>

#include "../include/XmlIni.h"
#include "../platform/Platform.h"
#include "../text/TextUtil.h"
#include "XmlParserHost.h"

using namespace xercesc;

namespace dezov {
namespace {

// Written byte for byte when an opened file does not exist.
const char kDefaultDocument[] =
    "<?xml version=\"1.0\" encoding=\"gb2312\" ?>\r\n"
    "<vornini comment=\"VornSoft Config Data\" Version=\"1.0\"></vornini>";

bool StartLibrary(std::string& error) {
  try {
    XMLPlatformUtils::Initialize();
    return true;
  } catch (const XMLException& e) {
    const XMLCh* message = e.getMessage();
    error.clear();
    for (const XMLCh* c = message; c && *c; ++c) error.push_back(*c < 0x80 ? char(*c) : '?');
    return false;
  }
}

// Creates fileName holding the default document; false when it cannot.
bool CreateDefaultDocument(const std::string& fileName) {
  if (fileName.empty()) return false;
  std::FILE* file = std::fopen(fileName.c_str(), "ab");
  if (file == nullptr) return false;
  const std::size_t size = sizeof kDefaultDocument - 1;
  const bool written = std::fwrite(kDefaultDocument, 1, size, file) == size;
  if (std::fclose(file) != 0 || !written) {
    std::remove(fileName.c_str());  // never leave a half-written document behind
    return false;
  }
  return true;
}

// The store's message for a failed load: every open failure is worded here.
std::string OpenFailureText(const Status& status) {
  if (status.code() == Status::Code::kInvalid)  // an exception of the DOM
    return "DOM Error during parsing. " + status.message();
  if (status.message().empty()) return "An error occurred during parsing!";
  return "An error occurred during parsing Message: " + status.message();
}

}  // namespace

XmlLibraryStart::XmlLibraryStart() {
  platform::SetChineseLocale();
  StartLibrary(error_);
}

XmlLibraryStart::XmlLibraryStart(const XmlLibraryStart&) { StartLibrary(error_); }

XmlLibraryStart::~XmlLibraryStart() { XMLPlatformUtils::Terminate(); }

}  // namespace dezov

using dezov::XmlParserHost;

CXmlIni::CXmlIni()
    : pXMLDoc(nullptr), pCurNode(nullptr), nCurCount(0) {
  strLastErrMsg = libraryStart.error();
  static const XMLCh kCore[] = {'C', 'o', 'r', 'e', 0};
  if (DOMImplementationRegistry::getDOMImplementation(kCore) == nullptr) {
    strLastErrMsg = "DOMImplementationRegistry::getDOMImplementation Fail";
    return;
  }
  pParser = std::make_shared<XmlParserHost>();
}

CXmlIni::CXmlIni(const CXmlIni& other)
    : libraryStart(other.libraryStart),
      strFileName(other.strFileName),
      strLastErrMsg(other.strLastErrMsg),
      pParser(other.pParser),
      pXMLDoc(other.pXMLDoc),
      pCurNode(other.pCurNode),
      nCurCount(other.nCurCount),
      strCurName(other.strCurName),
      lastRecord(other.lastRecord) {}

CXmlIni& CXmlIni::operator=(const CXmlIni& other) {
  if (this == &other) return *this;
  strFileName = other.strFileName;
  strLastErrMsg = other.strLastErrMsg;
  pParser = other.pParser;  // the old host dies here when no copy uses it
  pXMLDoc = other.pXMLDoc;
  pCurNode = other.pCurNode;
  nCurCount = other.nCurCount;
  strCurName = other.strCurName;
  lastRecord = other.lastRecord;
  return *this;
}

CXmlIni::~CXmlIni() = default;  // members go in reverse order: the library stops last

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
  if (!pParser) {
    strLastErrMsg = "cannot parse " + name + ": the XML library did not start";
    return false;
  }
  dezov::XmlDocument* document = nullptr;
  const dezov::Status status = pParser->Load(name, document);
  if (!status.ok()) {
    strLastErrMsg = dezov::OpenFailureText(status);
    return false;
  }
  // A parse without errors always yields a root element.
  const dezov::NameQuery rootName("vornini", document->codec());
  if (!rootName.Matches(document->root()->getNodeName())) {
    strLastErrMsg = "XML Root IXMLElement Invalid " + strFileName;
    return false;
  }
  pXMLDoc = document;
  strFileName = name;
  return true;
}
