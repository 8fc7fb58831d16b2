#include "worker_calls.h"

#include <cstdint>
#include <set>

#include "import_hook.h"

namespace {

using CreateFileAFn = HANDLE(WINAPI*)(LPCSTR, DWORD, DWORD, LPSECURITY_ATTRIBUTES, DWORD, DWORD, HANDLE);
using ReadFileFn = BOOL(WINAPI*)(HANDLE, LPVOID, DWORD, LPDWORD, LPOVERLAPPED);
using WriteFileFn = BOOL(WINAPI*)(HANDLE, LPCVOID, DWORD, LPDWORD, LPOVERLAPPED);
using SetFileTimeFn = BOOL(WINAPI*)(HANDLE, const FILETIME*, const FILETIME*, const FILETIME*);
using FindFirstFileAFn = HANDLE(WINAPI*)(LPCSTR, LPWIN32_FIND_DATAA);
using CreateDirectoryAFn = BOOL(WINAPI*)(LPCSTR, LPSECURITY_ATTRIBUTES);
using HeapAllocFn = LPVOID(WINAPI*)(HANDLE, DWORD, SIZE_T);
using HeapFreeFn = BOOL(WINAPI*)(HANDLE, DWORD, LPVOID);
using ThreadStart = void(__cdecl*)(void*);
using BeginThreadFn = uintptr_t(__cdecl*)(ThreadStart, unsigned, void*);

CreateFileAFn g_createFileA;
ReadFileFn g_readFile;
WriteFileFn g_writeFile;
SetFileTimeFn g_setFileTime;
HeapAllocFn g_heapAlloc;
HeapFreeFn g_heapFree;
FindFirstFileAFn g_findFirstFileA;
CreateDirectoryAFn g_createDirectoryA;
BeginThreadFn g_beginThread;

CallScript g_script;
WorkerCallRecord g_record;
int g_zeroedAllocs = 0;

volatile DWORD g_workerThreadId = 0;
HANDLE g_workerThread = nullptr;
HANDLE g_started = nullptr;
HANDLE g_returned = nullptr;
HANDLE g_release = nullptr;
ThreadStart g_start = nullptr;
void* g_startArgument = nullptr;

bool OnWorker() { return g_workerThreadId != 0 && GetCurrentThreadId() == g_workerThreadId; }
void PressAbort() { g_extractStatus.CancelRequested.store(1, std::memory_order_release); }

HANDLE WINAPI HookedCreateFileA(LPCSTR path, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
                                DWORD disposition, DWORD flags, HANDLE templateFile) {
  HANDLE handle = g_createFileA(path, access, share, security, disposition, flags, templateFile);
  if (OnWorker()) {
    DWORD error = GetLastError();
    bool first = g_record.creates.empty();
    g_record.creates.push_back({path, access, share, disposition,
                                security != nullptr && security->bInheritHandle,
                                handle != INVALID_HANDLE_VALUE});
    if (first && g_script.cancelAtArchiveOpen && handle != INVALID_HANDLE_VALUE) PressAbort();
    SetLastError(error);
  }
  return handle;
}

BOOL WINAPI HookedReadFile(HANDLE file, LPVOID buffer, DWORD size, LPDWORD got, LPOVERLAPPED overlapped) {
  if (!OnWorker()) return g_readFile(file, buffer, size, got, overlapped);
  int call = ++g_record.reads;
  if (call == g_script.failReadAt) {
    if (got != nullptr) *got = 0;
    SetLastError(ERROR_CRC);
    return FALSE;
  }
  BOOL ok = g_readFile(file, buffer, size, got, overlapped);
  if (ok && call == g_script.cancelAtRead) PressAbort();
  return ok;
}

BOOL WINAPI HookedWriteFile(HANDLE file, LPCVOID data, DWORD size, LPDWORD written, LPOVERLAPPED overlapped) {
  if (!OnWorker()) return g_writeFile(file, data, size, written, overlapped);
  int call = ++g_record.writes;
  if (call == g_script.failWriteAt) {
    if (written != nullptr) *written = 0;
    SetLastError(ERROR_DISK_FULL);
    return FALSE;
  }
  if (call == g_script.shortWriteAt) return g_writeFile(file, data, size / 2, written, overlapped);
  return g_writeFile(file, data, size, written, overlapped);
}

BOOL WINAPI HookedSetFileTime(HANDLE file, const FILETIME* creation, const FILETIME* lastAccess,
                              const FILETIME* lastWrite) {
  if (OnWorker()) {
    FileTimeCall call{};
    if (creation != nullptr) call.creation = *creation;
    if (lastAccess != nullptr) call.lastAccess = *lastAccess;
    if (lastWrite != nullptr) call.lastWrite = *lastWrite;
    g_record.fileTimes.push_back(call);
  }
  return g_setFileTime(file, creation, lastAccess, lastWrite);
}

HANDLE WINAPI HookedFindFirstFileA(LPCSTR path, LPWIN32_FIND_DATAA found) {
  if (OnWorker()) g_record.folderLookups.push_back(path);
  return g_findFirstFileA(path, found);
}

BOOL WINAPI HookedCreateDirectoryA(LPCSTR path, LPSECURITY_ATTRIBUTES security) {
  if (OnWorker()) g_record.folderCreates.push_back(path);
  return g_createDirectoryA(path, security);
}

// The process-heap blocks this program has taken through its own HeapAlloc
// import and not yet given back.  Counted here rather than by walking the
// heap, where the system's own per-thread blocks come and go with the
// timing of a thread's end.
CRITICAL_SECTION g_liveBlocksLock;
std::set<void*>* g_liveBlocks;

void TrackBlock(HANDLE heap, void* block, bool live) {
  if (heap != GetProcessHeap() || block == nullptr) return;
  EnterCriticalSection(&g_liveBlocksLock);
  if (live) g_liveBlocks->insert(block);
  else g_liveBlocks->erase(block);
  LeaveCriticalSection(&g_liveBlocksLock);
}

LPVOID WINAPI HookedHeapAlloc(HANDLE heap, DWORD flags, SIZE_T size) {
  if (OnWorker() && (flags & HEAP_ZERO_MEMORY) != 0 && ++g_zeroedAllocs == g_script.failZeroedAllocAt) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  void* block = g_heapAlloc(heap, flags, size);
  TrackBlock(heap, block, true);
  return block;
}

BOOL WINAPI HookedHeapFree(HANDLE heap, DWORD flags, LPVOID block) {
  TrackBlock(heap, block, false);
  return g_heapFree(heap, flags, block);
}

void __cdecl TrackedThreadStart(void*) {
  g_workerThreadId = GetCurrentThreadId();
  g_workerThread = OpenThread(SYNCHRONIZE, FALSE, g_workerThreadId);
  SetEvent(g_started);
  g_start(g_startArgument);
  SetEvent(g_returned);
  WaitForSingleObject(g_release, INFINITE);
}

uintptr_t __cdecl HookedBeginThread(ThreadStart start, unsigned stackSize, void* argument) {
  g_record.threadStackSize = stackSize;
  g_record.threadArgument = argument != nullptr;
  g_start = start;
  g_startArgument = argument;
  uintptr_t thread = g_beginThread(TrackedThreadStart, stackSize, nullptr);
  if (thread != static_cast<uintptr_t>(-1)) WaitForSingleObject(g_started, INFINITE);
  return thread;
}

template <typename Fn>
void Hook(const char* dll, const char* name, void* replacement, Fn* original) {
  *original = reinterpret_cast<Fn>(HookImport(dll, name, replacement));
  if (*original == nullptr) {
    // A missing import means the tests would watch nothing: stop loudly.
    MessageBoxA(nullptr, name, "import not found", MB_OK);
    ExitProcess(3);
  }
}

}  // namespace

