// The rules an entry name must pass before it goes into a self-extracting file:
// what the stub accepts, and what Windows can create as a file.
#pragma once

#include <string>
#include <vector>

#include "archive/lead_byte.h"

// Empty when the code page 932 name is acceptable; otherwise why not.
std::string EntryNameProblem(const std::string& name);

// Empty when no two names would land on the same file on Windows (names differ
// only in ASCII case) and no file name is also another entry's folder;
// otherwise the index of the later name of a clashing pair in *index, and why.
// The command line checks first, with every letter's case (name_case.h).
std::string NameClashProblem(const std::vector<std::string>& names, size_t* index);

// Every clash of the kind NameClashProblem finds: the later name of each
// pair, the name it clashes with, and why.  `keys` are the names as Windows
// compares them (case folded), '\' between folders; `isLeadByte` is the
// encoding's lead-byte test, or null for UTF-8, where no '\' hides in a character.
struct NameClash {
  size_t index;
  size_t other;
  std::string problem;
};
std::vector<NameClash> AllNameClashes(const std::vector<std::string>& keys, LeadByteTest isLeadByte);
