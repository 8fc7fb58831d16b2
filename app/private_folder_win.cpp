#include "app/private_folder.h"

#include <windows.h>
#include <ntsecapi.h>

#include "app/private_folder_access.h"
#include "extract/extract_status.h"
#include "extract/run_log.h"

namespace {

constexpr int kNameAttempts = 8;
// "kaito-" and 16 hex digits of random, and the backslash behind them.
constexpr int kFolderNameLength = 6 + 16 + 1;

// The user's SID, read from the process token into a TOKEN_USER record.
constexpr DWORD kTokenUserSize = sizeof(TOKEN_USER) + kMaxSidSize;

size_t BuildDescriptor(uint8_t* descriptor) {
  HANDLE token;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return 0;
  alignas(4) uint8_t user[kTokenUserSize];
  DWORD size = 0;
  size_t built = 0;
  if (GetTokenInformation(token, TokenUser, user, sizeof user, &size)) {
    const uint8_t* sid = static_cast<const uint8_t*>(reinterpret_cast<TOKEN_USER*>(user)->User.Sid);
    if (sid >= user && sid < user + size)
      built = BuildPrivateFolderDescriptor(sid, static_cast<size_t>(user + size - sid), descriptor);
  }
  CloseHandle(token);
  return built;
}

// The path being removed: the folder, with the name being looked at behind
// it.  One buffer for the whole walk, so that a deep tree costs the stack
// only a search record per level.
char RemovalPath[kPathBufferSize];

// RemovalPath[0, length) is a folder path ending in a backslash.
void RemoveTree(size_t length) {
  if (length + 2 > sizeof RemovalPath) return;
  lstrcpyA(RemovalPath + length, "*");
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA(RemovalPath, &found);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      const char* name = found.cFileName;
      if (name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'))) continue;
      const size_t nameLength = static_cast<size_t>(lstrlenA(name));
      if (length + nameLength + 2 > sizeof RemovalPath) continue;  // not made by us: too long for the stub's paths
      CopyMemory(RemovalPath + length, name, nameLength + 1);
      const DWORD attributes = found.dwFileAttributes;
      const bool folder = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
      if (folder && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) {
        RemovalPath[length + nameLength] = '\\';
        RemoveTree(length + nameLength + 1);
        continue;
      }
      if ((attributes & FILE_ATTRIBUTE_READONLY) != 0)
        SetFileAttributesA(RemovalPath, attributes & ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY));
      // A link to a folder goes with RemoveDirectoryA, which removes the link alone.
      if (!(folder ? RemoveDirectoryA(RemovalPath) : DeleteFileA(RemovalPath)))
        LogLine(kLogLeft, RemovalPath);
    } while (FindNextFileA(search, &found));
    FindClose(search);
  }
  RemovalPath[length] = '\0';
  if (!RemoveDirectoryA(RemovalPath)) LogLine(kLogLeft, RemovalPath);
}

}  // namespace

bool CreatePrivateFolder(char* folder) {
  const int parentLength = lstrlenA(folder);
  if (parentLength + kFolderNameLength >= static_cast<int>(kPathBufferSize)) return false;
  uint8_t descriptor[kPrivateFolderDescriptorCapacity];
  if (BuildDescriptor(descriptor) == 0) return false;
  SECURITY_ATTRIBUTES attributes;
  attributes.nLength = sizeof attributes;
  attributes.lpSecurityDescriptor = descriptor;
  attributes.bInheritHandle = FALSE;
  for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
    DWORD random[2];
    if (!RtlGenRandom(random, sizeof random)) return false;
    wsprintfA(folder + parentLength, "kaito-%08lx%08lx", random[0], random[1]);
    if (CreateDirectoryA(folder, &attributes)) {
      lstrcatA(folder, "\\");
      return true;
    }
    if (GetLastError() != ERROR_ALREADY_EXISTS) break;
  }
  folder[parentLength] = '\0';
  return false;
}

void RemovePrivateFolder(const char* folder) {
  lstrcpynA(RemovalPath, folder, sizeof RemovalPath);
  RemoveTree(static_cast<size_t>(lstrlenA(RemovalPath)));
}
