// A program with its own locator resource, copied by locator_child_test with
// an archive appended and the resource patched.  It reads its own file
// through the unmodified entry points and reports by exit code:
//   summary          requiredSize, plus 0x10000000 when the automatic flag is 1;
//                    9000 when the flag was left unset
//   walk NAME DATA   0 when every entry reads and the first is NAME holding DATA;
//                    1000 + outcome when LocateArchive fails, 2000 + outcome when
//                    an entry fails, 3000 when the first entry differs
#include <windows.h>

#include <cstring>

#include "archive/stub_reader.h"

namespace {

constexpr int kAutomaticFlag = 0x10000000;

int Walk(const char* expectedName, const char* expectedData) {
  OpenArchive archive;
  ReaderOutcome outcome = LocateArchive(nullptr, &archive);
  if (outcome != ReaderOutcome::Ok) return 1000 + static_cast<int>(outcome);
  char followUpName[kFollowUpBufferSize], followUpArgs[kFollowUpBufferSize];
  ReadFollowUpStrings(&archive, followUpName, followUpArgs);
  int result = 0;
  for (uint32_t i = 0; i < archive.header.entryCount && result == 0; ++i) {
    EntryHeader entry;
    char name[kNameBufferSize];
    uint8_t* data = nullptr;
    outcome = ReadEntryHeader(&archive, &entry, name);
    if (outcome == ReaderOutcome::Ok) outcome = ReadEntryData(&archive, entry, &data);
    if (outcome != ReaderOutcome::Ok) {
      result = 2000 + static_cast<int>(outcome);
      break;
    }
    if (i == 0 && (std::strcmp(name, expectedName) != 0 || entry.dataSize != std::strlen(expectedData) ||
                   std::memcmp(data, expectedData, entry.dataSize) != 0))
      result = 3000;
    HeapFree(GetProcessHeap(), 0, data);
  }
  CloseArchive(&archive);
  return result;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 2 && std::strcmp(argv[1], "summary") == 0) {
    int automatic = 7;
    uint32_t required = ReadArchiveSummary(&automatic);
    if (automatic != 0 && automatic != 1) return 9000;  // the flag was not set
    return static_cast<int>(required) | (automatic == 1 ? kAutomaticFlag : 0);
  }
  if (argc >= 4 && std::strcmp(argv[1], "walk") == 0) return Walk(argv[2], argv[3]);
  return 9999;
}