void InstallWorkerHooks() {
  if (g_createFileA != nullptr) return;
  InitializeCriticalSection(&g_liveBlocksLock);
  g_liveBlocks = new std::set<void*>;
  g_started = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  g_returned = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  g_release = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  Hook("kernel32.dll", "CreateFileA", reinterpret_cast<void*>(HookedCreateFileA), &g_createFileA);
  Hook("kernel32.dll", "ReadFile", reinterpret_cast<void*>(HookedReadFile), &g_readFile);
  Hook("kernel32.dll", "WriteFile", reinterpret_cast<void*>(HookedWriteFile), &g_writeFile);
  Hook("kernel32.dll", "SetFileTime", reinterpret_cast<void*>(HookedSetFileTime), &g_setFileTime);
  Hook("kernel32.dll", "HeapAlloc", reinterpret_cast<void*>(HookedHeapAlloc), &g_heapAlloc);
  Hook("kernel32.dll", "HeapFree", reinterpret_cast<void*>(HookedHeapFree), &g_heapFree);
  Hook("kernel32.dll", "FindFirstFileA", reinterpret_cast<void*>(HookedFindFirstFileA), &g_findFirstFileA);
  Hook("kernel32.dll", "CreateDirectoryA", reinterpret_cast<void*>(HookedCreateDirectoryA), &g_createDirectoryA);
  Hook("msvcrt.dll", "_beginthread", reinterpret_cast<void*>(HookedBeginThread), &g_beginThread);
}

void BeginWorkerRun(const CallScript& script) {
  g_script = script;
  g_record = WorkerCallRecord();
  g_zeroedAllocs = 0;
}

const WorkerCallRecord& WorkerCalls() { return g_record; }

long LiveHeapBlocks() {
  InstallWorkerHooks();
  EnterCriticalSection(&g_liveBlocksLock);
  long count = static_cast<long>(g_liveBlocks->size());
  LeaveCriticalSection(&g_liveBlocksLock);
  return count;
}

bool WaitForWorkerReturn(DWORD milliseconds) {
  return WaitForSingleObject(g_returned, milliseconds) == WAIT_OBJECT_0;
}

DWORD WorkerThreadId() { return g_workerThreadId; }

void ReleaseWorkerThread() {
  SetEvent(g_release);
  if (g_workerThread != nullptr) {
    WaitForSingleObject(g_workerThread, INFINITE);
    CloseHandle(g_workerThread);
  }
  g_workerThread = nullptr;
  g_workerThreadId = 0;
}
