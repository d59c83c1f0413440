// SPDX-License-Identifier: MIT
#include "ModelFiles.h"

#include <cstdlib>
#include <vector>

namespace store_model {
namespace {

bool Bit(unsigned layout, int bit) { return (layout >> bit & 1u) != 0; }

// ---- INI --------------------------------------------------------------------

std::string IniHeader(const std::string& name, unsigned layout, std::size_t n) {
  switch ((layout >> 2 ^ static_cast<unsigned>(n)) % 3) {
    case 0: return "[" + name + "]";
    case 1: return " [ " + name + " ]  ";
    default: return "[" + name + "] ; header comment";
  }
}

std::string IniKeyLine(const IniKeyM& key, unsigned layout, std::size_t n) {
  // A value that starts with a slash must follow the "=" directly: "= //x"
  // would start a comment.
  const bool spaced = Bit(layout ^ static_cast<unsigned>(n), 4) && (key.value.empty() || key.value[0] != '/');
  std::string line = spaced ? "  " + key.name + " = " + key.value : key.name + "=" + key.value;
  if (!key.comment.empty()) line += (spaced ? "   //" : " //") + key.comment;
  return line;
}

// ---- XML --------------------------------------------------------------------

std::string Escaped(const std::string& text, char quote) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '\t': out += "&#9;"; break;
      case '\n': out += "&#10;"; break;
      case '\r': out += "&#13;"; break;
      case '"': out += quote == '"' ? "&quot;" : "\""; break;
      case '\'': out += quote == '\'' ? "&apos;" : "'"; break;
      default: out += c;
    }
  }
  return out;
}

void XmlElement(std::string& out, const XmlElemM& element, unsigned layout, int depth,
                const std::string& eol) {
  const std::string indent = Bit(layout, 2) ? "" : std::string(static_cast<std::size_t>(depth) * 2, ' ');
  const char quote = Bit(layout, 3) ? '\'' : '"';
  if (Bit(layout, 4) && depth == 1) out += indent + "<!-- " + element.name + " -->" + eol;
  out += indent + "<" + element.name;
  for (const auto& attr : element.attrs)
    out += (Bit(layout, 5) ? "  " : " ") + attr.first + "=" + quote + Escaped(attr.second, quote) + quote;
  if (element.children.empty()) {
    out += Bit(layout, 6) ? "></" + element.name + ">" + eol : "/>" + eol;
    return;
  }
  out += ">" + eol;
  for (const XmlElemM& child : element.children) XmlElement(out, child, layout, depth + 1, eol);
  out += indent + "</" + element.name + ">" + eol;
}

// ---- Reading XML ------------------------------------------------------------

class XmlReader {
 public:
  explicit XmlReader(const std::string& text) : s_(text) {}

  bool Document(Elems& root, std::string& reason) {
    if (!Misc(reason)) return false;
    XmlElemM top;
    if (!Element(top, reason)) return false;
    if (top.name != "vornini") return Fail("the root element is " + top.name, reason);
    if (!Misc(reason)) return false;
    if (at_ != s_.size()) return Fail("text after the root element", reason);
    root = std::move(top.children);
    return true;
  }

