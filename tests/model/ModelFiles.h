// SPDX-License-Identifier: MIT
// Files as other programs write them, and an XML reader of the model's own:
// the raw writers render a model document in one of several hand-made
// layouts (blanks, comments, quotes, line ends, byte-order mark), and the
// reader turns the XML store's output back into model elements without the
// library, so that what is checked on disk does not rest on the library's
// own parser.
#ifndef DEZOV20_TESTS_MODEL_MODEL_FILES_H
#define DEZOV20_TESTS_MODEL_MODEL_FILES_H

#include <string>

#include "ModelState.h"

namespace store_model {

// An INI file whose reading gives doc (values already in read-back form);
// layout bits choose blanks, line ends and the byte-order mark. The lines of
// headers and keys are noted in doc as they are written.
std::string RenderIni(IniDocM& doc, unsigned layout);
// An XML file under the root vornini holding root's elements; layout bits
// choose indentation, quotes, empty-element tags, comments and line ends.
std::string RenderXml(const Elems& root, unsigned layout);
// The elements below the root of an XML file as the store writes it (GBK,
// no text content); false with a reason for anything else.
bool ReadXml(const std::string& bytes, Elems& root, std::string& reason);

}  // namespace store_model

#endif  // DEZOV20_TESTS_MODEL_MODEL_FILES_H
