// The log of a run, asked for with /L=FILE: lines appended to FILE, each
// behind the local date and time, so that a person can read what an
// unattended run did.  The log is written in the system's ANSI code page,
// the one the stub keeps every text and file name in: the names in it are
// byte for byte the ones the files were given, and Windows' own tools read a
// file without a byte order mark in that code page.
#pragma once

// The labels of the log's lines, in the order a run writes them.
inline constexpr char kLogStart[] = "start ";              // the stub's command line
inline constexpr char kLogDestination[] = "destination ";  // the folder extracted into
inline constexpr char kLogWrote[] = "wrote ";              // one line per file written
inline constexpr char kLogFollowUp[] = "follow-up ";       // the program's command line
inline constexpr char kLogNoJob[] = "no job: waiting for the program alone";
inline constexpr char kLogLeft[] = "left ";                // a wrapper's file or folder not removed
inline constexpr char kLogExitCode[] = "exit code ";       // the outcome: the number and its meaning

// Opens FILE for appending (shared, so that other programs may read or
// append too).  False when it cannot be opened.
bool OpenRunLog(const char* path);

// Appends "<date> <time> <label><text>" and a line break.  Does nothing when
// no log is open; a line that cannot be written is lost, never the run.
void LogLine(const char* label, const char* text);
