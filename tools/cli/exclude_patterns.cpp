#include "tools/cli/exclude_patterns.h"

#include <algorithm>

#include "tools/cli/name_case.h"
#include "tools/cli/utf8_text.h"

namespace {

// Text as characters; a byte that is no UTF-8 becomes a value no character
// has, so it matches only itself (and '?').
constexpr uint32_t kStrayByteBase = 0x110000;

std::u32string Characters(const std::string& utf8) {
  std::u32string characters;
  ForEachCharacter(utf8, [&](bool valid, uint32_t c, size_t start, size_t) {
    characters += valid ? c : kStrayByteBase + static_cast<unsigned char>(utf8[start]);
  });
  return characters;
}

bool SameLetter(char32_t a, char32_t b) { return a == b || UpperCaseLikeWindows(a) == UpperCaseLikeWindows(b); }

bool InRange(char32_t c, char32_t low, char32_t high) { return c >= low && c <= high; }

// Matches one bracket set at pattern[p] against c; *end is the index behind
// the set, or npos when the '[' opens no complete set (then it is literal).
bool SetMatches(const std::u32string& pattern, size_t p, char32_t c, size_t* end) {
  size_t i = p + 1;
  bool negate = i < pattern.size() && (pattern[i] == '!' || pattern[i] == '^');
  if (negate) ++i;
  size_t first = i;
  bool matched = false;
  char32_t upper = UpperCaseLikeWindows(c), lower = LowerCaseLikeWindows(c);
  for (; i < pattern.size() && (pattern[i] != ']' || i == first); ++i) {
    char32_t low = pattern[i], high = low;
    if (i + 2 < pattern.size() && pattern[i + 1] == '-' && pattern[i + 2] != ']') {
      high = pattern[i + 2];
      i += 2;
    }
    if (InRange(c, low, high) || InRange(upper, low, high) || InRange(lower, low, high)) matched = true;
  }
  if (i >= pattern.size()) {
    *end = std::u32string::npos;
    return false;
  }
  *end = i + 1;
  return matched != negate;
}

bool MatchFrom(const std::u32string& pattern, size_t p, const std::u32string& text, size_t t) {
  while (p < pattern.size()) {
    char32_t c = pattern[p];
    if (c == '*') {
      bool crossesFolders = p + 1 < pattern.size() && pattern[p + 1] == '*';
      size_t rest = p + (crossesFolders ? 2 : 1);
      // "**/" also matches no folder at all: "a/**/b" matches "a/b".
      if (crossesFolders && rest < pattern.size() && pattern[rest] == '/' && MatchFrom(pattern, rest + 1, text, t))
        return true;
      for (size_t end = t;; ++end) {
        if (MatchFrom(pattern, rest, text, end)) return true;
        if (end >= text.size() || (!crossesFolders && text[end] == '/')) return false;
      }
    }
    if (t >= text.size()) return false;
    if (c == '?') {
      if (text[t] == '/') return false;
      ++p;
      ++t;
      continue;
    }
    if (c == '[') {
      size_t end = 0;
      bool matched = SetMatches(pattern, p, text[t], &end);
      if (end != std::u32string::npos) {
        if (!matched || text[t] == '/') return false;
        p = end;
        ++t;
        continue;
      }
    }
    if (!SameLetter(c, text[t])) return false;
    ++p;
    ++t;
  }
  return t == text.size();
}

std::string Slashes(std::string text) {
  std::replace(text.begin(), text.end(), '\\', '/');
  return text;
}

}  // namespace

bool GlobMatch(const std::string& pattern, const std::string& text) {
  return MatchFrom(Characters(pattern), 0, Characters(text), 0);
}

bool NamePattern::Parse(const std::string& pattern) {
  std::string cleaned = Slashes(pattern);
  while (!cleaned.empty() && cleaned.back() == '/') cleaned.pop_back();
  // A leading "/" or "./" ties the pattern to the top, like a separator inside it.
  bool anchored = cleaned.rfind("/", 0) == 0 || cleaned.rfind("./", 0) == 0;
  while (cleaned.rfind("./", 0) == 0) cleaned.erase(0, 2);
  while (!cleaned.empty() && cleaned.front() == '/') cleaned.erase(0, 1);
  if (cleaned.empty() || cleaned == ".") return false;
  glob_ = cleaned;
  wholePath_ = anchored || cleaned.find('/') != std::string::npos;
  return true;
}

bool NamePattern::Matches(const std::string& name) const {
  std::string path = Slashes(name);
  return GlobMatch(glob_, wholePath_ ? path : path.substr(path.rfind('/') + 1));
}

bool NamePattern::MatchesOrHolds(const std::string& name) const {
  for (size_t end = name.find_first_of("\\/"); end != std::string::npos; end = name.find_first_of("\\/", end + 1))
    if (Matches(name.substr(0, end))) return true;
  return Matches(name);
}

bool ExcludePatterns::Add(const std::string& pattern) {
  NamePattern parsed;
  if (!parsed.Parse(pattern)) return false;
  patterns_.push_back(parsed);
  return true;
}

bool ExcludePatterns::Excludes(const std::string& name) const {
  for (const NamePattern& pattern : patterns_)
    if (pattern.Matches(name)) return true;
  return false;
}
