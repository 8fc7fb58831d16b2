// Small pieces every kaito command shares: the failure type whose message
// becomes the one line on standard error, file reading and writing through
// std::filesystem paths (wide on Windows), and the progress bar.
#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

// A failure of the command; main prints "kaito: <message>" and exits with 1.
struct CommandFailure : std::runtime_error {
  using std::runtime_error::runtime_error;
};
// A wrong command line; main prints the message and a hint and exits with 2.
struct UsageFailure : std::runtime_error {
  using std::runtime_error::runtime_error;
};

std::filesystem::path PathFromUtf8(const std::string& text);
std::string PathToUtf8(const std::filesystem::path& path);

// The file's whole content; throws CommandFailure naming the file.
std::vector<uint8_t> ReadWholeFile(const std::filesystem::path& path);
// Everything on standard input, as bytes.
std::string ReadStandardInput();
// Flushes standard output; false (with errno set) when anything written to it
// was lost, such as on a full disk or a closed pipe.
bool FinishOutput();
// The text of the last system error, for messages.
std::string SystemErrorText();

// A one-line bar on standard error, redrawn at most ten times a second; does
// nothing unless enabled (standard error is a terminal and --quiet is absent).
class ProgressBar {
 public:
  ProgressBar(bool enabled, uint64_t total) : enabled_(enabled), total_(total) {}
  ~ProgressBar() { Clear(); }
  void Show(uint64_t done, const std::string& label);
  void Clear();

 private:
  bool enabled_;
  uint64_t total_;
  bool drawn_ = false;
  std::chrono::steady_clock::time_point last_{};
};

// Turns a code page 932 name into UTF-8 for messages; bytes that do not
// convert are shown as \xNN, and so are control characters (ForTerminal).
std::string NameForDisplay(const std::string& cp932);

// Text as it may reach a terminal: control characters (C0, DEL, C1) and
// bytes that are no UTF-8 become \xNN, so that a file name can neither move
// the cursor, recolour the terminal nor break a message into two lines.
std::string ForTerminal(const std::string& text);

// "1 file", "2 files": a count with its noun.
std::string CountOf(uint64_t count, const std::string& noun);
