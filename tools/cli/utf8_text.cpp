#include "tools/cli/utf8_text.h"

bool NextCodePoint(const std::string& text, size_t* i, uint32_t* codePoint) {
  uint32_t lead = static_cast<unsigned char>(text[*i]);
  size_t start = (*i)++;
  if (lead < 0x80) {
    *codePoint = lead;
    return true;
  }
  size_t length = lead >= 0xC2 && lead <= 0xDF ? 2 : lead >= 0xE0 && lead <= 0xEF ? 3 : lead >= 0xF0 && lead <= 0xF4 ? 4 : 0;
  if (length == 0 || text.size() - start < length) return false;
  uint32_t code = lead & (0x7Fu >> length);
  for (size_t k = 1; k < length; ++k) {
    uint32_t next = static_cast<unsigned char>(text[start + k]);
    if ((next & 0xC0) != 0x80) return false;
    code = code << 6 | (next & 0x3F);
  }
  // The shortest form only, and no surrogate halves.
  static const uint32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
  if (code < kSmallest[length] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return false;
  *i = start + length;
  *codePoint = code;
  return true;
}

void AppendUtf8(uint32_t c, std::string* text) {
  if (c < 0x80) {
    *text += static_cast<char>(c);
  } else if (c < 0x800) {
    *text += static_cast<char>(0xC0 | c >> 6);
    *text += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    *text += static_cast<char>(0xE0 | c >> 12);
    *text += static_cast<char>(0x80 | (c >> 6 & 0x3F));
    *text += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    *text += static_cast<char>(0xF0 | c >> 18);
    *text += static_cast<char>(0x80 | (c >> 12 & 0x3F));
    *text += static_cast<char>(0x80 | (c >> 6 & 0x3F));
    *text += static_cast<char>(0x80 | (c & 0x3F));
  }
}

bool IsValidUtf8(const std::string& text) {
  bool valid = true;
  ForEachCharacter(text, [&valid](bool character, uint32_t, size_t, size_t) { valid = valid && character; });
  return valid;
}
