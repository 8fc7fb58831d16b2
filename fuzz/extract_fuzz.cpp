// `kaito extract` on any archive bytes behind a valid stub writes nothing
// outside its destination folder, never through a link that was already
// there, refuses with its own failure (never another exception), and when it
// reports success every entry is on disk with exactly its content.
//
// Input: byte 0 flags (bit 0 as in sfx_image.h; bit 1 passes --overwrite;
// bit 2 fills the destination first with links that lead outside it and with
// a file named like the sample's first entry), then the archive bytes.
#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <new>
#include <set>
#include <string>
#include <vector>

#include "archive/host_parser.h"
#include "archive/block/block_decoder.h"
#include "archive/block/block_format.h"
#include "fuzz/decoder_oracle.h"
#include "fuzz/fuzz_target.h"
#include "fuzz/sfx_image.h"
#include "tools/cli/cli_support.h"
#include "tools/cli/commands.h"
#include "tools/cli/host_platform.h"

namespace fs = std::filesystem;

// This program embeds no stub: extract never needs one.
const unsigned char kEmbeddedStub[] = {0};
const unsigned long kEmbeddedStubSize = 0;

namespace {

constexpr uint8_t kOverwriteFlag = 2;
constexpr uint8_t kPlantLinksFlag = 4;
constexpr const char* kOutsideContent = "outside the destination: never touched\n";

// The scratch folder, made once per process:
//   root/input.exe         the self-extracting file of the current input
//   root/outside/keep.txt  what a link in the destination leads to
//   root/dest/             the destination, emptied after every input
struct Scratch {
  fs::path root, input, outside, keep, dest;
};

const Scratch& TheScratch() {
  static Scratch scratch = [] {
    char pattern[] = "/tmp/kaito-fuzz-extract-XXXXXX";
    FUZZ_CHECK(mkdtemp(pattern) != nullptr);
    Scratch s;
    s.root = pattern;
    s.input = s.root / "input.exe";
    s.outside = s.root / "outside";
    s.keep = s.outside / "keep.txt";
    s.dest = s.root / "dest";
    fs::create_directory(s.outside);
    std::ofstream(s.keep) << kOutsideContent;
    return s;
  }();
  // Registered once the scratch exists, so it runs before the scratch is destroyed.
  static const bool removedAtExit = std::atexit([] { fs::remove_all(TheScratch().root); }) == 0;
  (void)removedAtExit;
  return scratch;
}

std::string ReadText(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteBytes(const fs::path& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  FUZZ_CHECK(out.good());
}

void PlantLinks(const Scratch& s) {
  fs::create_directory_symlink(s.outside, s.dest / "s");
  fs::create_symlink(s.keep, s.dest / "f");
  std::ofstream(s.dest / "readme.txt") << "already here\n";
}

// Everything in the scratch folder outside the destination is as it was.
void CheckOutsideUntouched(const Scratch& s) {
  std::set<fs::path> found;
  for (auto it = fs::recursive_directory_iterator(s.root); it != fs::recursive_directory_iterator(); ++it) {
    if (it->path() == s.dest) {
      it.disable_recursion_pending();
      continue;
    }
    found.insert(it->path());
  }
  FUZZ_CHECK((found == std::set<fs::path>{s.input, s.outside, s.keep}));
  FUZZ_CHECK(ReadText(s.keep) == kOutsideContent);
}

// The extract command makes folders and regular files only.
void CheckNoNewLinks(const Scratch& s, bool planted) {
  for (auto it = fs::recursive_directory_iterator(s.dest); it != fs::recursive_directory_iterator(); ++it) {
    if (!it->is_symlink()) continue;
    FUZZ_CHECK(planted && (it->path() == s.dest / "s" || it->path() == s.dest / "f"));
  }
}

struct ExpectedFile {
  std::string cp932Name;
  std::vector<uint8_t> content;
};

bool ReadImage(void* context, uint32_t offset, void* buffer, uint32_t size) {
  const auto* bytes = static_cast<const std::vector<uint8_t>*>(context);
  if (uint64_t{offset} + size > bytes->size()) return false;
  std::memcpy(buffer, bytes->data() + offset, size);
  return true;
}

// Reads the archive as the host tools do.  False when some block declares
// more output than the fuzzer should write; otherwise `files` holds what a
// successful extraction must leave (it stops at the first refusal).
bool ExpectedFiles(const SfxImage& image, std::vector<ExpectedFile>* files) {
  ArchiveSource source{ReadImage, const_cast<std::vector<uint8_t>*>(&image.bytes), image.bytes.size()};
  ArchiveParser parser;
  ParseError error;
  if (!OpenArchiveParser(source, image.locator, &parser, &error)) return true;
  for (uint32_t i = 0; i < parser.header.entryCount; ++i) {
    ParsedEntry entry;
    if (!NextEntry(&parser, IsShiftJisLeadByte, &entry, &error)) return true;
    const uint8_t* data = image.bytes.data() + entry.dataOffset;
    ExpectedFile file{std::string(reinterpret_cast<const char*>(entry.name), entry.nameLength), {}};
    if (EntryIsStored(entry.header)) {
      file.content.assign(data, data + entry.dataSize);
    } else {
      if (entry.dataSize >= kBlockHeaderSize && LoadU32(data + 4) > kFuzzMaxDecodedSize) return false;
      uint8_t* decoded = nullptr;
      uint32_t decodedSize = 0;
      if (DecodeBlock(data, entry.dataSize, &decoded, &decodedSize, nullptr, 0) != DecodeOk) return true;
      file.content.assign(decoded, decoded + decodedSize);
      FreeBlock(decoded);
    }
    files->push_back(std::move(file));
  }
  return true;
}

// Where a stored name lands: its parts below the destination, empty and "."
// parts dropped.
fs::path LandingPath(const fs::path& dest, const std::string& utf8Name) {
  fs::path path = dest;
  size_t start = 0;
  for (size_t i = 0; i <= utf8Name.size(); ++i) {
    if (i == utf8Name.size() || utf8Name[i] == '\\' || utf8Name[i] == '/') {
      std::string part = utf8Name.substr(start, i - start);
      if (!part.empty() && part != ".") path /= fs::u8path(part);
      start = i + 1;
    }
  }
  return path;
}

// Runs the command with its standard output (the summary line) discarded.
enum class Outcome { Success, Refused };
Outcome RunQuietly(const std::vector<std::string>& args) {
  std::fflush(stdout);
  const int saved = dup(STDOUT_FILENO);
  const int devNull = open("/dev/null", O_WRONLY);
  dup2(devNull, STDOUT_FILENO);
  Outcome outcome = Outcome::Refused;
  const char* unexpected = nullptr;
  std::string message;
  try {
    FUZZ_CHECK(RunExtract(args) == 0);
    outcome = Outcome::Success;
  } catch (const CommandFailure& failure) {
    FUZZ_CHECK(failure.what()[0] != '\0');
  } catch (const UsageFailure& failure) {
    unexpected = "usage failure";
    message = failure.what();
  } catch (const std::exception& failure) {
    unexpected = "exception other than a command failure";
    message = failure.what();
  }
  std::fflush(stdout);
  dup2(saved, STDOUT_FILENO);
  close(saved);
  close(devNull);
  if (unexpected != nullptr) std::fprintf(stderr, "extract: %s: %s\n", unexpected, message.c_str());
  FUZZ_CHECK(unexpected == nullptr);
  return outcome;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  SfxImage image;
  if (!SfxImageFromInput(data, size, &image)) return 0;
  std::vector<ExpectedFile> expected;
  if (!ExpectedFiles(image, &expected)) return 0;

  const Scratch& s = TheScratch();
  WriteBytes(s.input, image.bytes);
  fs::remove_all(s.dest);
  fs::create_directory(s.dest);
  const bool planted = (image.flags & kPlantLinksFlag) != 0;
  if (planted) PlantLinks(s);

  std::vector<std::string> args{s.input.string(), "-C", s.dest.string(), "--quiet"};
  if (image.flags & kOverwriteFlag) args.push_back("--overwrite");
  const Outcome outcome = RunQuietly(args);

  CheckOutsideUntouched(s);
  CheckNoNewLinks(s, planted);
  if (outcome == Outcome::Success) {
    for (const ExpectedFile& file : expected) {
      std::string utf8;
      FUZZ_CHECK(Cp932ToUtf8(file.cp932Name, &utf8));
      const fs::path path = LandingPath(s.dest, utf8);
      FUZZ_CHECK(fs::is_regular_file(fs::symlink_status(path)));
      FUZZ_CHECK(ReadText(path) == std::string(file.content.begin(), file.content.end()));
    }
  }
  fs::remove_all(s.dest);
  return 0;
}
