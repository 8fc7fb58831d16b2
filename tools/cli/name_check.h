// The checks every entry name gets before create writes anything: the name
// must come back unchanged from code page 932 (Shift-JIS), pass the stub's
// and Windows's rules, and not clash with another name.  Every bad name is
// reported, not just the first.
#pragma once

#include <string>
#include <vector>

// Converts a UTF-8 name to code page 932 only when converting it back gives
// the same text (no look-alike such as U+00A5 for '\').  Answers "" and sets
// *cp932, or says which character fails and how.
std::string ExactCp932(const std::string& utf8, std::string* cp932);

struct NamedInput {
  std::string name;   // UTF-8, '\' between folders
  std::string label;  // the file's path, for messages
};

// Fills *cp932Names (one per input) and answers one line per bad name:
// "'<path>': <why>".
std::vector<std::string> EntryNameProblems(const std::vector<NamedInput>& inputs,
                                           std::vector<std::string>* cp932Names);

// The destination the path-length warning assumes: a user's temporary folder
// with a 20-character user name.
extern const char* const kTypicalDestination;
// The longest output path (bytes, without the terminating zero) the stub can
// open, and the longest entry name that stays within it under kTypicalDestination.
constexpr size_t kLongestOutputPath = 259;
size_t LongestSafeEntryName();
