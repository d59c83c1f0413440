// SPDX-License-Identifier: MIT
// Node handles: numbers a store hands out for elements, shared by a store and
// its copies. A handle keeps naming its element while the element's document
// lives; once no store uses that document any more, the handle names nothing.
// Handles are never addresses, so they fit a 32-bit long.
#ifndef DEZOV20_XMLINI_XML_NODE_HANDLES_H
#define DEZOV20_XMLINI_XML_NODE_HANDLES_H

#include <xercesc/dom/DOMElement.hpp>

#include <memory>
#include <mutex>
#include <cstddef>
#include <unordered_map>

#include "XmlDocument.h"

namespace dezov {

class NodeHandleTable {
 public:
  // An element and the document that keeps it alive while it is used.
  struct Target {
    std::shared_ptr<XmlDocument> document;
    xercesc::DOMElement* element = nullptr;
  };

  // A handle for element of document, the same every time; never 0.
  long HandleOf(const std::shared_ptr<XmlDocument>& document, xercesc::DOMElement* element);
  // The element behind a handle this table gave out; no element when the
  // handle is unknown or its document is gone.
  Target ElementOf(long handle) const;

 private:
  struct Entry {
    std::weak_ptr<XmlDocument> document;
    xercesc::DOMElement* element;
  };
  // Drops the entries of documents that are gone, so that a store re-opening
  // its file holds entries for its live documents only.
  void SweepLocked();

  mutable std::mutex mutex_;  // copies of a store may read on several threads
  std::unordered_map<long, Entry> targets_;
  // A freed document's element addresses may come back in a later document:
  // an entry counts only while its document is alive.
  std::unordered_map<const xercesc::DOMElement*, long> handles_;
  long last_handle_ = 0;
  std::size_t sweep_at_ = kFirstSweep;
  static constexpr std::size_t kFirstSweep = 1024;
};

}  // namespace dezov

#endif  // DEZOV20_XMLINI_XML_NODE_HANDLES_H
