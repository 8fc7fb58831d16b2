// What the kaito command needs of its host system, with one implementation per
// platform: name conversion to and from code page 932, file times, and text
// output to the terminal.  Everything else is portable C++17.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "archive/archive_format.h"

// UTF-8 <-> code page 932 (Shift-JIS with the Windows extensions).  False
// when a character has no counterpart.
bool Utf8ToCp932(const std::string& utf8, std::string* cp932);
bool Cp932ToUtf8(const std::string& cp932, std::string* utf8);

// Creation time where the file system keeps one, else the last-write time.
bool ReadFileTimes(const std::filesystem::path& path, FileTime* creation, FileTime* lastWrite);
// Sets the last-write (and last-access) time, and the creation time where the
// platform can.
bool ApplyFileTimes(const std::filesystem::path& path, FileTime creation, FileTime lastWrite);

// Plain output files: created empty (replacing a file of that name, never
// following a link there), written, closed; on failure *error says why.
// Windows opens them with delete sharing, so an interrupt can remove them
// while they are open.
using HostFile = intptr_t;
constexpr HostFile kNoHostFile = -1;
HostFile CreateHostFile(const std::filesystem::path& path, std::string* error);
bool WriteHostFile(HostFile file, const uint8_t* data, size_t size, std::string* error);
// Writes over bytes already written, at `offset`; the next WriteHostFile
// goes on where it would have without this call.
bool WriteHostFileAt(HostFile file, uint64_t offset, const uint8_t* data, size_t size, std::string* error);
bool CloseHostFile(HostFile file, std::string* error);

bool StderrIsTerminal();
// UTF-8 text to standard output or standard error, in the terminal's encoding.
void WriteOut(const std::string& text);
void WriteErr(const std::string& text);


// The program's arguments as UTF-8.
std::vector<std::string> ArgumentsAsUtf8(int argc, char** argv);
