// A stand-in for the extraction worker, so the dialogs can be driven through
// every request and outcome on demand: a worker that plays a script instead
// of reading an archive, over the engine's real side of the exchange.
//
// Script steps, separated by ";":
//   c:NAME     caption request for entry NAME       p:N   percent request
//   o:PATH     overwrite question about PATH        a:N   alert N
//   k          a cancel check point: Cancelled when Abort was pressed
//   f:NAME     FollowUpName := NAME                 r:N   publish Result N
//   n:COUNT    COUNT entries "file<i>.txt": caption, check point, percent
//   s:MS       spin MS milliseconds (a slow file)
// The answers to every overwrite question are recorded for the host.
#include "scripted_exchange.h"

#include <windows.h>
#include <process.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "extract/extract_status.h"
#include "extract/extract_worker.h"

namespace {

std::string g_script;
bool g_failThreadStart = false;
std::string g_answers;

void Publish(ResultCode code) { PublishResult(code); }

void Copy(char* out, size_t size, const std::string& text) {
  std::memset(out, 0, size);
  std::strncpy(out, text.c_str(), size - 1);
}

// Plays the script; answers false when the run has ended.
bool Step(const std::string& step) {
  const std::string arg = step.size() > 2 ? step.substr(2) : std::string();
  switch (step[0]) {
    case 'c':
      Copy(g_extractStatus.EntryName, sizeof(g_extractStatus.EntryName), arg);
      RequestCaption();
      return true;
    case 'p':
      ReportPercent(std::atoi(arg.c_str()));
      return true;
    case 'o':
      Copy(g_extractStatus.OverwritePath, sizeof(g_extractStatus.OverwritePath), arg);
      RaiseAlert(AlertCode::AskOverwrite);
      g_answers += std::to_string(g_extractStatus.Answer) + ",";
      return true;
    case 'a':
      RaiseAlert(static_cast<AlertCode>(std::atoi(arg.c_str())));
      return true;
    case 'k':
      if (!TakeCancel()) return true;
      Publish(ResultCode::Cancelled);
      return false;
    case 'f':
      Copy(g_extractStatus.FollowUpName, sizeof(g_extractStatus.FollowUpName), arg);
      return true;
    case 'r':
      Publish(static_cast<ResultCode>(std::atoi(arg.c_str())));
      return false;
    case 'n': {
      const int count = std::atoi(arg.c_str());
      for (int i = 1; i <= count; ++i) {
        if (!Step("k")) return false;
        Copy(g_extractStatus.EntryName, sizeof(g_extractStatus.EntryName), "file" + std::to_string(i) + ".txt");
        RequestCaption();
        if (!Step("k")) return false;
        ReportPercent(MulDiv(i, 100, count));
      }
      return true;
    }
    case 's': {
      const DWORD start = GetTickCount();
      while (GetTickCount() - start < static_cast<DWORD>(std::atoi(arg.c_str()))) {
      }
      return true;
    }
    default:
      return true;
  }
}

void __cdecl WorkerThread(void*) {
  ExtractWorker();
  _endthread();
}

}  // namespace

void ExtractWorker() {
  size_t begin = 0;
  for (;;) {
    const size_t end = g_script.find(';', begin);
    const std::string step = g_script.substr(begin, end == std::string::npos ? std::string::npos : end - begin);
    if (!step.empty() && !Step(step)) return;
    if (end == std::string::npos) break;
    begin = end + 1;
  }
  Publish(ResultCode::Done);
}

bool StartExtractWorker() {
  if (g_failThreadStart) return false;
  return _beginthread(WorkerThread, 0, nullptr) != static_cast<uintptr_t>(-1);
}

void SetWorkerScript(const char* script) { g_script = script; }
void FailWorkerThreadStart() { g_failThreadStart = true; }
const std::string& OverwriteAnswers() { return g_answers; }
