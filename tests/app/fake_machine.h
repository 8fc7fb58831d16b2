// A machine described by a test: drives, their types and free space, the
// temporary folder, the system version and whether kernel32 and its
// GetDiskFreeSpaceExA can be reached.  Installed as the automatic
// destination's DiskQueries, it answers every query from the description and
// records each call, so a test can check which queries were made, in which
// order, and that every load of kernel32 was matched by a free.
#pragma once

#include <windows.h>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "app/disk_queries.h"

struct ClusterCounts {
  DWORD sectorsPerCluster, bytesPerSector, freeClusters;
};

struct FakeMachine {
  std::string tempPath = "C:\\WINDOWS\\TEMP\\";
  DWORD tempPathResult = 0xFFFFFFFF;  // default: the path's length
  std::map<std::string, UINT> driveTypes;
  std::vector<std::string> driveList;
  OSVERSIONINFOA version = {};
  bool versionFails = false;
  bool kernelLoads = true, exportFound = true, extendedFails = false, clusterFails = false;
  std::map<std::string, uint64_t> extendedFree;
  std::map<std::string, ClusterCounts> clusterFree;

  int tempPathCalls = 0, loads = 0, frees = 0;
  std::vector<std::string> extendedRoots, clusterRoots, typeRoots, loadedNames, lookedUpNames;
  std::vector<std::string> messageTexts, messageCaptions;
  std::vector<UINT> messageFlags;
};

// Queries answered from `machine`, which must outlive their use.
DiskQueries FakeDiskQueries(FakeMachine* machine);

// The fake message box alone, for tests that run the real queries.
int WINAPI FakeMessageBox(HWND owner, LPCSTR text, LPCSTR caption, UINT flags);
