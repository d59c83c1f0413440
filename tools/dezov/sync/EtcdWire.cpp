// SPDX-License-Identifier: MIT
// etcd's gateway speaks protobuf's JSON mapping: 64-bit numbers as strings,
// bytes as base64, fields at their default value (0, "", false, the first
// enum member such as PUT) left out.
#include "EtcdWire.h"

#include <nlohmann/json.hpp>

#include <cstdlib>

namespace dezov {
namespace sync {
namespace {

using Json = nlohmann::json;

const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

int Sextet(char c) {
  if (c >= 'A' && c <= 'Z') return c - 'A';
  if (c >= 'a' && c <= 'z') return c - 'a' + 26;
  if (c >= '0' && c <= '9') return c - '0' + 52;
  if (c == '+') return 62;
  if (c == '/') return 63;
  return -1;
}

// A number field as int64: a decimal string, a JSON number, or absent (0).
bool ReadInt(const Json& object, const char* name, std::int64_t& value) {
  value = 0;
  const auto found = object.find(name);
  if (found == object.end() || found->is_null()) return true;
  if (found->is_number_integer()) {
    value = found->get<std::int64_t>();
    return true;
  }
  if (!found->is_string()) return false;
  const std::string& text = found->get_ref<const std::string&>();
  if (text.empty() || text.size() > 19) return false;
  for (char c : text)
    if (c < '0' || c > '9') return false;
  value = std::strtoll(text.c_str(), nullptr, 10);
  return true;
}

// A bytes field, decoded; absent is "".
bool ReadBytes(const Json& object, const char* name, std::string& bytes) {
  bytes.clear();
  const auto found = object.find(name);
  if (found == object.end() || found->is_null()) return true;
  return found->is_string() && Base64Decode(found->get_ref<const std::string&>(), bytes);
}

bool ReadKeyValue(const Json& kv, KeyEvent& event) {
  return kv.is_object() && ReadBytes(kv, "key", event.key) && ReadBytes(kv, "value", event.value) &&
         ReadInt(kv, "mod_revision", event.revision) && !event.key.empty() && event.revision > 0;
}

bool ReadHeaderRevision(const Json& object, std::int64_t& revision) {
  const auto header = object.find("header");
  return header != object.end() && header->is_object() && ReadInt(*header, "revision", revision);
}

// The gateway's error answers: {"error": "...", "code": N, "message": "..."}
// for unary calls, {"error": {"grpc_code": N, "message": "..."}} in a stream.
bool IsErrorAnswer(const Json& answer, std::string& reason) {
  const auto error = answer.find("error");
  if (error == answer.end()) return false;
  const Json& details = error->is_object() ? *error : answer;
  std::string message = details.value("message", std::string());
  if (message.empty() && error->is_string()) message = error->get<std::string>();
  std::int64_t code = 0;
  if (!ReadInt(details, "code", code) || code == 0) (void)ReadInt(details, "grpc_code", code);
  reason = "etcd answered: " + (message.empty() ? std::string("an error") : message) +
           " (code " + std::to_string(code) + ")";
  return true;
}

// Parses text as a JSON object; false with reason otherwise.
bool ParseObject(const std::string& text, const char* what, Json& object, std::string& reason) {
  object = Json::parse(text, nullptr, false);
  if (object.is_object()) return true;
  reason = std::string("etcd's ") + what + " is no JSON object: " + text.substr(0, 200);
  return false;
}

std::string Malformed(const char* what, const std::string& text) {
  return std::string("etcd's ") + what + " lacks or mangles a field: " + text.substr(0, 200);
}

}  // namespace

std::string Base64Encode(const std::string& bytes) {
  std::string text;
  text.reserve((bytes.size() + 2) / 3 * 4);
  for (std::size_t i = 0; i < bytes.size(); i += 3) {
    const std::size_t n = bytes.size() - i < 3 ? bytes.size() - i : 3;
    std::uint32_t group = 0;
    for (std::size_t j = 0; j < 3; ++j)
      group = group << 8 | (j < n ? static_cast<unsigned char>(bytes[i + j]) : 0u);
    for (std::size_t j = 0; j < 4; ++j)
      text += j <= n ? kAlphabet[(group >> (18 - 6 * j)) & 63] : '=';
  }
  return text;
}

bool Base64Decode(const std::string& text, std::string& bytes) {
  bytes.clear();
  std::size_t end = text.size();
  while (end > 0 && text[end - 1] == '=' && text.size() - end < 2) --end;
  if (end % 4 == 1) return false;
  std::uint32_t group = 0;
  int bits = 0;
  for (std::size_t i = 0; i < end; ++i) {
    const int sextet = Sextet(text[i]);
    if (sextet < 0) return false;
    group = (group << 6 | static_cast<std::uint32_t>(sextet)) & 0xffffff;
    bits += 6;
    if (bits >= 8) {
      bits -= 8;
      bytes += static_cast<char>((group >> bits) & 0xff);
    }
  }
  return true;
}

std::string PrefixRangeEnd(const std::string& prefix) {
  std::string end = prefix;
  while (!end.empty()) {
    unsigned char& last = reinterpret_cast<unsigned char&>(end.back());
    if (last < 0xff) {
      ++last;
      return end;
    }
    end.pop_back();
  }
  return std::string(1, '\0');
}

std::string RangeRequest(const std::string& key, const std::string& rangeEnd) {
  Json request = {{"key", Base64Encode(key)}};
  if (!rangeEnd.empty()) request["range_end"] = Base64Encode(rangeEnd);
  return request.dump();
}

std::string WatchRequest(const std::string& key, const std::string& rangeEnd,
                         std::int64_t startRevision) {
  Json create = {{"key", Base64Encode(key)},
                 {"start_revision", std::to_string(startRevision)},
                 {"progress_notify", true}};
  if (!rangeEnd.empty()) create["range_end"] = Base64Encode(rangeEnd);
  return Json{{"create_request", create}}.dump();
}

std::string AuthenticateRequest(const std::string& name, const std::string& password) {
  // Names and passwords are text to etcd; bytes that are no UTF-8 are replaced.
  return Json{{"name", name}, {"password", password}}.dump(-1, ' ', false,
                                                           Json::error_handler_t::replace);
}

bool ParseRange(const std::string& body, RangeAnswer& answer, std::string& reason) {
  answer = RangeAnswer();
  Json object;
  if (!ParseObject(body, "range answer", object, reason) || IsErrorAnswer(object, reason))
    return false;
  if (!ReadHeaderRevision(object, answer.revision) || answer.revision <= 0) {
    reason = Malformed("range answer", body);
    return false;
  }
  const auto kvs = object.find("kvs");
  if (kvs == object.end()) return true;
  if (!kvs->is_array()) {
    reason = Malformed("range answer", body);
    return false;
  }
  for (const Json& kv : *kvs) {
    KeyEvent event;
    if (!ReadKeyValue(kv, event)) {
      reason = Malformed("range answer", body);
      return false;
    }
    answer.kvs.push_back(std::move(event));
  }
  return true;
}

bool ParseWatchMessage(const std::string& line, WatchMessage& message, std::string& reason) {
  message = WatchMessage();
  Json object;
  if (!ParseObject(line, "watch message", object, reason) || IsErrorAnswer(object, reason))
    return false;
  const auto result = object.find("result");
  if (result == object.end() || !result->is_object() ||
      !ReadInt(*result, "compact_revision", message.compactRevision)) {
    reason = Malformed("watch message", line);
    return false;
  }
  (void)ReadHeaderRevision(*result, message.revision);  // absent on a cancellation
  if (message.compactRevision > 0) {
    message.kind = WatchMessage::kCompacted;
    return true;
  }
  if (result->value("canceled", false)) {
    message.kind = WatchMessage::kCanceled;
    message.reason = result->value("cancel_reason", std::string("the server canceled the watch"));
    return true;
  }
  if (result->value("created", false)) {
    message.kind = WatchMessage::kCreated;
    return true;
  }
  const auto events = result->find("events");
  if (events == result->end()) {
    message.kind = WatchMessage::kProgress;
    return message.revision > 0 || (reason = Malformed("watch message", line), false);
  }
  if (!events->is_array()) {
    reason = Malformed("watch message", line);
    return false;
  }
  message.kind = WatchMessage::kEvents;
  for (const Json& item : *events) {
    KeyEvent event;
    const auto kv = item.find("kv");
    const std::string type = item.value("type", std::string("PUT"));
    if (kv == item.end() || !ReadKeyValue(*kv, event) || (type != "PUT" && type != "DELETE")) {
      reason = Malformed("watch message", line);
      return false;
    }
    event.deleted = type == "DELETE";
    if (event.deleted) event.value.clear();
    message.events.push_back(std::move(event));
  }
  return true;
}

bool ParseAuthenticate(const std::string& body, std::string& token, std::string& reason) {
  token.clear();
  Json object;
  if (!ParseObject(body, "authentication answer", object, reason) ||
      IsErrorAnswer(object, reason))
    return false;
  token = object.value("token", std::string());
  if (!token.empty()) return true;
  reason = Malformed("authentication answer", body);
  return false;
}

bool IsAuthenticationRefusal(const std::string& reason) {
  return reason.find("authentication failed") != std::string::npos ||
         reason.find("user name is empty") != std::string::npos;
}

}  // namespace sync
}  // namespace dezov
