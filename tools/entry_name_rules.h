// The rules an entry name must pass before it goes into a self-extracting file:
// what the stub accepts, and what Windows can create as a file.
#pragma once

#include <string>
#include <vector>

// Empty when the code page 932 name is acceptable; otherwise why not.
std::string EntryNameProblem(const std::string& name);

// True when Windows takes the two names for the same file (ASCII case ignored).
bool SameNameOnWindows(const std::string& a, const std::string& b);

// Empty when no two names would land on the same file on Windows (names differ
// only in ASCII case) and no file name is also another entry's folder;
// otherwise the index of the later name of a clashing pair in *index, and why.
std::string NameClashProblem(const std::vector<std::string>& names, size_t* index);

// Every clash of the kind NameClashProblem finds: the later name of each
// pair, the name it clashes with, and why.
struct NameClash {
  size_t index;
  size_t other;
  std::string problem;
};
std::vector<NameClash> AllNameClashes(const std::vector<std::string>& names);
