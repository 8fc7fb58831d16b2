// kaito extract FILE ENTRY...: which entries to write.  An ENTRY names a file
// as list shows it, or a folder, which selects everything below it; '/' and
// '\' both separate folders.  No ENTRY selects everything.
#pragma once

#include <string>
#include <vector>

class EntrySelection {
 public:
  explicit EntrySelection(const std::vector<std::string>& requested);
  // `name` is an entry's UTF-8 name; remembers which requests it answered.
  bool Selects(const std::string& name);
  // The requests that selected no entry, as given.
  std::vector<std::string> Unmatched() const;

 private:
  std::vector<std::string> requested_;
  std::vector<std::string> normalized_;
  std::vector<bool> matched_;
};
