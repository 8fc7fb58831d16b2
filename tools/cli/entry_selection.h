// kaito extract FILE ENTRY...: which entries to write.  An ENTRY is a name
// as list shows it or a pattern as --exclude takes it (exclude_patterns.h),
// letters in either case; it selects the entries it matches and everything
// inside a folder it matches.  A name spelt out selects its entry also when
// it holds pattern characters ("a[1].txt").  No ENTRY selects everything.
#pragma once

#include <string>
#include <vector>

#include "tools/cli/exclude_patterns.h"

class EntrySelection {
 public:
  explicit EntrySelection(const std::vector<std::string>& requested);
  // `name` is an entry's UTF-8 name; remembers which requests it answered.
  bool Selects(const std::string& name);
  // The requests that selected no entry, as given.
  std::vector<std::string> Unmatched() const;

 private:
  struct Request {
    std::string given;
    std::string literal;  // '\' between folders, case folded; empty: names nothing
    NamePattern pattern;
    bool isPattern = false;
    bool matched = false;
  };
  bool Answers(const Request& request, const std::string& name) const;
  std::vector<Request> requests_;
};
