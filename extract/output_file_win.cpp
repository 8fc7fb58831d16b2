#include "extract/output_file.h"

#include <cstring>

#include "extract/extract_status.h"

namespace {

// The folder walk starts at the third byte, past a drive letter and colon, so
// the first backslash found there is the root's and the root is never examined.
constexpr size_t kWalkStart = 2;

bool HasBackslashByte(const char* text) { return std::strchr(text, '\\') != nullptr; }

// The folders of the last file made, as the leading part of its path up to
// and including the backslash behind its innermost folder.  They exist, or
// the run has ended, so the next file in them examines only the folders
// below.  A folder removed meanwhile fails the create, which then walks the
// whole path once more.
char g_knownFolders[kPathBufferSize];

// How many leading bytes of `path` are folders known to exist.
size_t KnownFolderLength(const char* path) {
  size_t length = std::strlen(g_knownFolders);
  if (length == 0 || std::strlen(path) < length) return 0;
  return std::memcmp(path, g_knownFolders, length) == 0 ? length : 0;
}

// Makes sure the folder `folder` exists: a folder passes, anything else by
// that name blocks it, and a missing one is created.  False after the alert.
bool EnsureFolder(const char* folder) {
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA(folder, &found);
  if (search != INVALID_HANDLE_VALUE) {
    FindClose(search);
    if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return true;
    RaiseAlert(AlertCode::FileBlocksFolder);
    return false;
  }
  if (CreateDirectoryA(folder, nullptr)) return true;
  RaiseAlert(AlertCode::CannotCreateFolder);
  return false;
}

// Examines every folder on the path from the outermost to the innermost: each
// backslash at a character boundary behind the first one closes a folder path.
// A double-byte character whose trail byte is 0x5C is stepped over whole, so
// that byte is never taken for a separator.  A path with no backslash at or
// after its third byte has no folder to examine.  Folders within the first
// `known` bytes (a path prefix ending in a backslash) are taken as they are.
bool MakeFoldersOnPath(const char* path, size_t known) {
  // The first character boundary at or after the third byte: for a drive path
  // that is the third byte itself.
  const char* p = path;
  while (*p != '\0' && p < path + kWalkStart) p = CharNextA(p);
  while (*p != '\0' && *p != '\\') p = CharNextA(p);
  if (*p == '\0') return true;
  p = CharNextA(p);

  char folder[kPathBufferSize];
  const char* innermost = nullptr;
  while (HasBackslashByte(p)) {
    if (*p == '\\') {
      size_t length = static_cast<size_t>(p - path);
      innermost = p;
      if (length < known) {
        p = CharNextA(p);
        continue;
      }
      std::memcpy(folder, path, length);
      folder[length] = '\0';
      if (!EnsureFolder(folder)) return false;
    }
    p = CharNextA(p);
  }
  if (innermost != nullptr) {
    size_t length = static_cast<size_t>(innermost - path) + 1;
    std::memcpy(g_knownFolders, path, length);
    g_knownFolders[length] = '\0';
  }
  return true;
}

// Opens the output path unshared, with an inheritable handle like the
// archive's own.  Filled field by field: an initializer list makes the
// compiler copy a template from a writable data section, which costs the
// stub a section.
HANDLE OpenOutputPath(const char* path, DWORD access, DWORD disposition) {
  SECURITY_ATTRIBUTES inheritable;
  inheritable.nLength = sizeof(SECURITY_ATTRIBUTES);
  inheritable.lpSecurityDescriptor = nullptr;
  inheritable.bInheritHandle = TRUE;
  return CreateFileA(path, access, 0, &inheritable, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
}

// Asks before an existing file is replaced.  The probe keeps the file open,
// unshared, while the question is on screen.  False when the user chose Abort.
bool ConfirmOverwrite(const char* path) {
  HANDLE probe = OpenOutputPath(path, GENERIC_READ, OPEN_EXISTING);
  if (probe == INVALID_HANDLE_VALUE) return true;  // no such file, or held by someone else
  lstrcpynA(g_extractStatus.OverwritePath, path, kPathBufferSize);
  RaiseAlert(AlertCode::AskOverwrite);
  CloseHandle(probe);
  switch (g_extractStatus.Answer) {
    case Abort:
      g_extractStatus.AbortAnswered = 1;
      return false;
    case OverwriteAll:
      SkipOverwritePrompt = 1;
      return true;
    default:  // Overwrite, and a question that failed to appear
      return true;
  }
}

void ClearReadOnly(const char* path) {
  DWORD attributes = GetFileAttributesA(path);
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0)
    SetFileAttributesA(path, attributes & ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY));
}

}  // namespace

HANDLE CreateOutputFile(const char* path) {
  // Every folder path is copied into a buffer of the path's own size limit.
  if (std::strlen(path) >= kPathBufferSize) return INVALID_HANDLE_VALUE;
  const size_t known = KnownFolderLength(path);
  g_knownFolders[0] = '\0';  // set again once the walk has succeeded
  if (!MakeFoldersOnPath(path, known)) return INVALID_HANDLE_VALUE;
  // A name that is still free is simply created: nothing to ask about and no
  // read-only mark to clear.  One lookup of the name instead of three (probe,
  // attributes, create), and the lookup of a missing name is the dear one:
  // Wine reads the whole folder for it, ignoring case.
  HANDLE file = OpenOutputPath(path, GENERIC_WRITE, CREATE_NEW);
  if (file == INVALID_HANDLE_VALUE && known != 0 && GetLastError() == ERROR_PATH_NOT_FOUND) {
    // A folder taken as known has gone: examine and make them all, as for a first file.
    if (!MakeFoldersOnPath(path, 0)) return INVALID_HANDLE_VALUE;
    file = OpenOutputPath(path, GENERIC_WRITE, CREATE_NEW);
  }
  if (file != INVALID_HANDLE_VALUE) return file;
  // The name is taken (or cannot be had new): the overwrite rules decide.
  if (SkipOverwritePrompt == 0 && !ConfirmOverwrite(path)) return INVALID_HANDLE_VALUE;
  ClearReadOnly(path);
  return OpenOutputPath(path, GENERIC_WRITE, CREATE_ALWAYS);
}
