#include <fcntl.h>
#include <iconv.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "tools/cli/host_platform.h"
#include "tools/cli/file_time.h"

namespace {

bool Convert(const char* to, const char* from, const std::string& in, std::string* out) {
  iconv_t cd = iconv_open(to, from);
  if (cd == reinterpret_cast<iconv_t>(-1)) return false;
  out->assign(in.size() * 4 + 16, '\0');
  char* inPtr = const_cast<char*>(in.data());
  size_t inLeft = in.size();
  char* outPtr = &(*out)[0];
  size_t outLeft = out->size();
  size_t result = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
  bool ok = result != static_cast<size_t>(-1) && inLeft == 0;
  // A conversion that had to approximate a character counts as a failure too.
  ok = ok && result == 0;
  iconv_close(cd);
  out->resize(out->size() - outLeft);
  return ok;
}

}  // namespace

bool Utf8ToCp932(const std::string& utf8, std::string* cp932) { return Convert("CP932", "UTF-8", utf8, cp932); }
bool Cp932ToUtf8(const std::string& cp932, std::string* utf8) { return Convert("UTF-8", "CP932", cp932, utf8); }

bool ReadFileTimes(const std::filesystem::path& path, FileTime* creation, FileTime* lastWrite) {
  struct statx info {};
  if (statx(AT_FDCWD, path.c_str(), 0, STATX_MTIME | STATX_BTIME, &info) != 0) return false;
  *lastWrite = FileTimeFromUnix(info.stx_mtime.tv_sec, info.stx_mtime.tv_nsec);
  *creation = (info.stx_mask & STATX_BTIME) != 0 ? FileTimeFromUnix(info.stx_btime.tv_sec, info.stx_btime.tv_nsec)
                                                 : *lastWrite;
  return true;
}

bool ApplyFileTimes(const std::filesystem::path& path, FileTime, FileTime lastWrite) {
  // Linux keeps no settable creation time; access and last-write take lastWrite.
  struct timespec times[2];
  UnixFromFileTime(lastWrite, &times[0].tv_sec, &times[0].tv_nsec);
  times[1] = times[0];
  return utimensat(AT_FDCWD, path.c_str(), times, 0) == 0;
}

bool StderrIsTerminal() { return isatty(STDERR_FILENO) != 0; }

void WriteOut(const std::string& text) { std::fwrite(text.data(), 1, text.size(), stdout); }
void WriteErr(const std::string& text) {
  std::fflush(stdout);
  std::fwrite(text.data(), 1, text.size(), stderr);
}

std::vector<std::string> ArgumentsAsUtf8(int argc, char** argv) { return std::vector<std::string>(argv + 1, argv + argc); }
