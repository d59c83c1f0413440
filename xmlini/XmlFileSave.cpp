// WriteFile: the save protocol of the XML store. The file is replaced under
// the save lock; when it is no longer the file the document was read from,
// it is parsed again and the document's logged changes are applied on top,
// so that nobody else's change is lost.
#include <vector>

#include "../include/XmlIni.h"
#include "../platform/FileLock.h"
#include "XmlChangeLog.h"
#include "XmlDocument.h"
#include "XmlDocumentReuse.h"
#include "XmlDocumentWriter.h"
#include "XmlParser.h"

using dezov::Status;
using dezov::platform::DiskState;

Status CXmlIni::MergeWithDisk(const std::string& bytes,
                              std::shared_ptr<dezov::XmlDocument>& merged) {
  xercesc::DOMDocument* parsed = nullptr;
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
  replay.ApplyChanges(pXMLDoc->changes());
  document->changes().Clear();  // what the replay logged is in the file once written
  merged = std::move(document);
  return Status::Ok();
}

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
          } catch (...) {  // the logged names were accepted once: not expected
            return Status::Invalid("the changes could not be applied to the file on disk");
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
