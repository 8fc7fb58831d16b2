#include "app/auto_destination.h"

#include <windows.h>

#include <cstring>

#include "app/disk_queries.h"
#include "extract/extract_status.h"
#include "ui/ui_texts.h"
#include "ui/window_helpers_win.h"

namespace {

constexpr DWORD kOsVersionInfoSize = 148;
static_assert(sizeof(OSVERSIONINFOA) == kOsVersionInfoSize, "OSVERSIONINFOA layout");
constexpr DWORD kTempPathCapacity = 260;
constexpr DWORD kDriveListSize = 128;
constexpr char kAutomaticFolderName[] = "_davoexpand\\";


// Windows 95 OSR2 (4.0 build 1001 and later), 98/ME and every NT system
// export GetDiskFreeSpaceExA; older ones answer only in 32-bit cluster counts.
bool HasExtendedQuery(const OSVERSIONINFOA& version) {
  if (version.dwPlatformId == VER_PLATFORM_WIN32_NT) return true;
  if (version.dwPlatformId != VER_PLATFORM_WIN32_WINDOWS) return false;
  if (version.dwMajorVersion != 4) return version.dwMajorVersion > 4;
  if (version.dwMinorVersion >= 10) return true;
  return LOWORD(version.dwBuildNumber) > 1000;
}

// Free bytes for the caller from the 64-bit query, reached by name so that
// the program still starts on systems without it.  False when it can't be
// asked; the library is released on every path that loaded it.
bool QueryExtendedFreeSpace(const char* root, uint64_t* freeBytes) {
  HMODULE kernel = g_diskQueries.LoadLibraryA("kernel32.dll");
  if (kernel == nullptr) return false;
  auto query = reinterpret_cast<GetDiskFreeSpaceExAFunction>(
      reinterpret_cast<void*>(g_diskQueries.GetProcAddress(kernel, "GetDiskFreeSpaceExA")));
  ULARGE_INTEGER freeToCaller = {}, totalBytes = {}, totalFree = {};
  bool answered = query != nullptr && query(root, &freeToCaller, &totalBytes, &totalFree);
  g_diskQueries.FreeLibrary(kernel);
  if (!answered) return false;
  *freeBytes = freeToCaller.QuadPart;
  return true;
}

// Free bytes from the cluster counts.  The three factors can exceed 64 bits
// together, so the product saturates instead of wrapping to a small number.
bool QueryClusterFreeSpace(const char* root, uint64_t* freeBytes) {
  DWORD sectorsPerCluster = 0, bytesPerSector = 0, freeClusters = 0, totalClusters = 0;
  if (!g_diskQueries.GetDiskFreeSpaceA(root, &sectorsPerCluster, &bytesPerSector, &freeClusters,
                                       &totalClusters)) {
    return false;
  }
  uint64_t clusterBytes = uint64_t{freeClusters} * bytesPerSector;  // < 2^64, exact
  if (sectorsPerCluster != 0 && clusterBytes > UINT64_MAX / sectorsPerCluster) {
    *freeBytes = UINT64_MAX;
  } else {
    *freeBytes = clusterBytes * sectorsPerCluster;
  }
  return true;
}

bool IsFixedWithRoom(const char* root, uint32_t requiredSize) {
  return g_diskQueries.GetDriveTypeA(root) == DRIVE_FIXED && HasFreeSpace(root, requiredSize);
}

bool IsDriveLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

// Whether the last character is a backslash, stepping by characters of the
// code page: the second byte of a double-byte character can be 0x5C.
bool EndsWithBackslash(const char* path) {
  const char* last = nullptr;
  for (const char* p = path; *p != '\0'; p = CharNextA(p)) last = p;
  return last != nullptr && *last == '\\' && CharNextA(last) == last + 1;
}

// Walks the platform's drive list; the first fixed drive with room gives
// DestDir = its root + `folderName`.  The temporary folder's drive is tested
// again if it is listed.
bool ScanDrives(uint32_t requiredSize, const char* folderName) {
  char drives[kDriveListSize + 1] = {};  // one zero past the list stops every walk
  g_diskQueries.GetLogicalDriveStringsA(kDriveListSize, drives);
  for (const char* root = drives; *root != '\0'; root += strlen(root) + 1) {
    size_t rootLength = strlen(root);
    if (rootLength + strlen(folderName) + 1 > kTempPathCapacity + 1) continue;
    if (!IsFixedWithRoom(root, requiredSize)) continue;
    memcpy(DestDir, root, rootLength);
    lstrcpyA(DestDir + rootLength, folderName);
    return true;
  }
  return false;
}

// An unattended run (/S, /P) shows no message; its exit code tells.
void ShowMessage(const char* text, UINT icon) {
  if (g_uiLevel != UiLevel::Full) return;
  g_diskQueries.MessageBoxA(nullptr, text, AlertCaption(), MB_OK | icon);
}

}  // namespace

