// A Win32 handle that closes itself.  Both "no handle" values the system
// uses, NULL and INVALID_HANDLE_VALUE, count as empty, so a failed CreateFileA
// and a never-opened handle are treated alike.  Close() releases at once:
// code that publishes an outcome closes first, so whoever sees the outcome
// finds every handle closed.
#pragma once

#include <windows.h>

class ScopedHandle {
 public:
  ScopedHandle() = default;
  explicit ScopedHandle(HANDLE handle) : handle_(handle) {}
  ~ScopedHandle() { Close(); }
  ScopedHandle(const ScopedHandle&) = delete;
  ScopedHandle& operator=(const ScopedHandle&) = delete;

  HANDLE Get() const { return handle_; }
  bool IsOpen() const { return handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE; }

  // Closes the handle held, if any, and takes `handle` instead.
  void Reset(HANDLE handle) {
    Close();
    handle_ = handle;
  }

  void Close() {
    if (IsOpen()) CloseHandle(handle_);
    handle_ = nullptr;
  }

 private:
  HANDLE handle_ = nullptr;
};
