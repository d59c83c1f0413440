// SPDX-License-Identifier: MIT
#include "XmlDocumentReuse.h"

#include <deque>
#include <mutex>

#include "XmlLibrary.h"

namespace dezov {
namespace {

// Guards the keep and whether it still exists: a store of static storage
// duration may let its document go after the keep was destroyed at exit.
std::mutex keep_mutex;
bool keep_closed = false;

class DocumentKeep {
 public:
  // Started first, the XML library stops only after the keep is gone.
  DocumentKeep() { StartXmlLibrary(); }
  ~DocumentKeep() {
    std::deque<std::unique_ptr<XmlDocument>> freed;
    std::lock_guard<std::mutex> lock(keep_mutex);
    keep_closed = true;
    freed.swap(kept_);
  }
  DocumentKeep(const DocumentKeep&) = delete;
  DocumentKeep& operator=(const DocumentKeep&) = delete;

  // Needs keep_mutex held.
  void KeepLocked(std::unique_ptr<XmlDocument>& document) {
    kept_.push_back(std::move(document));
    if (kept_.size() > kKeptDocuments) {
      document = std::move(kept_.front());  // freed by the caller, unlocked
      kept_.pop_front();
    }
  }

  // Needs keep_mutex held.
  std::unique_ptr<XmlDocument> TakeLocked(const std::string& fileName, std::string_view bytes) {
    for (auto it = kept_.rbegin(); it != kept_.rend(); ++it) {
      if (!(*it)->IsUnchangedParseOf(fileName, bytes)) continue;
      std::unique_ptr<XmlDocument> taken = std::move(*it);
      kept_.erase(std::next(it).base());
      return taken;
    }
    return nullptr;
  }

 private:
  std::deque<std::unique_ptr<XmlDocument>> kept_;
};

DocumentKeep& Keep() {
  static DocumentKeep keep;
  return keep;
}

// The deleter of every document a store holds.
void LetGo(XmlDocument* released) {
  std::unique_ptr<XmlDocument> document(released);
  if (document->changed() || document->SourceSize() == 0 ||
      document->SourceSize() > kKeptSourceLimit)
    return;  // freed here
  std::lock_guard<std::mutex> lock(keep_mutex);
  if (!keep_closed) Keep().KeepLocked(document);
  // One not kept, or pushed out, is freed after the lock is released.
}

}  // namespace

std::shared_ptr<XmlDocument> HoldDocument(std::unique_ptr<XmlDocument> document) {
  Keep();  // made with the first document: letting one go never has to make it
  return std::shared_ptr<XmlDocument>(document.release(), LetGo);
}

std::shared_ptr<XmlDocument> TakeKeptDocument(const std::string& fileName,
                                              std::string_view bytes) {
  if (bytes.size() > kKeptSourceLimit) return nullptr;
  DocumentKeep& keep = Keep();
  std::unique_ptr<XmlDocument> taken;
  {
    std::lock_guard<std::mutex> lock(keep_mutex);
    if (keep_closed) return nullptr;
    taken = keep.TakeLocked(fileName, bytes);
  }
  return taken ? HoldDocument(std::move(taken)) : nullptr;
}

}  // namespace dezov