// Asks for the temporary folder straight into DestDir and keeps it only when
// it is whole and absolute: a drive path ("C:\...") or a network path
// ("\\server\..."), ending in a backslash.  Anything else (no answer, a path
// too long for the buffer, a relative path) leaves DestDir empty, so that a
// partial or relative path can never become the destination.  The answer
// only tells success; the text itself is measured, since a path with
// double-byte characters may be counted in characters rather than bytes.
bool ReadTemporaryFolder() {
  DestDir[kTempPathCapacity] = '\0';
  DWORD answer = g_diskQueries.GetTempPathA(kTempPathCapacity, DestDir);
  size_t length = strlen(DestDir);
  bool whole = answer > 0 && answer < kTempPathCapacity && length > 0 && length < kTempPathCapacity;
  bool absolute = (IsDriveLetter(DestDir[0]) && DestDir[1] == ':' && DestDir[2] == '\\') ||
                  (DestDir[0] == '\\' && DestDir[1] == '\\' && DestDir[2] != '\0');
  if (!whole || !absolute) {
    DestDir[0] = '\0';
    return false;
  }
  if (!EndsWithBackslash(DestDir)) {  // room: DestDir holds 260 bytes of text and more
    DestDir[length] = '\\';
    DestDir[length + 1] = '\0';
  }
  return true;
}

bool HasFreeSpace(const char* root, uint32_t requiredSize) {
  OSVERSIONINFOA version;
  memset(&version, 0, sizeof version);
  version.dwOSVersionInfoSize = kOsVersionInfoSize;
  g_diskQueries.GetVersionExA(&version);

  uint64_t freeBytes = 0;
  if (HasExtendedQuery(version) && QueryExtendedFreeSpace(root, &freeBytes)) {
    return freeBytes >= requiredSize;
  }
  return QueryClusterFreeSpace(root, &freeBytes) && freeBytes >= requiredSize;
}

bool ChooseAutomaticDestination(uint32_t requiredSize, bool driveRoot) {
  SkipOverwritePrompt = 1;
  if (requiredSize == 0) {
    ShowMessage(kTextDamagedData, MB_ICONEXCLAMATION);
    return false;
  }

  bool haveTemporaryFolder = ReadTemporaryFolder();
  if (haveTemporaryFolder && DestDir[0] != '\\') {
    char root[4] = {DestDir[0], DestDir[1], DestDir[2], '\0'};
    if (IsFixedWithRoom(root, requiredSize)) return true;
  }
  if (ScanDrives(requiredSize, driveRoot ? "" : kAutomaticFolderName)) return true;
  // No drive has room: the temporary folder still is the place to try, and a
  // full disk shows up as a write failure.  Without one there is nowhere
  // meant to extract to, so nothing is extracted.
  if (haveTemporaryFolder) return true;
  ShowMessage(kTextCannotStart, MB_ICONERROR);
  return false;
}
