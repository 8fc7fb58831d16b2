// A test buffer whose last byte sits right before an inaccessible page, so a
// read or write even one byte past its end faults at once (natively mmap +
// mprotect, in Win32 VirtualAlloc + VirtualProtect).  Bytes before the start
// share the first page and are not guarded.
//
//   testsupport::GuardedBuffer guarded(block);   // copies `block`
//   DecodeBlock(guarded.data(), guarded.size(), ...);
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/mman.h>
#include <unistd.h>
#endif

namespace testsupport {

class GuardedBuffer {
 public:
  explicit GuardedBuffer(size_t size) : size_(size) {
    size_t page = PageSize();
    size_t dataPages = (size + page - 1) / page;
    mappedSize_ = (dataPages + 1) * page;
#ifdef _WIN32
    base_ = static_cast<uint8_t*>(VirtualAlloc(nullptr, mappedSize_, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
    DWORD old = 0;
    if (base_ == nullptr || !VirtualProtect(base_ + dataPages * page, page, PAGE_NOACCESS, &old)) std::abort();
#else
    void* mapped = mmap(nullptr, mappedSize_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapped == MAP_FAILED) std::abort();
    base_ = static_cast<uint8_t*>(mapped);
    if (mprotect(base_ + dataPages * page, page, PROT_NONE) != 0) std::abort();
#endif
    data_ = base_ + dataPages * page - size;
  }

  explicit GuardedBuffer(const std::vector<uint8_t>& bytes) : GuardedBuffer(bytes.size()) {
    if (!bytes.empty()) std::memcpy(data_, bytes.data(), bytes.size());
  }

  ~GuardedBuffer() {
#ifdef _WIN32
    VirtualFree(base_, 0, MEM_RELEASE);
#else
    munmap(base_, mappedSize_);
#endif
  }

  GuardedBuffer(const GuardedBuffer&) = delete;
  GuardedBuffer& operator=(const GuardedBuffer&) = delete;

  uint8_t* data() { return data_; }
  size_t size() const { return size_; }

 private:
  static size_t PageSize() {
#ifdef _WIN32
    SYSTEM_INFO info;
    GetSystemInfo(&info);
    return info.dwPageSize;
#else
    return static_cast<size_t>(sysconf(_SC_PAGESIZE));
#endif
  }

  uint8_t* base_ = nullptr;
  uint8_t* data_ = nullptr;
  size_t size_ = 0;
  size_t mappedSize_ = 0;
};

}  // namespace testsupport
