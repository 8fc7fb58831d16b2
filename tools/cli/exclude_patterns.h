// Name patterns of --exclude and of extract's ENTRY operands: globs on an
// entry's stored path, relative to where its name starts (the input's parent
// folder, or -C DIR).
//   *   any run of characters within one folder level
//   **  any run of characters across folder levels
//   ?   one character (not a separator)
//   [abc] [a-z] [!a-z]  one character from (or not from) a set of characters
// Letters match whatever their case, as Windows matches file names
// (name_case.h); a set matches a character when it holds the character in
// either case.  '/' and '\' both separate folders.  A pattern without a
// separator is tried on the name of every file and folder at any depth
// ("*.o", ".git"); one with a separator (or a leading "/" or "./") on the
// whole path from the top ("pkg/docs/**", "*/tmp", "/build").
#pragma once

#include <string>
#include <vector>

// True when `text` matches `pattern` in full; both UTF-8 with '/' between folders.
bool GlobMatch(const std::string& pattern, const std::string& text);

class NamePattern {
 public:
  // False for a pattern that names nothing ("", "/", "./").
  bool Parse(const std::string& pattern);
  // `name` is a stored name ('\' between folders); the pattern is tried on
  // its last component or on the whole of it.
  bool Matches(const std::string& name) const;
  // Matches the name or one of the folders it lies in.
  bool MatchesOrHolds(const std::string& name) const;

 private:
  std::string glob_;  // '/' separators, no leading or trailing one
  bool wholePath_ = false;
};

class ExcludePatterns {
 public:
  // False, and nothing added, for a pattern that names nothing.
  bool Add(const std::string& pattern);
  bool empty() const { return patterns_.empty(); }
  // `name` is the stored name whose last component is being decided; an
  // excluded folder is not walked at all.
  bool Excludes(const std::string& name) const;

 private:
  std::vector<NamePattern> patterns_;
};
