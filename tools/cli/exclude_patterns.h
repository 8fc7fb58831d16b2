// --exclude PATTERN: globs on an entry's stored path, relative to where its
// name starts (the input's parent folder, or -C DIR).
//   *   any run of characters within one folder level
//   **  any run of characters across folder levels
//   ?   one character (not a separator)
//   [abc] [a-z] [!a-z]  one character from (or not from) a set of bytes
// '/' and '\' both separate folders.  A pattern without a separator is tried
// on the name of every file and folder at any depth ("*.o", ".git"); one with a
// separator (or a leading "/" or "./") on the whole path from the top
// ("pkg/docs/**", "*/tmp", "/build").  An
// excluded folder is not walked at all.
#pragma once

#include <string>
#include <vector>

// True when `text` matches `pattern` in full; both use '/' between folders.
bool GlobMatch(const std::string& pattern, const std::string& text);

class ExcludePatterns {
 public:
  void Add(const std::string& pattern);
  bool empty() const { return patterns_.empty(); }
  // `name` is the stored name ('\' between folders), the one whose last
  // component is being decided.
  bool Excludes(const std::string& name) const;

 private:
  struct Pattern {
    std::string glob;  // '/' separators, no leading or trailing one
    bool wholePath;    // matched against the whole path, not the last name
  };
  std::vector<Pattern> patterns_;
};
