#include "tools/cli/name_case.h"

#include "tools/cli/utf8_text.h"

namespace {

// Ranges of lower-case letters whose upper case lies `offset` below them.
struct CaseRange {
  uint32_t first, last, offset;
};
constexpr CaseRange kRanges[] = {
    {0x0061, 0x007A, 0x20},   // a-z
    {0x00E0, 0x00FE, 0x20},   // Latin-1 letters (0xF7, the division sign, is skipped below)
    {0x03B1, 0x03C9, 0x20},   // Greek alpha to omega (final sigma handled below)
    {0x0430, 0x044F, 0x20},   // Cyrillic a to ya
    {0x0450, 0x045F, 0x50},   // Cyrillic io and the other letters with marks
    {0x2170, 0x217F, 0x10},   // small Roman numerals
    {0xFF41, 0xFF5A, 0x20},   // full-width a-z
};
constexpr uint32_t kDivisionSign = 0x00F7;
constexpr uint32_t kFinalSigma = 0x03C2;
constexpr uint32_t kCapitalSigma = 0x03A3;
constexpr uint32_t kUnassignedGreek = 0x03A2;  // the final sigma's place among the capitals

}  // namespace

uint32_t UpperCaseLikeWindows(uint32_t c) {
  if (c == kDivisionSign) return c;
  if (c == kFinalSigma) return kCapitalSigma;
  for (const CaseRange& range : kRanges)
    if (c >= range.first && c <= range.last) return c - range.offset;
  return c;
}

uint32_t LowerCaseLikeWindows(uint32_t c) {
  if (c == kDivisionSign - 0x20 || c == kUnassignedGreek) return c;
  for (const CaseRange& range : kRanges)
    if (c >= range.first - range.offset && c <= range.last - range.offset) return c + range.offset;
  return c;
}

std::string CaseFoldedName(const std::string& utf8) {
  std::string folded;
  ForEachCharacter(utf8, [&](bool valid, uint32_t c, size_t start, size_t) {
    if (valid)
      AppendUtf8(UpperCaseLikeWindows(c), &folded);
    else
      folded += utf8[start];
  });
  return folded;
}
