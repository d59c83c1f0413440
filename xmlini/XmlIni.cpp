// SPDX-License-Identifier: MIT
// CXmlIni: every member of the XML store, in the order the class declares
// them. The document, the parser, the writer, the change log, document reuse,
// record lookup and node handles are concepts of their own beside it.
#include "../include/XmlIni.h"

#include <xercesc/dom/DOM.hpp>

#include <unordered_map>
#include <vector>

#include "../platform/FileRead.h"
#include "../platform/SaveProtocol.h"
#include "../platform/Platform.h"
#include "../text/Numbers.h"
#include "../text/TextUtil.h"
#include "XmlChangeLog.h"
#include "XmlDocument.h"
#include "XmlDocumentReuse.h"
#include "XmlDocumentWriter.h"
#include "XmlLibrary.h"
#include "XmlNodeHandles.h"
#include "XmlParser.h"
#include "XmlRecordCursor.h"

using namespace xercesc;
using dezov::NameQuery;
using dezov::Status;
using dezov::platform::DiskState;

namespace dezov {
namespace {

// Written byte for byte when an opened file does not exist.
const char kDefaultDocument[] =
    "<?xml version=\"1.0\" encoding=\"gb2312\" ?>\r\n"
    "<vornini comment=\"VornSoft Config Data\" Version=\"1.0\"></vornini>";

// The attribute holding a key's value.
const char kValueAttribute[] = "Value";

// Said of a store that has no document.
const char kNoDocument[] = "no document: nothing was opened";

// The OS's reason in a status of a failed call on path ("<what> '<path>':
// <reason>"); the whole message when it has no such form.
std::string OsReason(const Status& status, const std::string& path) {
  const std::string marker = "'" + path + "': ";
  const std::size_t at = status.message().find(marker);
  return at == std::string::npos ? status.message() : status.message().substr(at + marker.size());
}

// Creates fileName holding the default document, exclusively: when several
// processes open the missing file at once, one creates it and the others find
// it complete. False with the reason when no file could be made there.
bool CreateDefaultDocument(const std::string& fileName, std::string& reason) {
  const Status created = platform::CreateFileExclusive(fileName, kDefaultDocument);
  if (created.ok() || created.IsAlreadyExists()) return true;
  reason = fileName.empty() ? "the file name is empty" : fileName + ": " + OsReason(created, fileName);
  return false;
}

// An element path with the index of the element meant, when not the first.
std::string PathAt(const char* path, int index) {
  std::string text = OrEmpty(path);
  if (index != 0) text += "[" + std::to_string(index) + "]";
  return text;
}

// Parses bytes into a document that knows the line of each element; one
// parsed from the file fileName (not from memory: "") keeps the bytes too.
Status ParseDocument(std::string bytes, const std::string& fileName,
                     std::shared_ptr<XmlDocument>& document) {
  DOMDocument* parsed = nullptr;
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

// The element path of a key: section, a backslash, key. Never cut.
std::string KeyPath(const char* section, const char* key) {
  std::string path(OrEmpty(section));
  path += '\\';
  path += OrEmpty(key);
  return path;
}

// Appends the GBK name of every element child of parent.
void AppendElementNames(const DOMNode* parent, GbkCodec& codec, std::vector<std::string>& names) {
  for (const DOMNode* child = parent->getFirstChild(); child; child = child->getNextSibling())
    if (child->getNodeType() == DOMNode::ELEMENT_NODE)
      names.push_back(codec.Encode(child->getNodeName()));
}

// The element reached by taking the first match of each of the first `levels`
// components below the root, or null.
DOMNode* FollowFirstMatches(XmlDocument& document, const std::vector<std::string>& components,
                            std::size_t levels) {
  DOMNode* node = document.root();
  for (std::size_t i = 0; i < levels && node != nullptr; ++i)
    node = document.FindChild(node, NameQuery(components[i], document.codec()), 0);
  return node;
}

// Takes every attribute off element; true when there was at least one. The
// attributes are noted first and removed once each: the DOM puts back an
// attribute that has a default in the document's DTD, so "remove until none
// is left" would never end.
bool RemoveAllAttributes(XmlDocument& document, DOMElement* element) {
  const DOMNamedNodeMap* attributes = element->getAttributes();
  if (attributes == nullptr) return false;
  std::vector<DOMAttr*> present;
  for (XMLSize_t i = 0; i < attributes->getLength(); ++i)
    present.push_back(static_cast<DOMAttr*>(attributes->item(i)));
  for (DOMAttr* attribute : present) document.RemoveAttribute(element, attribute);
  return !present.empty();
}

// Takes the first attribute named name (matched ignoring A-Z case) off
// element, or every attribute for ""; true when one was there.
bool RemoveAttributeNamed(XmlDocument& document, DOMElement* element, const char* name) {
  const std::string wanted = OrEmpty(name);
  if (wanted.empty()) return RemoveAllAttributes(document, element);
  DOMAttr* found = FindAttribute(element, NameQuery(wanted, document.codec()));
  if (found == nullptr) return false;
  document.RemoveAttribute(element, found);
  return true;
}

}  // namespace
}  // namespace dezov

// ---- Construction, copies ---------------------------------------------------

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

// ---- Files ------------------------------------------------------------------

bool CXmlIni::Open(const char* fileName) { return OpenResolvedName(fileName); }

bool CXmlIni::OpenBuffer(const char* data, std::size_t size) {
  strLastErrMsg.clear();
  if (data == nullptr && size != 0) {
    strLastErrMsg = "An error occurred during parsing Message: no bytes at a null address";
    return false;
  }
  return OpenBytes(std::string(data == nullptr ? "" : data, size), std::string());
}

bool CXmlIni::OpenAtExeDirectory(const char* fileName) {
  strLastErrMsg.clear();
  std::string directory;
  const Status current = dezov::platform::CurrentDirectory(directory);
  if (!current.ok()) {
    strLastErrMsg = "cannot read the current directory: " + dezov::OsReason(current, ".");
    return false;
  }
  const std::string path =
      dezov::platform::JoinDirectory(directory, dezov::OrEmpty(fileName));
  return OpenResolvedName(path.c_str());
}

std::string CXmlIni::GetFileName() { return strFileName; }

std::string CXmlIni::GetLastErrMsg() { return strLastErrMsg; }

void CXmlIni::ResetContent() {}

// The save protocol of the XML store: the file is replaced under the save
// lock; when it is no longer the file the document was read from, it is parsed
// again and the document's logged changes are applied on top, so that nobody
// else's change is lost.
bool CXmlIni::WriteFile() {
  strLastErrMsg.clear();
  if (pXMLDoc == nullptr) {
    strLastErrMsg = "WriteFile Fail ( pXMLDoc = NULL )";
    return false;
  }
  if (strFileName.empty()) {
    strLastErrMsg = "WriteFile Fail ( no file to write: the store was opened from memory )";
    return false;
  }
  std::shared_ptr<dezov::XmlDocument> merged;
  dezov::platform::FileStamp written;
  const Status status = dezov::platform::SaveLocked(
      strFileName, pXMLDoc->fileStamp(),
      [&](const DiskState& disk, std::string& out) {
        if (disk.kind == DiskState::kChanged) {
          try {
            const Status merge = MergeWithDisk(disk.bytes, merged);
            if (!merge.ok()) return merge;
          } catch (const DOMException& error) {  // the logged names were accepted once
            return Status::Invalid("the changes could not be applied to the file on disk (DOM error " +
                                   std::to_string(error.code) + ")");
          } catch (const std::exception& error) {
            return Status::Invalid(std::string("the changes could not be applied to the file on "
                                               "disk (") + error.what() + ")");
          } catch (...) {
            return Status::Invalid("the changes could not be applied to the file on disk (an "
                                   "exception of unknown type)");
          }
        }
        return dezov::SerialiseDocument(merged ? *merged : *pXMLDoc, out);
      },
      written);
  if (!status.ok()) {
    strLastErrMsg = "WriteFile Fail ( " + status.message() + " )";
    return false;
  }
  // The changes are in the file now, through this document or the merged one.
  pXMLDoc->changes().Clear();
  if (merged) {
    ResetCursor();  // its element belongs to the document being left
    pXMLDoc = std::move(merged);
  }
  pXMLDoc->fileStamp() = written;
  return true;
}

// ---- Section and key values -------------------------------------------------

std::string CXmlIni::GetValue(const char* section, const char* key, int index) {
  return AttributeAt(dezov::KeyPath(section, key).c_str(), dezov::kValueAttribute, index);
}

std::string CXmlIni::GetValue(std::string& section, std::string& key, int index) {
  return GetValue(section.c_str(), key.c_str(), index);
}

std::string CXmlIni::GetValue(const char* section, std::string& key, int index) {
  return GetValue(section, key.c_str(), index);
}

long CXmlIni::GetLong(const char* section, const char* key, int index) {
  return dezov::ParseLong(GetValue(section, key, index).c_str());
}

bool CXmlIni::SetValue(const char* section, const char* key, const char* value, int index) {
  return SetAttributeAt(dezov::KeyPath(section, key).c_str(), dezov::kValueAttribute, value,
                        index, "SetValue");
}

bool CXmlIni::SetValue(const char* section, const char* key, std::string value, int index) {
  return SetValue(section, key, value.c_str(), index);
}

bool CXmlIni::SetValue(const char* section, const char* key, int value, int index) {
  return SetValue(section, key, static_cast<long>(value), index);
}

bool CXmlIni::SetValue(const char* section, const char* key, long value, int index) {
  return SetValue(section, key, dezov::FormatLong(value).c_str(), index);
}

// ---- Enumeration and removal ------------------------------------------------
// Each level of a section path takes the first matching element; removal takes
// every element matching the last component.

bool CXmlIni::GetSections(std::vector<std::string>& sections) {
  strLastErrMsg.clear();
  if (pXMLDoc == nullptr || pXMLDoc->root() == nullptr) return Refuse("GetSections", dezov::kNoDocument);
  dezov::AppendElementNames(pXMLDoc->root(), pXMLDoc->codec(), sections);
  return true;
}

bool CXmlIni::GetKeysInSection(const char* section, std::vector<std::string>& keys) {
  std::vector<std::string> components;
  dezov::XmlDocument* document = DocumentForPath(section, components);
  if (document == nullptr) return !components.empty() && Refuse("GetKeysInSection", dezov::kNoDocument);
  const DOMNode* found = dezov::FollowFirstMatches(*document, components, components.size());
  if (found != nullptr) dezov::AppendElementNames(found, document->codec(), keys);
  return true;  // a missing section lists nothing but is no failure
}

bool CXmlIni::RemoveSection(const char* section) {
  std::vector<std::string> components;
  dezov::XmlDocument* document = DocumentForPath(section, components);
  if (document == nullptr) return !components.empty() && Refuse("RemoveSection", dezov::kNoDocument);
  DOMNode* parent = dezov::FollowFirstMatches(*document, components, components.size() - 1);
  if (parent == nullptr) return Refuse("RemoveSection", std::string(section) + ": no such element");

  // Note every match first: removing while walking would lose the next sibling.
  const NameQuery last(components.back(), document->codec());
  std::vector<DOMNode*> doomed;
  for (DOMNode* child = parent->getFirstChild(); child; child = child->getNextSibling())
    if (dezov::IsMatchingElement(child, last)) doomed.push_back(child);
  for (DOMNode* child : doomed) document->RemoveChild(parent, child);
  if (doomed.empty()) return Refuse("RemoveSection", std::string(section) + ": no such element");
  document->changes().RemoveElements(section);
  return true;
}

bool CXmlIni::RemoveKey(const char* section, const char* key) {
  return RemoveSection(dezov::KeyPath(section, key).c_str());
}

// ---- Paths ------------------------------------------------------------------

bool CXmlIni::HaveNode(const char* path, int index) {
  return FindElement(path, index, false) != nullptr;
}

bool CXmlIni::HaveKey(const char* section, const char* key, int index) {
  if (dezov::OrEmpty(key)[0] == '\0') {  // would name the section itself
    strLastErrMsg.clear();
    return false;
  }
  return FindElement(dezov::KeyPath(section, key).c_str(), index, false) != nullptr;
}

// ---- Record cursor ----------------------------------------------------------
// Locate puts the cursor on a list of records and reads them, Append adds a
// new element and Set writes its attributes.

bool CXmlIni::Locate(const char* path, const char* name) {
  const std::string recordName = dezov::OrEmpty(name);
  const std::string lookup =
      recordName.empty() ? std::string(dezov::OrEmpty(path)) : dezov::KeyPath(path, name);
  nCurCount = 0;
  strCurName.clear();
  pCurNode = nullptr;
  lastRecord = dezov::RecordPosition();

  std::vector<std::string> components;
  dezov::XmlDocument* document = DocumentForPath(lookup.c_str(), components);
  if (document == nullptr) return !components.empty() && Refuse("Locate", dezov::kNoDocument);
  DOMElement* found = document->ResolvePath(components, 0, false);
  if (found == nullptr) return Refuse("Locate", lookup + ": no such element");
  DOMNode* list = found->getParentNode();
  if (list == nullptr || list->getNodeType() != DOMNode::ELEMENT_NODE) return false;
  // The record name takes the case written in the document, not the caller's.
  strCurName = pXMLDoc->codec().Encode(found->getNodeName());
  pCurNode = static_cast<DOMElement*>(list);
  return true;
}

bool CXmlIni::Append(const char* path) {
  pCurNode = nullptr;
  lastRecord = dezov::RecordPosition();
  std::vector<std::string> components;
  dezov::XmlDocument* document = DocumentForPath(path, components);
  if (document == nullptr) return !components.empty() && Refuse("Append", dezov::kNoDocument);
  // Components before the last take the first match (no backtracking); the
  // last one always becomes a new element.
  std::size_t level = 0;
  auto* parent = static_cast<DOMElement*>(document->WalkPathPrefix(components, level));
  dezov::ElementRef added;  // the element added to, as it was
  document->changes().Describe(*document, parent, added);
  std::string why;
  DOMElement* created = document->CreatePath(parent, components, level, &why);
  if (created == nullptr) return Refuse("Append", std::string(path) + ": " + why);
  document->changes().Append(std::move(added), path, level, created);
  pCurNode = created;
  return true;
}

bool CXmlIni::Set(const char* name, const char* value) {
  if (pCurNode == nullptr || pXMLDoc == nullptr) return false;
  dezov::Utf16 attribute;
  dezov::Utf16 text;
  if (!dezov::StorableAttribute(pXMLDoc->codec(), name, value, attribute, text))
    return Refuse("Set", "the text cannot be stored in XML");
  DOMElement* element = dezov::CursorElement(pCurNode);
  dezov::XmlChangeLog& log = pXMLDoc->changes();
  dezov::ElementRef target;  // the element as it was, found again when a save merges
  const bool logged = log.RepeatsLastSet(element, name) || log.Describe(*pXMLDoc, element, target);
  pXMLDoc->SetAttribute(element, attribute, text);
  // An element taken out of the document keeps the change to itself.
  if (logged) log.SetOnElement(std::move(target), element, name, value);
  return true;
}

bool CXmlIni::Set(const char* name, long value) {
  return Set(name, dezov::FormatLong(value).c_str());
}

bool CXmlIni::Set(const char* name, int value) { return Set(name, static_cast<long>(value)); }

bool CXmlIni::Set(const char* name, double value) {
  return Set(name, dezov::FormatFixed(value).c_str());
}

std::string CXmlIni::Get(const char* name, int index) {
  DOMElement* record = dezov::FindRecord(pXMLDoc.get(), dezov::CursorElement(pCurNode),
                                         strCurName, index, lastRecord);
  return record ? dezov::AttributeText(record, name, pXMLDoc->codec()) : std::string();
}

long CXmlIni::GetLong(const char* name, int index) {
  return dezov::ParseLong(Get(name, index).c_str());
}

double CXmlIni::GetDouble(const char* name, int index) {
  return dezov::ParseDouble(Get(name, index).c_str());
}

bool CXmlIni::GetBool(const char* name, int index) {
  const std::string text = Get(name, index);
  if (dezov::NamesEqual(text, "true")) return true;
  if (dezov::NamesEqual(text, "false")) return false;
  return dezov::ParseLong(text.c_str()) > 0;
}

// ---- Attributes by path -----------------------------------------------------
// Lookups ignore the case of A-Z; writing uses the exact name given.

std::string CXmlIni::GetAttribute(const char* path, const char* attribute, int index) {
  return AttributeAt(path, attribute, index);
}

bool CXmlIni::SetAttribute(const char* path, const char* attribute, const char* value, int index) {
  return SetAttributeAt(path, attribute, value, index, "SetAttribute");
}

bool CXmlIni::RemoveAttribute(const char* path, const char* attribute, int index) {
  std::vector<std::string> components;
  dezov::XmlDocument* document = DocumentForPath(path, components);
  if (document == nullptr) return !components.empty() && Refuse("RemoveAttribute", dezov::kNoDocument);
  DOMElement* element = document->ResolvePath(components, index, false);
  if (element == nullptr)
    return Refuse("RemoveAttribute", dezov::PathAt(path, index) + ": no such element");
  dezov::XmlChangeLog& log = pXMLDoc->changes();
  dezov::ElementRef target;  // beyond the first element: the element as it was
  if (index > 0) log.Describe(*pXMLDoc, element, target);
  if (!dezov::RemoveAttributeNamed(*pXMLDoc, element, attribute))
    return Refuse("RemoveAttribute", dezov::PathAt(path, index) +
                                         (dezov::OrEmpty(attribute)[0] == '\0'
                                              ? std::string(": no attributes")
                                              : ": no attribute " + std::string(attribute)));
  if (index == 0)
    log.RemoveAttribute(path, attribute);
  else
    log.RemoveOnElement(std::move(target), attribute);
  return true;
}

bool CXmlIni::HaveAttribute(const char* path, const char* attribute, int index) {
  auto* element = static_cast<DOMElement*>(FindElement(path, index, false));
  if (element == nullptr) return false;
  const NameQuery name(dezov::OrEmpty(attribute), pXMLDoc->codec());
  return dezov::FindAttribute(element, name) != nullptr;
}

bool CXmlIni::ClearAttribute(const char* path) {
  std::vector<std::string> components;
  dezov::XmlDocument* document = DocumentForPath(path, components);
  if (document == nullptr) return !components.empty() && Refuse("ClearAttribute", dezov::kNoDocument);
  DOMElement* element = document->ResolvePath(components, 0, false);
  if (element == nullptr) return Refuse("ClearAttribute", std::string(path) + ": no such element");
  dezov::RemoveAllAttributes(*pXMLDoc, element);
  pXMLDoc->changes().ClearAttributes(path);
  return true;
}

// ---- Node handles -----------------------------------------------------------
// A handle is a number the store hands out for an element (never an address,
// so it fits a 32-bit long); a handle it never gave out finds nothing.

long CXmlIni::GetCount() {
  nCurCount = dezov::CountRecords(pXMLDoc.get(), dezov::CursorElement(pCurNode), strCurName);
  return nCurCount;
}

long CXmlIni::GetNodeByIndex(int index) {
  DOMElement* record = dezov::FindRecord(pXMLDoc.get(), dezov::CursorElement(pCurNode),
                                         strCurName, index, lastRecord);
  return record ? nodeHandles->HandleOf(pXMLDoc, record) : 0;
}

long CXmlIni::GetChildNode(long node, const char* name) {
  if (node <= 0) return 0;
  const dezov::NodeHandleTable::Target target = nodeHandles->ElementOf(node);
  if (target.element == nullptr) return 0;
  const NameQuery query(dezov::OrEmpty(name), target.document->codec());
  DOMElement* child = target.document->FindChild(target.element, query, 0);
  return child ? nodeHandles->HandleOf(target.document, child) : 0;
}

std::string CXmlIni::GetAttribute(long node, const char* attribute) {
  if (node <= 0) return std::string();
  const dezov::NodeHandleTable::Target target = nodeHandles->ElementOf(node);
  if (target.element == nullptr) return std::string();
  return dezov::AttributeText(target.element, attribute, target.document->codec());
}

// ---- Private ----------------------------------------------------------------

bool CXmlIni::OpenResolvedName(const char* fileName) {
  strLastErrMsg.clear();
  std::string name;
  if (!dezov::LoadResourceText(name, fileName)) name = dezov::OrEmpty(fileName);

  if (!dezov::platform::FileExists(name)) {
    std::string reason;
    if (!dezov::CreateDefaultDocument(name, reason)) strLastErrMsg = "open xml file error: " + reason;
    return false;
  }
  std::string bytes;
  dezov::platform::FileStamp stamp;
  const Status read = dezov::platform::ReadWholeFile(name, bytes, &stamp);
  if (!read.ok()) {
    strLastErrMsg = dezov::OpenFailureText(Status::IOError(read.message()));
    return false;
  }
  if (!OpenBytes(std::move(bytes), name)) return false;
  pXMLDoc->fileStamp() = stamp;
  return true;
}

bool CXmlIni::OpenBytes(std::string bytes, const std::string& name) {
  const Status& library = dezov::StartXmlLibrary();
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
    const Status status = dezov::ParseDocument(std::move(bytes), name, document);
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

dezov::XmlDocument* CXmlIni::DocumentForPath(const char* path,
                                             std::vector<std::string>& components) {
  components = dezov::PathComponents(path);
  if (components.empty()) return nullptr;
  strLastErrMsg.clear();
  if (pXMLDoc == nullptr || pXMLDoc->root() == nullptr) return nullptr;
  return pXMLDoc.get();
}

void* CXmlIni::FindElement(const char* path, int index, bool create) {
  std::vector<std::string> components;
  dezov::XmlDocument* document = DocumentForPath(path, components);
  return document ? document->ResolvePath(components, index, create) : nullptr;
}

std::string CXmlIni::AttributeAt(const char* path, const char* attribute, int index) {
  auto* element = static_cast<DOMElement*>(FindElement(path, index, false));
  if (element == nullptr) return std::string();
  const NameQuery name(dezov::OrEmpty(attribute), pXMLDoc->codec());
  const DOMAttr* found = dezov::FindAttribute(element, name);
  return found ? pXMLDoc->codec().Encode(found->getValue()) : std::string();
}

bool CXmlIni::SetAttributeAt(const char* path, const char* attribute, const char* value,
                             int index, const char* operation) {
  std::vector<std::string> components;
  dezov::XmlDocument* document = DocumentForPath(path, components);
  if (document == nullptr) return !components.empty() && Refuse(operation, dezov::kNoDocument);
  dezov::Utf16 name;
  dezov::Utf16 text;
  if (!dezov::StorableAttribute(document->codec(), attribute, value, name, text))
    return Refuse(operation, "the text cannot be stored in XML");
  std::string why;
  DOMElement* element = document->ResolvePath(components, index, false);
  if (element == nullptr && index == 0) {
    document->CheckAttributeName(name);  // a refused name creates nothing
    element = document->ResolvePath(components, index, true, &why);
  }
  if (element == nullptr) {
    if (why.empty()) why = "no such element (only index 0 is created)";
    return Refuse(operation, dezov::PathAt(path, index) + ": " + why);
  }
  dezov::XmlChangeLog& log = document->changes();
  dezov::ElementRef target;  // beyond the first element: the element as it was
  if (index > 0 && !log.RepeatsLastSet(element, attribute)) log.Describe(*document, element, target);
  document->SetAttribute(element, name, text);
  if (index == 0)
    log.SetAttribute(path, attribute, value);
  else
    log.SetOnElement(std::move(target), element, attribute, value);
  return true;
}

Status CXmlIni::MergeWithDisk(const std::string& bytes,
                              std::shared_ptr<dezov::XmlDocument>& merged) {
  DOMDocument* parsed = nullptr;
  std::vector<std::uint32_t> lines;  // of the file being replaced: not kept
  const Status status = dezov::ParseXml(bytes, strFileName, parsed, lines);
  if (!status.ok())
    return Status::Corrupt("the file changed on disk and cannot be read (" + status.message() +
                           "); nothing was written");
  std::shared_ptr<dezov::XmlDocument> document =
      dezov::HoldDocument(std::make_unique<dezov::XmlDocument>(parsed));
  if (!dezov::HasConfigurationRoot(*document))
    return Status::Corrupt("the file changed on disk and no longer has the root element "
                           "vornini; nothing was written");
  CXmlIni replay;
  replay.pXMLDoc = document;
  const Status applied = replay.ApplyChanges(pXMLDoc->changes());
  if (!applied.ok()) return applied;
  document->changes().Clear();  // what the replay logged is in the file once written
  merged = std::move(document);
  return Status::Ok();
}

// The logged operations run again, in order: those by path through the
// store's own operations, so that on a document read anew from the file they
// mean what they meant when they were made; those on one element on the
// element found again by its description.
Status CXmlIni::ApplyChanges(const dezov::XmlChangeLog& log) {
  using Kind = dezov::XmlChangeLog::Kind;
  dezov::AppendedElements appended;
  for (const dezov::XmlChangeLog::Change& change : log.changes()) {
    const char* path = change.path.c_str();
    const char* name = change.name.c_str();
    switch (change.kind) {
      case Kind::kSetAttribute:
        SetAttributeAt(path, name, change.value.c_str(), 0, "SetValue");
        continue;
      case Kind::kRemoveAttribute:
        RemoveAttribute(path, name, 0);
        continue;
      case Kind::kClearAttributes:
        ClearAttribute(path);
        continue;
      case Kind::kRemoveElements:
        RemoveSection(path);
        continue;
      case Kind::kSetOnElement:
      case Kind::kRemoveOnElement:
      case Kind::kAppend:
        break;
    }
    std::string reason;
    DOMElement* element = dezov::FindDescribed(*pXMLDoc, change.target, appended, reason);
    if (element == nullptr)
      return Status::Invalid("conflict: " + change.target.where +
                             " changed on disk since it was read (" + reason +
                             "); nothing was written");
    if (change.kind == Kind::kSetOnElement) {
      dezov::Utf16 attribute;
      dezov::Utf16 text;
      dezov::StorableAttribute(pXMLDoc->codec(), name, change.value.c_str(), attribute, text);
      pXMLDoc->SetAttribute(element, attribute, text);  // storable: it was stored once
    } else if (change.kind == Kind::kRemoveOnElement) {
      dezov::RemoveAttributeNamed(*pXMLDoc, element, name);
    } else {
      // The rest of the path below the element added to: first matches, as
      // Append takes them, then new elements.
      const std::vector<std::string> components = dezov::PathComponents(path);
      std::size_t level = 0;
      DOMNode* parent = pXMLDoc->WalkPathFrom(element, components, change.level, level);
      DOMElement* created = pXMLDoc->CreatePath(parent, components, level);
      if (created == nullptr)
        return Status::Invalid("conflict: " + change.path +
                               " can no longer be added to the file; nothing was written");
      appended[change.appendId] = created;
    }
  }
  pCurNode = nullptr;
  return Status::Ok();
}

bool CXmlIni::Refuse(const char* operation, const std::string& reason) {
  strLastErrMsg = std::string(operation) + " Fail ( " + reason + " )";
  return false;
}

void CXmlIni::ResetCursor() {
  pCurNode = nullptr;
  nCurCount = 0;
  strCurName.clear();
  lastRecord = dezov::RecordPosition();
}
