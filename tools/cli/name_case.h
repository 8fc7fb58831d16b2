// Names compared as Windows compares file names: case ignored, letter by
// letter.  Windows upper-cases both names with its own table; this one holds
// the letters that code page 932 can store (ASCII, Greek, Cyrillic, the
// full-width Latin letters, the Roman numerals) and Latin-1.
#pragma once

#include <cstdint>
#include <string>

uint32_t UpperCaseLikeWindows(uint32_t codePoint);
uint32_t LowerCaseLikeWindows(uint32_t codePoint);

// The UTF-8 name with every letter upper-cased: two names are the same file
// on Windows when these are equal.  Bytes that are no UTF-8 stay as they are.
std::string CaseFoldedName(const std::string& utf8);
