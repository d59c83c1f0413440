// SPDX-License-Identifier: MIT
// Parsed documents that no store uses any more, kept for the next Open of the
// same file: a program that makes a store where it needs a value opens the
// same small file again and again, and parsing is nearly all an Open costs.
//
// A document is kept only when nothing in it was changed and its file was
// small, and only a few are kept (the oldest go first). A kept document is
// handed out again only for exactly the bytes it was parsed from, and to one
// store at a time: a store never shares a document with another store, only
// with its own copies.
#ifndef DEZOV20_XMLINI_XML_DOCUMENT_REUSE_H
#define DEZOV20_XMLINI_XML_DOCUMENT_REUSE_H

#include <memory>
#include <string>
#include <string_view>

#include "XmlDocument.h"

namespace dezov {

// Files larger than this are parsed on every Open: their parse dwarfs the
// rest of the work, and keeping their documents would hold much memory.
constexpr std::size_t kKeptSourceLimit = 64 * 1024;
// Documents kept at most.
constexpr std::size_t kKeptDocuments = 8;

// The document as a store holds it: when its last holder lets it go, it is
// kept (see above) or freed.
std::shared_ptr<XmlDocument> HoldDocument(std::unique_ptr<XmlDocument> document);

// A kept document parsed from exactly bytes of fileName, taken from those
// kept; null when there is none.
std::shared_ptr<XmlDocument> TakeKeptDocument(const std::string& fileName,
                                              std::string_view bytes);

}  // namespace dezov

#endif  // DEZOV20_XMLINI_XML_DOCUMENT_REUSE_H
