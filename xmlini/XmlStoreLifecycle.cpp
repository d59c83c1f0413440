// CXmlIni construction, copying, destruction and opening files.
#include <xercesc/dom/DOM.hpp>

#include "../include/XmlIni.h"
#include "../platform/FileLock.h"
#include "../platform/Platform.h"
#include "../text/TextUtil.h"
#include "XmlDocument.h"
#include "XmlDocumentReuse.h"
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

// Parses bytes into a document that knows the line of each element; one
// parsed from the file fileName (not from memory: "") keeps the bytes too.
Status ParseDocument(std::string bytes, const std::string& fileName,
                     std::shared_ptr<XmlDocument>& document) {
  xercesc::DOMDocument* parsed = nullptr;
  std::vector<std::uint32_t> lines;
  Status status = ParseXml(bytes, fileName.empty() ? "memory" : fileName, parsed, lines);
  if (!status.ok()) return status;
  document = HoldDocument(std::make_unique<XmlDocument>(parsed));
  document->KeepElementLines(std::move(lines));
  if (!fileName.empty()) document->KeepSource(fileName, std::move(bytes));
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

bool CXmlIni::OpenBuffer(const char* data, std::size_t size) {
  strLastErrMsg.clear();
  if (data == nullptr && size != 0) {
    strLastErrMsg = "An error occurred during parsing Message: no bytes at a null address";
    return false;
  }
  return OpenBytes(std::string(data == nullptr ? "" : data, size), std::string());
}

bool CXmlIni::OpenResolvedName(const char* fileName) {
  strLastErrMsg.clear();
  std::string name;
  if (!dezov::LoadResourceText(name, fileName)) name = dezov::OrEmpty(fileName);

  if (!dezov::platform::FileExists(name)) {
    if (!dezov::CreateDefaultDocument(name)) strLastErrMsg = "open xml file error";
    return false;
  }
  std::string bytes;
  dezov::platform::FileStamp stamp;
  const dezov::Status read = dezov::platform::ReadWholeFile(name, bytes, &stamp);
  if (!read.ok()) {
    strLastErrMsg = dezov::OpenFailureText(dezov::Status::IOError(read.message()));
    return false;
  }
  if (!OpenBytes(std::move(bytes), name)) return false;
  pXMLDoc->fileStamp() = stamp;
  return true;
}

bool CXmlIni::OpenBytes(std::string bytes, const std::string& name) {
  const dezov::Status& library = dezov::StartXmlLibrary();
  if (!library.ok()) {
    strLastErrMsg = "cannot parse " + (name.empty() ? std::string("the document in memory") : name) +
                    ": the XML library did not start (" + library.message() + ")";
    return false;
  }
  // A document that is exactly the parse of these bytes of this file is used
  // as it is: this store's own when no copy shares it, or one no store uses any
  // more. Documents from memory are never kept for reuse.
  std::shared_ptr<dezov::XmlDocument> document;
  if (!name.empty()) {
    if (pXMLDoc && pXMLDoc.use_count() == 1 && pXMLDoc->IsUnchangedParseOf(name, bytes))
      document = pXMLDoc;
    else
      document = dezov::TakeKeptDocument(name, bytes);
  }
  if (document == nullptr) {
    const dezov::Status status = dezov::ParseDocument(std::move(bytes), name, document);
    if (!status.ok()) {
      strLastErrMsg = dezov::OpenFailureText(status);
      return false;
    }
  }
  // A parse without errors always yields a root element. A refused document
  // may still be kept for later opens: each one checks it again.
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
