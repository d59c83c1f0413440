// SPDX-License-Identifier: MIT
// JSON text for --format json: strings escaped as RFC 8259 asks, arrays and
// objects written out compactly, in the order given.
#ifndef DEZOV_TOOL_JSON_TEXT_H
#define DEZOV_TOOL_JSON_TEXT_H

#include <string>
#include <utility>
#include <vector>

namespace dezov {
namespace tool {

// utf8 (valid UTF-8) as a JSON string: quotes, backslashes and control
// characters escaped, every other character as itself.
std::string JsonString(const std::string& utf8);

// The elements (each already JSON) as a JSON array.
std::string JsonArray(const std::vector<std::string>& elements);

// Members as a JSON object: each name (valid UTF-8) with its value (already
// JSON), in the order given.
std::string JsonObject(const std::vector<std::pair<std::string, std::string>>& members);

}  // namespace tool
}  // namespace dezov

#endif  // DEZOV_TOOL_JSON_TEXT_H
