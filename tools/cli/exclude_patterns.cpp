#include "tools/cli/exclude_patterns.h"

#include <algorithm>

namespace {

std::string Slashes(std::string text) {
  std::replace(text.begin(), text.end(), '\\', '/');
  return text;
}

bool IsContinuation(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

// Matches one bracket set at pattern[p] against the byte c; *end is the index
// behind the set, or npos when the '[' opens no complete set (then it is literal).
bool SetMatches(const std::string& pattern, size_t p, unsigned char c, size_t* end) {
  size_t i = p + 1;
  bool negate = i < pattern.size() && (pattern[i] == '!' || pattern[i] == '^');
  if (negate) ++i;
  size_t first = i;
  bool matched = false;
  for (; i < pattern.size() && (pattern[i] != ']' || i == first); ++i) {
    unsigned char low = static_cast<unsigned char>(pattern[i]);
    unsigned char high = low;
    if (i + 2 < pattern.size() && pattern[i + 1] == '-' && pattern[i + 2] != ']') {
      high = static_cast<unsigned char>(pattern[i + 2]);
      i += 2;
    }
    if (c >= low && c <= high) matched = true;
  }
  if (i >= pattern.size()) {
    *end = std::string::npos;
    return false;
  }
  *end = i + 1;
  return matched != negate;
}

bool MatchFrom(const std::string& pattern, size_t p, const std::string& text, size_t t) {
  while (p < pattern.size()) {
    char c = pattern[p];
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
      while (t < text.size() && IsContinuation(text[t])) ++t;
      continue;
    }
    if (c == '[') {
      size_t end = 0;
      bool matched = SetMatches(pattern, p, static_cast<unsigned char>(text[t]), &end);
      if (end != std::string::npos) {
        if (!matched || text[t] == '/') return false;
        p = end;
        ++t;
        continue;
      }
    }
    if (c != text[t]) return false;
    ++p;
    ++t;
  }
  return t == text.size();
}

}  // namespace

bool GlobMatch(const std::string& pattern, const std::string& text) { return MatchFrom(pattern, 0, text, 0); }

void ExcludePatterns::Add(const std::string& pattern) {
  std::string cleaned = Slashes(pattern);
  while (!cleaned.empty() && cleaned.back() == '/') cleaned.pop_back();
  // A leading "/" or "./" ties the pattern to the top, like a separator inside it.
  bool anchored = cleaned.rfind("/", 0) == 0 || cleaned.rfind("./", 0) == 0;
  while (cleaned.rfind("./", 0) == 0) cleaned.erase(0, 2);
  while (!cleaned.empty() && cleaned.front() == '/') cleaned.erase(0, 1);
  if (cleaned.empty()) return;
  patterns_.push_back(Pattern{cleaned, anchored || cleaned.find('/') != std::string::npos});
}

bool ExcludePatterns::Excludes(const std::string& name) const {
  std::string path = Slashes(name);
  size_t slash = path.rfind('/');
  std::string last = slash == std::string::npos ? path : path.substr(slash + 1);
  for (const Pattern& pattern : patterns_)
    if (GlobMatch(pattern.glob, pattern.wholePath ? path : last)) return true;
  return false;
}
