// The worker raises one request at a time and waits for each acknowledgement
// with its payload unchanged, and the measures that the other tests rely on
// (handles, heap blocks, a message queue on the worker thread) do see what
// they are meant to see.
#include <gtest/gtest.h>

#include "dialog_side.h"
#include "test_archives.h"

namespace {

class Exchange : public ExtractTest {};

TEST_F(Exchange, WorkerWaitsForEachAcknowledgementWithItsPayloadUnchanged) {
  WriteWholeFile(dest_ + "b.txt", "old");
  UseArchive({StoredEntry("a.txt", "a"), CompressedEntry("b.txt", SampleContent(4000, 7))});
  bool payloadChanged = false;
  DialogScript script;
  script.answers = {Overwrite};
  script.beforeAcknowledge = [&](const ServedRequest& request, size_t) {
    Sleep(30);  // many turns of the worker's wait
    ServedRequest again = request;
    if (request.kind == ServedRequest::Percent) again = PercentRequest(g_extractStatus.Percent);
    if (request.kind == ServedRequest::Caption) again = CaptionRequest(g_extractStatus.EntryName);
    if (request.value == static_cast<int32_t>(AlertCode::AskOverwrite))
      again = AlertRequest(AlertCode::AskOverwrite, g_extractStatus.OverwritePath);
    if (!(again == request)) payloadChanged = true;
  };
  RunOutcome run = RunExtraction(script);
  EXPECT_EQ(run.result, ResultCode::Done);
  EXPECT_EQ(run.served.size(), 5u);
  EXPECT_FALSE(run.requestsOverlapped);
  EXPECT_FALSE(payloadChanged);
}

TEST_F(Exchange, ManyEntriesLeaveNoHandleNoHeapBlockAndNoMessageQueue) {
  std::vector<ArchiveInput> entries;
  for (int i = 0; i < 40; ++i) {
    std::string name = "f" + std::to_string(i % 4) + "\\e" + std::to_string(i) + ".bin";
    entries.push_back(i % 2 == 0 ? CompressedEntry(name, SampleContent(3000 + i * 50, i))
                                 : StoredEntry(name, SampleContent(100 + i, i)));
  }
  UseArchive(entries);
  RunOutcome run = RunExtraction(DialogScript());
  EXPECT_EQ(run.result, ResultCode::Done);
  EXPECT_EQ(run.served.size(), 80u);
  EXPECT_FALSE(run.requestsOverlapped);
  EXPECT_EQ(run.handleDelta, 0);
  EXPECT_EQ(run.heapBlockDelta, 0);
  EXPECT_FALSE(run.workerHadMessageQueue);
}

// Each request is served as the worker raises it; none may be lost or
// served out of turn when they follow each other at full speed.
TEST_F(Exchange, AThousandEntriesHaveEveryCaptionAndPercentServedInOrder) {
  constexpr int kEntries = 1000;
  std::vector<ArchiveInput> entries;
  std::vector<ServedRequest> expected;
  for (int i = 1; i <= kEntries; ++i) {
    const std::string name = "e" + std::to_string(i) + ".txt";
    entries.push_back(StoredEntry(name, std::to_string(i)));
    expected.push_back(CaptionRequest(name));
    expected.push_back(PercentRequest(MulDiv(i, 100, kEntries)));
  }
  UseArchive(entries);
  RunOutcome run = RunExtraction(DialogScript());
  EXPECT_EQ(run.result, ResultCode::Done);
  EXPECT_TRUE(run.finished);
  EXPECT_FALSE(run.requestsOverlapped);
  EXPECT_EQ(run.served, expected);
  EXPECT_EQ(ReadWholeFile(dest_ + "e1000.txt"), "1000");
}

TEST(Measures, SeeALeakedHandleAndHeapBlock) {
  long handles = CountProcessHandles();
  long blocks = CountBusyHeapBlocks();
  ASSERT_GT(handles, 0);
  HANDLE event = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  void* block = HeapAlloc(GetProcessHeap(), 0, 64);
  EXPECT_EQ(CountProcessHandles(), handles + 1);
  EXPECT_EQ(CountBusyHeapBlocks(), blocks + 1);
  HeapFree(GetProcessHeap(), 0, block);
  CloseHandle(event);
  EXPECT_EQ(CountProcessHandles(), handles);
  EXPECT_EQ(CountBusyHeapBlocks(), blocks);
}

DWORD WINAPI PeekOnce(void* ready) {
  MSG message;
  PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE);
  SetEvent(ready);
  Sleep(200);
  return 0;
}

DWORD WINAPI ComputeOnly(void* ready) {
  char next[] = "ab";
  CharNextA(next);  // the worker's one call into user32 needs no queue
  SetEvent(ready);
  Sleep(200);
  return 0;
}

TEST(Measures, SeeAMessageQueueOnlyWhereOneWasMade) {
  for (auto body : {PeekOnce, ComputeOnly}) {
    HANDLE ready = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    DWORD id = 0;
    HANDLE thread = CreateThread(nullptr, 0, body, ready, 0, &id);
    WaitForSingleObject(ready, INFINITE);
    EXPECT_EQ(ThreadHasMessageQueue(id), body == PeekOnce);
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
    CloseHandle(ready);
  }
}

}  // namespace
