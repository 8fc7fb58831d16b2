#include <fcntl.h>
#include <iconv.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

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
  // Some file systems answer a birth time of 0 (1970) when they keep none.
  bool hasBirthTime = (info.stx_mask & STATX_BTIME) != 0 && (info.stx_btime.tv_sec != 0 || info.stx_btime.tv_nsec != 0);
  *creation = hasBirthTime ? FileTimeFromUnix(info.stx_btime.tv_sec, info.stx_btime.tv_nsec) : *lastWrite;
  return true;
}

bool ApplyFileTimes(const std::filesystem::path& path, FileTime, FileTime lastWrite) {
  // Linux keeps no settable creation time; access and last-write take lastWrite.
  struct timespec times[2];
  UnixFromFileTime(lastWrite, &times[0].tv_sec, &times[0].tv_nsec);
  times[1] = times[0];
  return utimensat(AT_FDCWD, path.c_str(), times, 0) == 0;
}

HostFile CreateHostFile(const std::filesystem::path& path, std::string* error) {
  int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0666);
  if (fd < 0) *error = std::strerror(errno);
  return fd < 0 ? kNoHostFile : fd;
}

bool WriteHostFile(HostFile file, const uint8_t* data, size_t size, std::string* error) {
  while (size > 0) {
    ssize_t written = write(static_cast<int>(file), data, size);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) {
      *error = written < 0 ? std::strerror(errno) : "nothing written";
      return false;
    }
    data += written;
    size -= static_cast<size_t>(written);
  }
  return true;
}

bool WriteHostFileAt(HostFile file, uint64_t offset, const uint8_t* data, size_t size, std::string* error) {
  while (size > 0) {
    ssize_t written = pwrite(static_cast<int>(file), data, size, static_cast<off_t>(offset));
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) {
      *error = written < 0 ? std::strerror(errno) : "nothing written";
      return false;
    }
    data += written;
    offset += static_cast<uint64_t>(written);
    size -= static_cast<size_t>(written);
  }
  return true;
}

bool CloseHostFile(HostFile file, std::string* error) {
  if (close(static_cast<int>(file)) == 0) return true;
  *error = std::strerror(errno);
  return false;
}

bool StderrIsTerminal() { return isatty(STDERR_FILENO) != 0; }

void WriteOut(const std::string& text) { std::fwrite(text.data(), 1, text.size(), stdout); }
void WriteErr(const std::string& text) {
  std::fflush(stdout);
  std::fwrite(text.data(), 1, text.size(), stderr);
}

std::vector<std::string> ArgumentsAsUtf8(int argc, char** argv) { return std::vector<std::string>(argv + 1, argv + argc); }
