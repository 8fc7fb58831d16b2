#include "tools/pe/version_record.h"

#include "archive/archive_format.h"
#include "tools/report_failure.h"

const char* const kVersionKeys[7] = {"CompanyName",    "FileDescription", "FileVersion",     "LegalCopyright",
                                     "OriginalFilename", "ProductName",   "ProductVersion"};

namespace {

constexpr uint32_t kFixedInfoSignature = 0xFEEF04BDu;
constexpr uint32_t kFixedInfoVersion = 0x00010000u;
constexpr uint16_t kFixedInfoSize = 52;
constexpr uint16_t kBinaryValue = 0;
constexpr uint16_t kTextValue = 1;
constexpr uint32_t kNodeHeaderSize = 6;

bool SameIgnoringCase(const std::string& a, const char* b) {
  size_t i = 0;
  for (; i < a.size() && b[i] != '\0'; ++i) {
    char x = a[i], y = b[i];
    if (x >= 'a' && x <= 'z') x = static_cast<char>(x - 'a' + 'A');
    if (y >= 'a' && y <= 'z') y = static_cast<char>(y - 'a' + 'A');
    if (x != y) return false;
  }
  return i == a.size() && b[i] == '\0';
}

bool IsNumericKey(const std::string& key) { return key == "FileVersion" || key == "ProductVersion"; }

// Strict UTF-8 (no overlong forms, no surrogates) into UTF-16.
bool Utf8ToUtf16(const std::string& text, std::u16string* out) {
  out->clear();
  for (size_t i = 0; i < text.size();) {
    uint8_t lead = static_cast<uint8_t>(text[i]);
    uint32_t length = lead < 0x80 ? 1 : (lead & 0xE0) == 0xC0 ? 2 : (lead & 0xF0) == 0xE0 ? 3 : (lead & 0xF8) == 0xF0 ? 4 : 0;
    if (length == 0 || i + length > text.size()) return false;
    uint32_t c = length == 1 ? lead : lead & (0x7F >> length);
    for (uint32_t k = 1; k < length; ++k) {
      uint8_t next = static_cast<uint8_t>(text[i + k]);
      if ((next & 0xC0) != 0x80) return false;
      c = (c << 6) | (next & 0x3F);
    }
    static const uint32_t kSmallest[5] = {0, 0, 0x80, 0x800, 0x10000};
    if (c < kSmallest[length] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return false;
    if (c >= 0x10000) {
      out->push_back(static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10)));
      out->push_back(static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF)));
    } else {
      out->push_back(static_cast<char16_t>(c));
    }
    i += length;
  }
  return true;
}

std::u16string Ascii(const char* text) {
  std::u16string out;
  for (; *text != '\0'; ++text) out.push_back(static_cast<char16_t>(*text));
  return out;
}

// One node of the record: length, value length, type, zero-terminated UTF-16
// key, padding to 4, the value, then the children, each padded to 4.  A
// node's length runs to the end of its last child.
class RecordWriter {
 public:
  size_t Begin(const std::u16string& key, uint16_t valueLength, uint16_t type) {
    Pad();
    size_t start = out_.size();
    Put16(0);
    Put16(valueLength);
    Put16(type);
    for (char16_t c : key) Put16(c);
    Put16(0);
    Pad();
    return start;
  }
  void Put16(uint32_t value) {
    out_.push_back(static_cast<uint8_t>(value));
    out_.push_back(static_cast<uint8_t>(value >> 8));
  }
  void Put32(uint32_t value) {
    Put16(value & 0xFFFF);
    Put16(value >> 16);
  }
  void End(size_t start) {
    size_t length = out_.size() - start;
    out_[start] = static_cast<uint8_t>(length);
    out_[start + 1] = static_cast<uint8_t>(length >> 8);
  }
  const std::vector<uint8_t>& Bytes() const { return out_; }

 private:
  void Pad() {
    while (out_.size() % 4 != 0) out_.push_back(0);
  }
  std::vector<uint8_t> out_;
};

// A node read back: its key, value and the span its children fill.
struct Node {
  std::u16string key;
  size_t value = 0;
  size_t valueBytes = 0;
  size_t children = 0;
  size_t end = 0;
};

size_t Align4(size_t offset) { return (offset + 3) & ~size_t{3}; }

