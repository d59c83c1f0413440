// Applying a change log to a store's document: the logged operations run
// again, in order, through the store's own operations, so that on a document
// read anew from the file they mean what they meant when they were made.
#include <unordered_map>

#include "../include/XmlIni.h"
#include "XmlChangeLog.h"
#include "XmlDocument.h"

void CXmlIni::ApplyChanges(const dezov::XmlChangeLog& log) {
  using Kind = dezov::XmlChangeLog::Kind;
  // The elements the replayed Appends made, by the id the log gave them.
  std::unordered_map<std::uint64_t, void*> appended;
  for (const dezov::XmlChangeLog::Change& change : log.changes()) {
    const char* path = change.path.c_str();
    const char* name = change.name.c_str();
    switch (change.kind) {
      case Kind::kSetAttribute:
        SetAttributeAt(path, name, change.value.c_str(), change.index);
        break;
      case Kind::kRemoveElements:
        RemoveSection(path);
        break;
      case Kind::kRemoveAttribute:
        RemoveAttribute(path, name, change.index);
        break;
      case Kind::kClearAttributes:
        ClearAttribute(path);
        break;
      case Kind::kAppend:
        if (Append(path)) appended[change.appendId] = pCurNode;
        break;
      case Kind::kSetOnElement: {
        void* element = nullptr;
        if (change.appendId != 0) {
          const auto found = appended.find(change.appendId);
          if (found != appended.end()) element = found->second;
        } else {
          element = dezov::ElementAt(*pXMLDoc, change.position);
        }
        if (element != nullptr) {
          pCurNode = element;
          Set(name, change.value.c_str());
        }
        break;
      }
    }
  }
  pCurNode = nullptr;
}
