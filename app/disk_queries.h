// The platform queries behind the automatic destination, gathered in one
// record of function pointers so tests can present any drive layout, system
// version and free space.  The program uses the real calls throughout.
#pragma once

#include <windows.h>

typedef BOOL(WINAPI* GetDiskFreeSpaceExAFunction)(LPCSTR root, PULARGE_INTEGER freeToCaller,
                                                  PULARGE_INTEGER totalBytes,
                                                  PULARGE_INTEGER totalFreeBytes);

struct DiskQueries {
  DWORD(WINAPI* GetTempPathA)(DWORD capacity, LPSTR buffer);
  UINT(WINAPI* GetDriveTypeA)(LPCSTR root);
  DWORD(WINAPI* GetLogicalDriveStringsA)(DWORD capacity, LPSTR buffer);
  BOOL(WINAPI* GetVersionExA)(LPOSVERSIONINFOA info);
  HMODULE(WINAPI* LoadLibraryA)(LPCSTR name);
  FARPROC(WINAPI* GetProcAddress)(HMODULE module, LPCSTR name);
  BOOL(WINAPI* FreeLibrary)(HMODULE module);
  BOOL(WINAPI* GetDiskFreeSpaceA)(LPCSTR root, LPDWORD sectorsPerCluster, LPDWORD bytesPerSector,
                                  LPDWORD freeClusters, LPDWORD totalClusters);
  int(WINAPI* MessageBoxA)(HWND owner, LPCSTR text, LPCSTR caption, UINT flags);
};

// The queries in use; starts out as RealDiskQueries().
extern DiskQueries g_diskQueries;

// The platform's own functions.
DiskQueries RealDiskQueries();
