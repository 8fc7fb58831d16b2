#include "tools/cli/cli_support.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

#include "tools/cli/commands.h"
#include "tools/cli/file_kind.h"
#include "tools/cli/host_platform.h"
#include "tools/cli/utf8_text.h"

std::filesystem::path PathFromUtf8(const std::string& text) { return std::filesystem::u8path(text); }
std::string PathToUtf8(const std::filesystem::path& path) { return path.u8string(); }

std::string SystemErrorText() { return errno != 0 ? std::strerror(errno) : "unknown error"; }

std::vector<uint8_t> ReadWholeFile(const std::filesystem::path& path) {
  std::string notFile = NotRegularFileReason(path);
  if (!notFile.empty()) throw CommandFailure("cannot read " + PathToUtf8(path) + ": " + notFile);
  errno = 0;
  std::ifstream in(path, std::ios::binary);
  if (!in) throw CommandFailure("cannot read " + PathToUtf8(path) + ": " + SystemErrorText());
  in.seekg(0, std::ios::end);
  std::streamoff size = in.tellg();
  in.seekg(0, std::ios::beg);
  if (size < 0) throw CommandFailure("cannot read " + PathToUtf8(path));
  // Nothing of 2 GiB or more fits a self-extracting file.
  if (size > 0x7FFFFFFF) throw CommandFailure(PathToUtf8(path) + ": too large (2 GiB or more)");
  std::vector<uint8_t> data(static_cast<size_t>(size));
  if (size > 0 && !in.read(reinterpret_cast<char*>(data.data()), static_cast<std::streamsize>(size)))
    throw CommandFailure("cannot read " + PathToUtf8(path) + ": " + SystemErrorText());
  return data;
}

std::string ReadStandardInput() {
#ifdef _WIN32
  // Lists are bytes: no CR-LF translation, no end at Ctrl-Z.
  _setmode(_fileno(stdin), _O_BINARY);
#endif
  std::string text;
  char buffer[65536];
  size_t got = 0;
  while ((got = std::fread(buffer, 1, sizeof buffer, stdin)) > 0) text.append(buffer, got);
  return text;
}

bool FinishOutput() { return std::fflush(stdout) == 0 && std::ferror(stdout) == 0; }

void ProgressBar::Show(uint64_t done, const std::string& label) {
  if (!enabled_) return;
  auto now = std::chrono::steady_clock::now();
  if (drawn_ && now - last_ < std::chrono::milliseconds(100) && done < total_) return;
  last_ = now;
  constexpr int kWidth = 30;
  int percent = total_ == 0 ? 100 : static_cast<int>(done * 100 / total_);
  int filled = percent * kWidth / 100;
  std::string shown = ForTerminal(label);
  if (shown.size() > 40) {
    size_t from = shown.size() - 37;
    while (from < shown.size() && (static_cast<unsigned char>(shown[from]) & 0xC0) == 0x80) ++from;
    shown = "..." + shown.substr(from);
  }
  std::string line = "\r[" + std::string(static_cast<size_t>(filled), '#') +
                     std::string(static_cast<size_t>(kWidth - filled), ' ') + "] " + std::to_string(percent) +
                     "% " + shown + "\x1b[K";
  WriteErr(line);
  drawn_ = true;
}

void ProgressBar::Clear() {
  if (!drawn_) return;
  WriteErr("\r\x1b[K");
  drawn_ = false;
}

namespace {

std::string HexByte(unsigned char c) {
  char hex[8];
  std::snprintf(hex, sizeof hex, "\\x%02X", c);
  return hex;
}

}  // namespace

std::string NameForDisplay(const std::string& cp932) {
  std::string utf8;
  if (Cp932ToUtf8(cp932, &utf8)) return ForTerminal(utf8);
  std::string shown;
  for (unsigned char c : cp932) shown += c >= 0x20 && c < 0x7F ? std::string(1, static_cast<char>(c)) : HexByte(c);
  return shown;
}

std::string ForTerminal(const std::string& text) {
  std::string shown;
  ForEachCharacter(text, [&](bool valid, uint32_t c, size_t start, size_t length) {
    if (valid && c >= 0x20 && c != 0x7F && (c < 0x80 || c > 0x9F))
      shown.append(text, start, length);
    else
      for (size_t k = start; k < start + length; ++k) shown += HexByte(static_cast<unsigned char>(text[k]));
  });
  return shown;
}

std::string CountOf(uint64_t count, const std::string& noun) {
  return std::to_string(count) + " " + noun + (count == 1 ? "" : "s");
}

bool SplitOption(const std::string& arg, std::string* name, std::string* value) {
  size_t equals = arg.find('=');
  bool isLong = arg.rfind("--", 0) == 0;
  if (isLong && equals != std::string::npos) {
    *name = arg.substr(0, equals);
    *value = arg.substr(equals + 1);
    return true;
  }
  *name = arg;
  value->clear();
  return false;
}

std::string ArgumentReader::Value(const std::string& option) {
  std::string name, value;
  if (SplitOption(option, &name, &value)) return value;
  if (Done()) throw UsageFailure(option + " needs a value");
  return Next();
}
