// Where the stub lets the system look for libraries it loads by name.
#pragma once

// From here on, a library loaded by name comes from the system folder only,
// where the system supports that (Windows 8, Windows 7 with KB2533623);
// elsewhere the current folder is at least taken out of the search (XP SP1
// on).  Called first thing at the process entry.
void RestrictDllSearchToSystemFolder();
