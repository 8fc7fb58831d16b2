// UTF-8 text one character at a time, strictly: an overlong form, a
// surrogate, a stray continuation byte or a cut sequence is no character, so
// callers can show such bytes as what they are instead of guessing.
#pragma once

#include <cstdint>
#include <string>

// True with the code point of the character at *i, *i then behind it; false
// for a byte that starts no valid character, *i then behind that one byte.
bool NextCodePoint(const std::string& text, size_t* i, uint32_t* codePoint);

// Calls visit(valid, codePoint, start, length) for each character of the
// text in turn; a byte that starts no character comes as one with valid false.
template <typename Visit>
void ForEachCharacter(const std::string& text, Visit visit) {
  for (size_t i = 0; i < text.size();) {
    size_t start = i;
    uint32_t codePoint = 0;
    bool valid = NextCodePoint(text, &i, &codePoint);
    visit(valid, codePoint, start, i - start);
  }
}

void AppendUtf8(uint32_t codePoint, std::string* text);

// True when every byte belongs to a valid character.
bool IsValidUtf8(const std::string& text);