bool ReadNode(const std::vector<uint8_t>& record, size_t start, size_t limit, Node* node) {
  if (start + kNodeHeaderSize > limit) return false;
  size_t length = LoadU16(&record[start]);
  uint32_t valueLength = LoadU16(&record[start + 2]);
  uint16_t type = LoadU16(&record[start + 4]);
  if (length < kNodeHeaderSize || start + length > limit) return false;
  node->end = start + length;
  node->key.clear();
  size_t at = start + kNodeHeaderSize;
  for (;; at += 2) {
    if (at + 2 > node->end) return false;
    char16_t c = static_cast<char16_t>(LoadU16(&record[at]));
    if (c == 0) break;
    node->key.push_back(c);
  }
  node->value = Align4(at + 2);
  node->valueBytes = type == kTextValue ? valueLength * 2u : valueLength;
  if (node->value + node->valueBytes > node->end) return false;
  node->children = Align4(node->value + node->valueBytes);
  return true;
}

// Calls `visit` for each child of `parent`.
template <typename Visit>
void ForEachChild(const std::vector<uint8_t>& record, const Node& parent, Visit visit) {
  Node child;
  for (size_t at = parent.children; at < parent.end && ReadNode(record, at, parent.end, &child);
       at = Align4(child.end))
    visit(child);
}

bool ParseHex16(const std::u16string& text, size_t from, uint16_t* value) {
  uint32_t result = 0;
  for (size_t i = from; i < from + 4; ++i) {
    char16_t c = text[i];
    uint32_t digit = c >= '0' && c <= '9' ? c - '0' : c >= 'A' && c <= 'F' ? c - 'A' + 10 : c >= 'a' && c <= 'f' ? c - 'a' + 10 : 16;
    if (digit == 16) return false;
    result = result * 16 + digit;
  }
  *value = static_cast<uint16_t>(result);
  return true;
}

void ReadFixedInfo(const std::vector<uint8_t>& record, const Node& root, VersionRecordBase* base) {
  if (root.valueBytes < kFixedInfoSize || LoadU32(&record[root.value]) != kFixedInfoSignature) return;
  const uint8_t* info = &record[root.value];
  base->fileFlagsMask = LoadU32(info + 24);
  base->fileFlags = LoadU32(info + 28);
  base->fileOs = LoadU32(info + 32);
  base->fileType = LoadU32(info + 36);
  base->fileSubtype = LoadU32(info + 40);
}

void VersionWords(const std::vector<VersionText>& texts, const char* key, uint16_t parts[4]) {
  for (const VersionText& text : texts)
    if (text.key == key) ParseDottedVersion(text.value, parts);
}

}  // namespace

bool ParseDottedVersion(const std::string& text, uint16_t parts[4]) {
  uint32_t values[4] = {0, 0, 0, 0};
  size_t count = 0;
  size_t digits = 0;
  for (size_t i = 0; i <= text.size(); ++i) {
    if (i == text.size() || text[i] == '.') {
      if (digits == 0 || count == 4) return false;
      ++count;
      digits = 0;
      continue;
    }
    if (text[i] < '0' || text[i] > '9' || count == 4) return false;
    values[count] = values[count] * 10 + static_cast<uint32_t>(text[i] - '0');
    if (values[count] > 0xFFFF) return false;
    ++digits;
  }
  for (int i = 0; i < 4; ++i) parts[i] = static_cast<uint16_t>(values[i]);
  return true;
}

bool ParseVersionTexts(const std::vector<std::string>& arguments, std::vector<VersionText>* texts,
                       std::string* error) {
  texts->clear();
  for (const std::string& argument : arguments) {
    size_t equals = argument.find('=');
    std::string key = argument.substr(0, equals);
    const char* known = nullptr;
    for (const char* candidate : kVersionKeys)
      if (SameIgnoringCase(key, candidate)) known = candidate;
    std::string label = "--version-info " + argument;
    if (equals == std::string::npos) return Fail(error, label + ": expected KEY=VALUE");
    if (known == nullptr)
      return Fail(error, label + ": unknown key '" + key +
                             "' (known: ProductName, CompanyName, FileDescription, FileVersion, ProductVersion, "
                             "LegalCopyright, OriginalFilename)");
    VersionText text{known, argument.substr(equals + 1)};
    if (text.value.empty()) return Fail(error, label + ": the value is empty");
    uint16_t parts[4];
    if (IsNumericKey(text.key) && !ParseDottedVersion(text.value, parts))
      return Fail(error, label + ": " + text.key + " must be 1 to 4 numbers of at most 65535 joined by dots, such as 1.2.0");
    for (const VersionText& earlier : *texts)
      if (earlier.key == text.key) return Fail(error, label + ": " + text.key + " is given twice");
    texts->push_back(text);
  }
  return true;
}

