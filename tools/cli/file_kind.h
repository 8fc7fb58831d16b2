// Messages that say what a file actually is when it is not what a command
// needs: a folder, a device, a plain Windows program without an archive.
#pragma once

#include <filesystem>
#include <string>

// "" for a regular file; otherwise "no such file", "is a folder", or "is not
// a regular file (a device, pipe or socket)".
std::string NotRegularFileReason(const std::filesystem::path& path);

// Why a file holds no archive, from FindLocatorResource's reason on the whole
// file: a file that is no Windows program keeps that reason; a Windows program
// is called one, so a user does not look for a damaged header.
std::string NoArchiveReason(const std::string& locatorError);

// A stub whose locator is still 0: nothing was ever appended to it.
extern const char* const kBareStubReason;