 private:
  bool Fail(const std::string& what, std::string& reason) {
    reason = what + " at byte " + std::to_string(at_);
    return false;
  }
  bool StartsWith(const char* text) const { return s_.compare(at_, std::char_traits<char>::length(text), text) == 0; }
  void Blanks() {
    while (at_ < s_.size() && (s_[at_] == ' ' || s_[at_] == '\t' || s_[at_] == '\r' || s_[at_] == '\n')) ++at_;
  }
  bool Skip(const char* end, std::string& reason) {
    const std::size_t found = s_.find(end, at_);
    if (found == std::string::npos) return Fail(std::string("no ") + end, reason);
    at_ = found + std::char_traits<char>::length(end);
    return true;
  }
  // Blanks, comments and processing instructions.
  bool Misc(std::string& reason) {
    for (;;) {
      Blanks();
      if (StartsWith("<!--")) {
        if (!Skip("-->", reason)) return false;
      } else if (StartsWith("<?")) {
        if (!Skip("?>", reason)) return false;
      } else {
        return true;
      }
    }
  }
  std::string Name() {
    const std::size_t begin = at_;
    while (at_ < s_.size() && s_[at_] != ' ' && s_[at_] != '\t' && s_[at_] != '\r' &&
           s_[at_] != '\n' && s_[at_] != '/' && s_[at_] != '>' && s_[at_] != '=')
      ++at_;
    return s_.substr(begin, at_ - begin);
  }
  bool Reference(std::string& out, std::string& reason) {
    const std::size_t end = s_.find(';', at_);
    if (end == std::string::npos) return Fail("an unended reference", reason);
    const std::string name = s_.substr(at_ + 1, end - at_ - 1);
    at_ = end + 1;
    if (name == "amp") out += '&';
    else if (name == "lt") out += '<';
    else if (name == "gt") out += '>';
    else if (name == "quot") out += '"';
    else if (name == "apos") out += '\'';
    else if (name.size() > 1 && name[0] == '#') {
      const long code = name[1] == 'x' ? std::strtol(name.c_str() + 2, nullptr, 16)
                                       : std::strtol(name.c_str() + 1, nullptr, 10);
      if (code >= 0x10000 && code <= 0x10FFFF) {  // GB18030's four-byte form, counted linearly
        long index = code - 0x10000;
        char form[4];
        form[3] = static_cast<char>(0x30 + index % 10);
        index /= 10;
        form[2] = static_cast<char>(0x81 + index % 126);
        index /= 126;
        form[1] = static_cast<char>(0x30 + index % 10);
        form[0] = static_cast<char>(0x90 + index / 10);
        out.append(form, 4);
      } else if (code > 0 && code < 0x80) {
        out += static_cast<char>(code);
      } else {
        return Fail("a reference &" + name + "; to a character that has a GBK form", reason);
      }
    } else {
      return Fail("the unknown reference &" + name + ";", reason);
    }
    return true;
  }
  bool AttributeValue(std::string& value, std::string& reason) {
    const char quote = s_[at_++];
    while (at_ < s_.size() && s_[at_] != quote) {
      const char c = s_[at_];
      if (c == '<') return Fail("'<' in an attribute value", reason);
      if (c == '&') {
        if (!Reference(value, reason)) return false;
        continue;
      }
      // Attribute-value normalisation: each line end and blank becomes a space.
      if (c == '\r' && at_ + 1 < s_.size() && s_[at_ + 1] == '\n') ++at_;
      value += (c == '\t' || c == '\n' || c == '\r') ? ' ' : c;
      ++at_;
    }
    if (at_ >= s_.size()) return Fail("an unended attribute value", reason);
    ++at_;
    return true;
  }
  bool Element(XmlElemM& element, std::string& reason) {
    if (at_ >= s_.size() || s_[at_] != '<') return Fail("no element", reason);
    ++at_;
    element.name = Name();
    if (element.name.empty()) return Fail("an element without a name", reason);
    for (;;) {
      Blanks();
      if (StartsWith("/>")) {
        at_ += 2;
        return true;
      }
      if (StartsWith(">")) {
        ++at_;
        break;
      }
      std::string name = Name();
      Blanks();
      if (name.empty() || at_ >= s_.size() || s_[at_] != '=') return Fail("a bad attribute", reason);
      ++at_;
      Blanks();
      if (at_ >= s_.size() || (s_[at_] != '"' && s_[at_] != '\'')) return Fail("an unquoted attribute", reason);
      std::string value;
      if (!AttributeValue(value, reason)) return false;
      element.attrs.emplace_back(std::move(name), std::move(value));
    }
    for (;;) {
      if (!Misc(reason)) return false;
      if (StartsWith("</")) {
        at_ += 2;
        const std::string name = Name();
        Blanks();
        if (name != element.name || at_ >= s_.size() || s_[at_] != '>')
          return Fail("a bad end tag for " + element.name, reason);
        ++at_;
        return true;
      }
      if (at_ >= s_.size()) return Fail("an unended element " + element.name, reason);
      if (s_[at_] != '<') return Fail("text inside " + element.name, reason);
      XmlElemM child;
      if (!Element(child, reason)) return false;
      element.children.push_back(std::move(child));
    }
  }

  const std::string& s_;
  std::size_t at_ = 0;
};

}  // namespace

std::string RenderIni(IniDocM& doc, unsigned layout) {
  std::vector<std::string> lines;
  std::size_t n = 0;
  for (IniSectionM& section : doc.sections) {
    lines.insert(lines.end(), section.comments.begin(), section.comments.end());
    section.line = IniHeader(section.name, layout, n++);
    lines.push_back(section.line);
    for (IniKeyM& key : section.keys) {
      lines.insert(lines.end(), key.comments.begin(), key.comments.end());
      key.line = IniKeyLine(key, layout, n++);
      lines.push_back(key.line);
    }
  }
  lines.insert(lines.end(), doc.tail.begin(), doc.tail.end());
  const std::string eol = Bit(layout, 0) ? "\r\n" : "\n";
  std::string out = Bit(layout, 1) ? "\xEF\xBB\xBF" : "";
  for (const std::string& line : lines) out += line + eol;
  // Without the last line end when that line is not empty (an empty one would vanish).
  if (Bit(layout, 5) && !lines.empty() && !lines.back().empty()) out.resize(out.size() - eol.size());
  return out;
}

std::string RenderXml(const Elems& root, unsigned layout) {
  const std::string eol = Bit(layout, 0) ? "\r\n" : "\n";
  std::string out = Bit(layout, 1) ? "<?xml version=\"1.0\" encoding=\"GBK\"?>" + eol
                                   : "<?xml version=\"1.0\" encoding=\"gb2312\" ?>" + eol;
  out += Bit(layout, 7) ? "<vornini comment=\"written by hand\">" + eol : "<vornini>" + eol;
  for (const XmlElemM& element : root) XmlElement(out, element, layout, 1, eol);
  out += "</vornini>" + eol;
  return out;
}

bool ReadXml(const std::string& bytes, Elems& root, std::string& reason) {
  root.clear();
  return XmlReader(bytes).Document(root, reason);
}

}  // namespace store_model
