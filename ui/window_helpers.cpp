#include "ui/window_helpers.h"

int CentredOffset(int outer, int inner) { return (outer - inner) / 2; }

int BaseNameStart(const char* path, LeadByteTest isLeadByte) {
  int start = 0;
  if (path[0] != '\0' && path[1] == ':') start = 2;
  int i = start;
  while (path[i] != '\0') {
    const uint8_t byte = static_cast<uint8_t>(path[i]);
    if (isLeadByte(byte) && path[i + 1] != '\0') {
      i += 2;
      continue;
    }
    ++i;
    if (byte == '\\' || byte == '/') start = i;
  }
  return start;
}

int FindChar(const char* text, int character) {
  if (text == nullptr) return -1;
  const char wanted = static_cast<char>(character & 0xFF);
  for (int i = 0; text[i] != '\0'; ++i) {
    if (text[i] == wanted) return i;
  }
  return -1;
}

int FindLastChar(const char* text, int character) {
  if (text == nullptr) return -1;
  const char wanted = static_cast<char>(character & 0xFF);
  int last = -1;
  for (int i = 0; text[i] != '\0'; ++i) {
    if (text[i] == wanted) last = i;
  }
  return last;
}

uint32_t SizeInMibHundredths(uint32_t bytes) {
  constexpr uint64_t kBytesPerMib = 0x100000;
  return static_cast<uint32_t>((uint64_t{bytes} * 100 + kBytesPerMib / 2) / kBytesPerMib);
}

bool NeedsTrailingBackslash(const char* path, LeadByteTest isLeadByte) {
  int length = 0;
  while (path[length] != '\0') ++length;
  if (length == 0) return false;
  if (FindLastChar(path, '\\') < length - 1) return true;
  // The last byte is 0x5C: find whether it starts a character of its own.
  int i = 0;
  while (i < length - 1) {
    i += isLeadByte(static_cast<uint8_t>(path[i])) ? 2 : 1;
  }
  return i != length - 1;
}
