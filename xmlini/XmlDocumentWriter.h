// SPDX-License-Identifier: MIT
// Serialising a document into the bytes of its file: pretty-printed, encoded
// as code page 936 (with GB18030 four-byte forms for what it lacks) and
// labelled "gb2312".
#ifndef DEZOV20_XMLINI_XML_DOCUMENT_WRITER_H
#define DEZOV20_XMLINI_XML_DOCUMENT_WRITER_H

#include <string>

#include "../platform/Status.h"
#include "XmlDocument.h"

namespace dezov {

// The file's bytes for document; Invalid with the reason when it cannot be
// written (a name without a gb2312 form, a failure of the serialiser).
Status SerialiseDocument(XmlDocument& document, std::string& bytes);

}  // namespace dezov

#endif  // DEZOV20_XMLINI_XML_DOCUMENT_WRITER_H