void ReadVersionRecordBase(const std::vector<uint8_t>& record, VersionRecordBase* base) {
  Node root;
  if (!ReadNode(record, 0, record.size(), &root)) return;
  ReadFixedInfo(record, root, base);
  bool translated = false;
  ForEachChild(record, root, [&](const Node& block) {
    if (block.key == u"VarFileInfo") {
      ForEachChild(record, block, [&](const Node& var) {
        if (var.key != u"Translation" || var.valueBytes < 4 || translated) return;
        base->language = LoadU16(&record[var.value]);
        base->codePage = LoadU16(&record[var.value + 2]);
        translated = true;
      });
    }
  });
  if (translated) return;
  // Without a translation entry, the string table's name gives both.
  ForEachChild(record, root, [&](const Node& block) {
    if (block.key != u"StringFileInfo") return;
    ForEachChild(record, block, [&](const Node& table) {
      uint16_t language = 0, codePage = 0;
      if (translated || table.key.size() != 8 || !ParseHex16(table.key, 0, &language) ||
          !ParseHex16(table.key, 4, &codePage))
        return;
      base->language = language;
      base->codePage = codePage;
      translated = true;
    });
  });
}

bool BuildVersionRecord(const std::vector<VersionText>& texts, const VersionRecordBase& base,
                        std::vector<uint8_t>* record, std::string* error) {
  uint16_t fileVersion[4] = {0, 0, 0, 0};
  uint16_t productVersion[4] = {0, 0, 0, 0};
  VersionWords(texts, "ProductVersion", fileVersion);
  VersionWords(texts, "FileVersion", fileVersion);
  VersionWords(texts, "FileVersion", productVersion);
  VersionWords(texts, "ProductVersion", productVersion);

  RecordWriter w;
  size_t root = w.Begin(u"VS_VERSION_INFO", kFixedInfoSize, kBinaryValue);
  uint32_t fixed[13] = {kFixedInfoSignature,
                        kFixedInfoVersion,
                        uint32_t{fileVersion[0]} << 16 | fileVersion[1],
                        uint32_t{fileVersion[2]} << 16 | fileVersion[3],
                        uint32_t{productVersion[0]} << 16 | productVersion[1],
                        uint32_t{productVersion[2]} << 16 | productVersion[3],
                        base.fileFlagsMask,
                        base.fileFlags,
                        base.fileOs,
                        base.fileType,
                        base.fileSubtype,
                        0,
                        0};
  for (uint32_t word : fixed) w.Put32(word);

  size_t strings = w.Begin(u"StringFileInfo", 0, kTextValue);
  static const char kHex[] = "0123456789ABCDEF";
  std::u16string tableName;
  uint32_t translation = uint32_t{base.language} << 16 | base.codePage;
  for (int shift = 28; shift >= 0; shift -= 4) tableName.push_back(static_cast<char16_t>(kHex[(translation >> shift) & 0xF]));
  size_t table = w.Begin(tableName, 0, kTextValue);
  for (const char* key : kVersionKeys) {
    for (const VersionText& text : texts) {
      if (text.key != key) continue;
      std::u16string value;
      if (!Utf8ToUtf16(text.value, &value)) return Fail(error, "--version-info " + text.key + ": the value is not UTF-8 text");
      size_t node = w.Begin(Ascii(key), static_cast<uint16_t>(value.size() + 1), kTextValue);
      for (char16_t c : value) w.Put16(c);
      w.Put16(0);
      w.End(node);
    }
  }
  w.End(table);
  w.End(strings);

  size_t vars = w.Begin(u"VarFileInfo", 0, kTextValue);
  size_t var = w.Begin(u"Translation", 4, kBinaryValue);
  w.Put16(base.language);
  w.Put16(base.codePage);
  w.End(var);
  w.End(vars);
  w.End(root);
  if (w.Bytes().size() > 0xFFFF) return Fail(error, "--version-info: the texts are too long for a version record");
  *record = w.Bytes();
  return true;
}
