#include "fake_machine.h"

#include <cstring>

namespace {

FakeMachine* g_machine;
const HMODULE kFakeKernel = reinterpret_cast<HMODULE>(0x7b800000);

DWORD WINAPI FakeGetTempPath(DWORD capacity, LPSTR buffer) {
  ++g_machine->tempPathCalls;
  const std::string& path = g_machine->tempPath;
  if (path.size() < capacity) memcpy(buffer, path.c_str(), path.size() + 1);
  if (g_machine->tempPathResult != 0xFFFFFFFF) return g_machine->tempPathResult;
  return path.size() < capacity ? static_cast<DWORD>(path.size())
                                : static_cast<DWORD>(path.size() + 1);
}

UINT WINAPI FakeGetDriveType(LPCSTR root) {
  g_machine->typeRoots.push_back(root);
  auto found = g_machine->driveTypes.find(root);
  return found == g_machine->driveTypes.end() ? DRIVE_NO_ROOT_DIR : found->second;
}

DWORD WINAPI FakeGetLogicalDriveStrings(DWORD capacity, LPSTR buffer) {
  std::string list;
  for (const std::string& root : g_machine->driveList) list.append(root).push_back('\0');
  if (list.size() + 1 > capacity) return static_cast<DWORD>(list.size() + 1);
  memcpy(buffer, list.data(), list.size());
  buffer[list.size()] = '\0';
  return static_cast<DWORD>(list.size());
}

BOOL WINAPI FakeGetVersionEx(LPOSVERSIONINFOA info) {
  if (info->dwOSVersionInfoSize != sizeof(OSVERSIONINFOA)) return FALSE;
  if (g_machine->versionFails) return FALSE;
  *info = g_machine->version;
  info->dwOSVersionInfoSize = sizeof(OSVERSIONINFOA);
  return TRUE;
}

BOOL WINAPI FakeGetDiskFreeSpaceEx(LPCSTR root, PULARGE_INTEGER freeToCaller,
                                   PULARGE_INTEGER totalBytes, PULARGE_INTEGER totalFree) {
  g_machine->extendedRoots.push_back(root);
  auto found = g_machine->extendedFree.find(root);
  if (g_machine->extendedFails || found == g_machine->extendedFree.end()) return FALSE;
  freeToCaller->QuadPart = found->second;
  totalBytes->QuadPart = ~0ull;  // unused: a large total must not count as free
  totalFree->QuadPart = ~0ull;
  return TRUE;
}

HMODULE WINAPI FakeLoadLibrary(LPCSTR name) {
  g_machine->loadedNames.push_back(name);
  if (!g_machine->kernelLoads) return nullptr;
  ++g_machine->loads;
  return kFakeKernel;
}

FARPROC WINAPI FakeGetProcAddress(HMODULE module, LPCSTR name) {
  g_machine->lookedUpNames.push_back(name);
  if (module != kFakeKernel || !g_machine->exportFound) return nullptr;
  return reinterpret_cast<FARPROC>(reinterpret_cast<void*>(FakeGetDiskFreeSpaceEx));
}

BOOL WINAPI FakeFreeLibrary(HMODULE module) {
  if (module == kFakeKernel) ++g_machine->frees;
  return TRUE;
}

BOOL WINAPI FakeGetDiskFreeSpace(LPCSTR root, LPDWORD sectorsPerCluster, LPDWORD bytesPerSector,
                                 LPDWORD freeClusters, LPDWORD totalClusters) {
  g_machine->clusterRoots.push_back(root);
  auto found = g_machine->clusterFree.find(root);
  if (g_machine->clusterFails || found == g_machine->clusterFree.end()) return FALSE;
  *sectorsPerCluster = found->second.sectorsPerCluster;
  *bytesPerSector = found->second.bytesPerSector;
  *freeClusters = found->second.freeClusters;
  *totalClusters = 0xFFFFFFFF;
  return TRUE;
}


}  // namespace

int WINAPI FakeMessageBox(HWND, LPCSTR text, LPCSTR caption, UINT flags) {
  g_machine->messageTexts.push_back(text);
  g_machine->messageCaptions.push_back(caption);
  g_machine->messageFlags.push_back(flags);
  return IDOK;
}

DiskQueries FakeDiskQueries(FakeMachine* machine) {
  g_machine = machine;
  return {FakeGetTempPath,   FakeGetDriveType,  FakeGetLogicalDriveStrings,
          FakeGetVersionEx,  FakeLoadLibrary,   FakeGetProcAddress,
          FakeFreeLibrary,   FakeGetDiskFreeSpace, FakeMessageBox};
}
