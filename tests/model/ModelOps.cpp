// SPDX-License-Identifier: MIT
#include "ModelOps.h"

#include <cstdio>

namespace store_model {
namespace {

// Names differ only in case where it matters: every lookup ignores the case
// of A-Z. The empty names are rare but allowed.
const std::vector<std::string> kIniSections = {"A", "a", "B", "Sec", "SEC", "A", "B", ""};
const std::vector<std::string> kIniKeys = {"k", "K", "key", "KEY", "x", "k", "x", ""};
const std::vector<std::string> kXmlSections = {"A", "a", "B", "Sec", "A", "B"};
const std::vector<std::string> kXmlKeys = {"k", "K", "key", "x", "k", "x", "k", ""};
const std::vector<std::string> kAttrs = {"Value", "value", "id", "ID", "Value", "id"};

// Pieces of values: the INI format's separators and comment marks, blanks,
// line breaks, GBK characters (two-byte, GBK-only, a full-width blank, the
// euro byte), a GB18030 four-byte character, and XML's special characters.
const std::vector<std::string> kPieces = {" ",        "=",        ";",        "//",       "/",
                                          "x",        "y1",       "\xC4\xE3", "\xBA\xC3", "\x81\x40",
                                          "\xA1\xA1", "\x80",     "[",        "]",        "#",
                                          "\t",       "&",        "<",        ">",        "\"",
                                          "'",        "]]>",      "a b",      "http://h", "0",
                                          "\n",       "\r\n",     "\x94\x39\xFC\x36"};

// Now and then a value far longer than a line usually is.
const std::string kLongPiece(3000, 'L');

const std::vector<std::string>& Sections(StoreKind kind) {
  return kind == StoreKind::kIni ? kIniSections : kXmlSections;
}
const std::vector<std::string>& Keys(StoreKind kind) {
  return kind == StoreKind::kIni ? kIniKeys : kXmlKeys;
}

// A source of small numbers: a PRNG or the fuzzer's bytes.
class Draw {
 public:
  virtual ~Draw() = default;
  virtual unsigned Next(unsigned bound) = 0;  // in [0, bound)
  virtual bool Empty() const { return false; }
};

class RngDraw : public Draw {
 public:
  explicit RngDraw(std::mt19937_64& rng) : rng_(rng) {}
  unsigned Next(unsigned bound) override {
    return bound == 0 ? 0 : static_cast<unsigned>(rng_() % bound);
  }

