// The create command's command line.
#pragma once

#include <string>
#include <vector>

#include "tools/cli/exclude_patterns.h"

// Already-compressed formats gain nothing from another pass; they are stored
// without trying unless --store-ext says otherwise.
extern const char* const kDefaultStoreExtensions;

struct CreateOptions {
  std::string output;
  bool automatic = false;
  std::string run;
  std::string runArgs;
  int level;
  std::string stub;
  std::string storeExtensions = kDefaultStoreExtensions;
  std::string baseDir;
  bool quiet = false;
  std::string mtime;                // --mtime TIME; empty: the files' own times
  std::string icon;                 // --icon FILE.ico; empty: the stub's own icon
  std::vector<std::string> versionInfo;  // --version-info KEY=VALUE...
  ExcludePatterns exclude;          // --exclude PATTERN...
  std::vector<std::string> inputs;  // operands, then the -T list
};

// Throws UsageFailure for a wrong command line; reads the -T list.
CreateOptions ParseCreate(const std::vector<std::string>& args);

// True when the name's extension is in the comma-separated list (entries may
// carry a leading dot; case is ignored).
bool HasExtensionIn(const std::string& name, const std::string& list);
