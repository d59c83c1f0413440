// SPDX-License-Identifier: MIT
#include "SyncStatus.h"

#include <cstdio>
#include <sstream>

namespace dezov {
namespace sync {

std::string PrintableKey(const std::string& bytes) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string text;
  for (char c : bytes) {
    const unsigned char byte = static_cast<unsigned char>(c);
    if (byte > ' ' && byte < 0x7f && byte != '%') {
      text += c;
    } else {
      text += '%';
      text += kHex[byte >> 4];
      text += kHex[byte & 15];
    }
  }
  return text;
}

namespace {

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

bool Unescape(const std::string& text, std::string& bytes) {
  bytes.clear();
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '%') {
      bytes += text[i];
      continue;
    }
    if (i + 2 >= text.size()) return false;
    const int high = HexDigit(text[i + 1]), low = HexDigit(text[i + 2]);
    if (high < 0 || low < 0) return false;
    bytes += static_cast<char>(high * 16 + low);
    i += 2;
  }
  return !bytes.empty();
}

// A revision: a decimal number from 0 on.
bool ReadRevision(std::istringstream& words, std::int64_t& value) {
  std::string word;
  if (!(words >> word) || word.empty() || word.size() > 18) return false;
  for (char c : word)
    if (c < '0' || c > '9') return false;
  value = std::stoll(word);
  return true;
}

// Days since 1970-01-01 of a civil date (proleptic Gregorian).
std::int64_t DaysFromCivil(std::int64_t year, unsigned month, unsigned day) {
  year -= month <= 2;
  const std::int64_t era = (year >= 0 ? year : year - 399) / 400;
  const unsigned yearOfEra = static_cast<unsigned>(year - era * 400);
  const unsigned dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  const unsigned dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
  return era * 146097 + static_cast<std::int64_t>(dayOfEra) - 719468;
}

bool ParseUtc(const std::string& text, std::time_t& time) {
  int year, month, day, hour, minute, second;
  char zone = 0;
  if (std::sscanf(text.c_str(), "%4d-%2d-%2dT%2d:%2d:%2d%c", &year, &month, &day, &hour, &minute,
                  &second, &zone) != 7 ||
      zone != 'Z' || month < 1 || month > 12 || day < 1 || day > 31 || hour > 23 || minute > 59 ||
      second > 60)
    return false;
  time = static_cast<std::time_t>(DaysFromCivil(year, static_cast<unsigned>(month),
                                                static_cast<unsigned>(day)) * 86400 +
                                  hour * 3600 + minute * 60 + second);
  return true;
}

}  // namespace

std::string FormatUtc(std::time_t time) {
  std::tm parts{};
  gmtime_r(&time, &parts);
  char text[80];
  std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02dZ", parts.tm_year + 1900,
                parts.tm_mon + 1, parts.tm_mday, parts.tm_hour, parts.tm_min, parts.tm_sec);
  return text;
}

std::string FormatStatus(const SyncStatus& status) {
  std::string text = "revision " + std::to_string(status.revision) + "\ntime " +
                     FormatUtc(status.time) + "\n";
  for (const auto& entry : status.records)
    text += "key " + std::to_string(entry.second.revision) + " " +
            std::to_string(entry.second.fileRevision) + " " + (entry.second.exists ? "1" : "0") +
            " " + PrintableKey(entry.first) + "\n";
  return text;
}

bool ParseStatus(const std::string& text, SyncStatus& status, std::string& reason) {
  status = SyncStatus();
  std::istringstream lines(text);
  bool haveRevision = false;
  int number = 0;
  for (std::string line; std::getline(lines, line);) {
    ++number;
    std::istringstream words(line);
    std::string item, rest;
    words >> item;
    bool good = false;
    if (item == "revision") {
      good = ReadRevision(words, status.revision);
      haveRevision = good;
    } else if (item == "time") {
      std::string when;
      good = static_cast<bool>(words >> when) && ParseUtc(when, status.time);
    } else if (item == "key") {
      KeyRecord record;
      std::string exists, name, key;
      good = ReadRevision(words, record.revision) && ReadRevision(words, record.fileRevision) &&
             words >> exists >> name && (exists == "0" || exists == "1") && Unescape(name, key);
      record.exists = exists == "1";
      if (good) status.records[key] = record;
    }
    if (!good || words >> rest) {
      reason = "line " + std::to_string(number) + " is no status line: " + line.substr(0, 100);
      return false;
    }
  }
  if (haveRevision) return true;
  reason = "no line \"revision N\"";
  return false;
}

}  // namespace sync
}  // namespace dezov
