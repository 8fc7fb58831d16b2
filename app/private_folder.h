// The installer wrapper's private folder: a new folder with an unpredictable
// name, made by the stub itself, that only the running user, SYSTEM and the
// Administrators may use; the wrapper extracts into it, runs its program
// there and removes it afterwards.
#pragma once

// `folder` holds a folder path ending in a backslash (the place picked for
// automatic mode) and room for kPathBufferSize bytes; on success it holds the
// new folder's path, ending in a backslash.  A name that exists already (a
// folder, a file or a link put there beforehand) is never used: another
// name is drawn.  False, with `folder` as it was, when no folder could be
// made (no room, no rights, a path too long).
bool CreatePrivateFolder(char* folder);

// Removes everything below `folder` (ending in a backslash) and the folder
// itself.  Links inside it are removed as links, never followed.  What cannot
// be removed (a file still in use) is left and named in the log.
void RemovePrivateFolder(const char* folder);
