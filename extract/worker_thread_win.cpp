#include "extract/worker_thread.h"

#include <process.h>

#include <cstdint>

#include "extract/extract_worker.h"

namespace {

// The runtime's thread start hands over one argument, which the worker does
// not take; returning from here is the runtime's ordinary thread end, which
// also closes the thread's handle.
void __cdecl RunExtractWorker(void*) { ExtractWorker(); }

}  // namespace

bool StartExtractWorker() {
  // Default stack size, no argument.
  return _beginthread(RunExtractWorker, 0, nullptr) != static_cast<uintptr_t>(-1);
}