 private:
  std::mt19937_64& rng_;
};

class BytesDraw : public Draw {
 public:
  BytesDraw(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
  unsigned Next(unsigned bound) override {
    if (bound == 0) return 0;
    unsigned value = 0;
    if (at_ < size_) value = data_[at_++];
    if (bound > 256 && at_ < size_) value = value << 8 | data_[at_++];
    return value % bound;
  }
  bool Empty() const override { return at_ >= size_; }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t at_ = 0;
};

std::string Value(Draw& draw) {
  std::string value;
  const unsigned pieces = draw.Next(5);
  for (unsigned i = 0; i < pieces; ++i) value += kPieces[draw.Next(static_cast<unsigned>(kPieces.size()))];
  if (draw.Next(64) == 0) value += kLongPiece;
  return value;
}

int Index(Draw& draw) {
  const unsigned n = draw.Next(8);
  return n < 5 ? 0 : static_cast<int>(n - 4);  // mostly 0, then 1..3
}

struct Weighted {
  OpKind kind;
  unsigned weight;
};

const std::vector<Weighted>& Weights(StoreKind kind) {
  static const std::vector<Weighted> ini = {
      {OpKind::kSet, 30},      {OpKind::kRemoveKey, 6},        {OpKind::kRemoveSection, 3},
      {OpKind::kEditKey, 4},   {OpKind::kClear, 1},            {OpKind::kReorder, 2},
      {OpKind::kSave, 14},     {OpKind::kOpen, 6},             {OpKind::kCopy, 4},
      {OpKind::kOtherEdit, 8}, {OpKind::kRawEdit, 8},          {OpKind::kKilledSave, 3},
      {OpKind::kConcurrentSaves, 2}, {OpKind::kBlock, 2},      {OpKind::kUnblock, 3}};
  static const std::vector<Weighted> xml = {
      {OpKind::kSet, 20},      {OpKind::kSetAttr, 10},         {OpKind::kAppend, 7},
      {OpKind::kRemoveKey, 5}, {OpKind::kRemoveSection, 3},    {OpKind::kSave, 14},
      {OpKind::kRemoveAttr, 4}, {OpKind::kClear, 2},
      {OpKind::kOpen, 6},      {OpKind::kCopy, 4},             {OpKind::kOtherEdit, 8},
      {OpKind::kRawEdit, 10},  {OpKind::kKilledSave, 3},       {OpKind::kConcurrentSaves, 2},
      {OpKind::kBlock, 1},     {OpKind::kUnblock, 2}};
  return kind == StoreKind::kIni ? ini : xml;
}

Op RandomOp(StoreKind kind, Draw& draw) {
  const std::vector<Weighted>& weights = Weights(kind);
  unsigned total = 0;
  for (const Weighted& w : weights) total += w.weight;
  unsigned pick = draw.Next(total);
  Op op;
  for (const Weighted& w : weights) {
    if (pick < w.weight) {
      op.kind = w.kind;
      break;
    }
    pick -= w.weight;
  }
  op.store = static_cast<int>(draw.Next(kSlots));
  op.file = draw.Next(4) == 0 ? 1 : 0;  // most of the traffic on one file
  op.section = Sections(kind)[draw.Next(static_cast<unsigned>(Sections(kind).size()))];
  op.key = Keys(kind)[draw.Next(static_cast<unsigned>(Keys(kind).size()))];
  if (kind == StoreKind::kXml) op.attr = kAttrs[draw.Next(static_cast<unsigned>(kAttrs.size()))];
  op.value = Value(draw);
  switch (op.kind) {
    case OpKind::kSet:
    case OpKind::kSetAttr:
    case OpKind::kRemoveAttr:
      if (kind == StoreKind::kXml) op.index = Index(draw);
      break;
    case OpKind::kEditKey:
    case OpKind::kReorder:
      op.index = static_cast<int>(draw.Next(8));
      op.arg = draw.Next(2);
      break;
    case OpKind::kCopy:
      op.index = static_cast<int>(draw.Next(kSlots));
      op.arg = draw.Next(2);
      break;
    case OpKind::kOtherEdit:
      op.arg = draw.Next(5) + 8 * draw.Next(2);  // 8: in a process of its own
      op.index = Index(draw);
      break;
    case OpKind::kRawEdit:
      op.index = static_cast<int>(draw.Next(16));
      op.arg = draw.Next(1u << 16);
      break;
    case OpKind::kKilledSave:
      op.arg = draw.Next(3000);  // microseconds before the kill
      break;
    case OpKind::kConcurrentSaves:
      op.arg = draw.Next(4);
      break;
    default:
      break;
  }
  if (op.kind != OpKind::kSetAttr && op.kind != OpKind::kAppend && op.kind != OpKind::kOtherEdit &&
      op.kind != OpKind::kRawEdit && op.kind != OpKind::kRemoveAttr)
    op.attr.clear();
  return op;
}

std::vector<Op> Start(StoreKind kind, Draw& draw) {
  // The main file gets some content from another program, and two stores
  // open it, the third store the other file; the rest is random.
  std::vector<Op> ops;
  for (int i = 0; i < 2; ++i) {
    Op raw = RandomOp(kind, draw);
    raw.kind = OpKind::kRawEdit;
    raw.file = 0;
    raw.arg = (draw.Next(1u << 16) & ~7u) | (i == 0 ? 2u : 1u);  // a section, then a key
    raw.attr = kind == StoreKind::kXml ? "Value" : "";
    ops.push_back(raw);
  }
  for (int slot = 0; slot < kSlots; ++slot) {
    Op open;
    open.kind = OpKind::kOpen;
    open.store = slot;
    open.file = slot == 2 ? 1 : 0;
    ops.push_back(open);
  }
  return ops;
}

}  // namespace

std::string Quote(const std::string& text) {
  std::string out = "\"";
  bool lastWasHex = false;
  for (unsigned char c : text) {
    const bool hexDigit = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c == '\t') {
      out += "\\t";
    } else if (c < 0x20 || c >= 0x7F) {
      char buffer[8];
      std::snprintf(buffer, sizeof buffer, "\\x%02X", c);
      out += buffer;
      lastWasHex = true;
      continue;
    } else {
      if (lastWasHex && hexDigit) out += "\" \"";  // keep the escape from eating it
      out += static_cast<char>(c);
    }
    lastWasHex = false;
  }
  return out + "\"";
}

namespace {

const char* KindName(OpKind kind) {
  switch (kind) {
    case OpKind::kSet: return "kSet";
    case OpKind::kSetAttr: return "kSetAttr";
    case OpKind::kAppend: return "kAppend";
    case OpKind::kRemoveKey: return "kRemoveKey";
    case OpKind::kRemoveSection: return "kRemoveSection";
    case OpKind::kRemoveAttr: return "kRemoveAttr";
    case OpKind::kEditKey: return "kEditKey";
    case OpKind::kClear: return "kClear";
    case OpKind::kReorder: return "kReorder";
    case OpKind::kSave: return "kSave";
    case OpKind::kOpen: return "kOpen";
    case OpKind::kCopy: return "kCopy";
    case OpKind::kOtherEdit: return "kOtherEdit";
    case OpKind::kRawEdit: return "kRawEdit";
    case OpKind::kKilledSave: return "kKilledSave";
    case OpKind::kConcurrentSaves: return "kConcurrentSaves";
    case OpKind::kBlock: return "kBlock";
    case OpKind::kUnblock: return "kUnblock";
  }
  return "?";
}

}  // namespace

std::vector<Op> RandomOps(StoreKind kind, std::mt19937_64& rng, std::size_t count) {
  RngDraw draw(rng);
  std::vector<Op> ops = Start(kind, draw);
  for (std::size_t i = 0; i < count; ++i) ops.push_back(RandomOp(kind, draw));
  return ops;
}

std::vector<Op> DecodeOps(StoreKind kind, const std::uint8_t* data, std::size_t size) {
  BytesDraw draw(data, size);
  std::vector<Op> ops = Start(kind, draw);
  while (!draw.Empty() && ops.size() < 64) ops.push_back(RandomOp(kind, draw));
  return ops;
}

std::string OpAsCpp(const Op& op) {
  return std::string("{OpKind::") + KindName(op.kind) + ", " + std::to_string(op.store) + ", " +
         std::to_string(op.file) + ", " + Quote(op.section) + ", " + Quote(op.key) + ", " +
         Quote(op.attr) + ", " + Quote(op.value) + ", " + std::to_string(op.index) + ", " +
         std::to_string(op.arg) + "}";
}

std::string CaseAsCpp(const std::string& name, StoreKind kind, const std::vector<Op>& ops) {
  std::string out = "    {" + Quote(name) + ", StoreKind::" +
                    (kind == StoreKind::kIni ? "kIni" : "kXml") + ",\n     {\n";
  for (const Op& op : ops) out += "         " + OpAsCpp(op) + ",\n";
  return out + "     }},\n";
}

std::string Describe(const Op& op) { return OpAsCpp(op); }

}  // namespace store_model
