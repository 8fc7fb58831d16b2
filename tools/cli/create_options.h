// The create command's command line.
#pragma once

#include <string>
#include <vector>

#include "tools/cli/exclude_patterns.h"

// An input to pack: an operand, or a line of a -T list.  Operands are named
// from their last component (below -C DIR, from their path); list lines keep
// their path as written, as in tar.
struct InputSpec {
  std::string path;
  bool fromList = false;
};

struct CreateOptions {
  std::string output;
  bool automatic = false;
  bool cleanup = false;             // --cleanup: the installer wrapper
  std::string run;
  std::string runArgs;
  int level;
  std::string stub;
  std::vector<std::string> storeExtensions;  // folded, without their dots
  std::string baseDir;
  bool recursive = true;            // --no-recursion: folders are not walked
  bool quiet = false;
  std::string mtime;                // --mtime TIME; empty: the files' own times
  std::string icon;                 // --icon FILE.ico; empty: the stub's own icon
  std::vector<std::string> versionInfo;  // --version-info KEY=VALUE...
  std::string executionLevel;       // --execution-level; empty: the stub's manifest as it is
  ExcludePatterns exclude;          // --exclude PATTERN...
  std::vector<InputSpec> inputs;    // operands, then the -T lists' lines
};

// Throws UsageFailure for a wrong command line; reads the -T lists.
CreateOptions ParseCreate(const std::vector<std::string>& args);
