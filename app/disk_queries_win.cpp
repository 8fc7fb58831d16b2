#include "app/disk_queries.h"

DiskQueries RealDiskQueries() {
  DiskQueries queries;
  queries.GetTempPathA = ::GetTempPathA;
  queries.GetDriveTypeA = ::GetDriveTypeA;
  queries.GetLogicalDriveStringsA = ::GetLogicalDriveStringsA;
  queries.GetVersionExA = ::GetVersionExA;
  queries.LoadLibraryA = ::LoadLibraryA;
  queries.GetProcAddress = ::GetProcAddress;
  queries.FreeLibrary = ::FreeLibrary;
  queries.GetDiskFreeSpaceA = ::GetDiskFreeSpaceA;
  queries.MessageBoxA = ::MessageBoxA;
  return queries;
}

DiskQueries g_diskQueries = RealDiskQueries();
