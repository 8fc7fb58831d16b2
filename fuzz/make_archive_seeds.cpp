// Writes the seed inputs of the container, extract and pe_locator fuzz
// targets and the damaged archives that must be refused: whole
// self-extracting images made by the producer's writer around the fuzz stub
// (from the sample package and small synthetic files, at several levels, with
// and without a follow-up program), their truncated and bit-flipped variants,
// archives assembled field by field that break one rule each, and stub images.
// Deterministic, apart from the real stub's bytes, which come from build/bin.
//
// usage: make_archive_seeds FUZZ_FOLDER    (the source tree's fuzz/)
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "archive_bytes.h"
#include "fuzz/sfx_image.h"
#include "tools/archive_writer.h"

namespace fs = std::filesystem;

namespace {

fs::path g_fuzzFolder;

void Write(const std::string& folder, const std::string& name, const std::vector<uint8_t>& bytes) {
  fs::path path = g_fuzzFolder / folder / name;
  fs::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                              static_cast<std::streamsize>(bytes.size()));
}

std::vector<uint8_t> ReadPrefix(const fs::path& path, size_t limit) {
  std::ifstream in(path, std::ios::binary);
  std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (bytes.size() > limit) bytes.resize(limit);
  return bytes;
}

std::vector<uint8_t> Bytes(const std::string& text) { return std::vector<uint8_t>(text.begin(), text.end()); }

ArchiveInput Input(const std::string& name, std::vector<uint8_t> content) {
  ArchiveInput input;
  input.name = name;
  input.content = std::move(content);
  input.creationTime = {0x8C4A0000, 0x01D9A1B2};
  input.lastWriteTime = {0x9D5B1111, 0x01D9A1B3};
  return input;
}

struct Package {
  std::string name;
  std::vector<ArchiveInput> entries;
  ArchiveOptions options;
};

std::vector<Package> Packages(const fs::path& sample) {
  std::vector<Package> packages;
  Package real{"sample", {}, {}};
  real.entries.push_back(Input("readme.txt", ReadPrefix(sample / "readme.txt", 4096)));
  // "docs\説明書.txt" in code page 932.
  real.entries.push_back(Input("docs\\\x90\xe0\x96\xbe\x8f\x91.txt", ReadPrefix(sample / "docs" / "説明書.txt", 4096)));
  real.entries.push_back(Input("data\\words.txt", ReadPrefix(sample / "data" / "words.txt", 6000)));
  real.entries.push_back(Input("data\\empty.dat", {}));
  packages.push_back(real);

  Package stored{"stored", {}, {}};
  stored.options.level = kStoreLevel;
  stored.entries.push_back(Input("a.txt", Bytes("stored as it is\n")));
  stored.entries.push_back(Input("b\\c.bin", std::vector<uint8_t>(40, 0xAB)));
  packages.push_back(stored);

  Package followUp{"follow-up-automatic", {}, {}};
  followUp.options.automaticMode = true;
  followUp.options.followUpName = "setup.exe";
  followUp.options.followUpArgs = "/quiet";
  followUp.entries.push_back(Input("setup.exe", Bytes("MZ pretend program MZ pretend program")));
  packages.push_back(followUp);

  Package best{"level-9", {}, {}};
  best.options.level = kBestLevel;
  best.entries.push_back(Input("text.txt", Bytes("abcabcabcabcabc the quick brown fox jumps, abcabcabc")));
  packages.push_back(best);

  packages.push_back({"no-entries", {}, {}});
  return packages;
}

// Archives that break one rule each; every one must be refused.
std::vector<std::pair<std::string, ArchiveBytes>> DamagedArchives() {
  std::vector<std::pair<std::string, ArchiveBytes>> damaged;
  auto add = [&](const std::string& name, ArchiveBytes bytes) { damaged.emplace_back(name, std::move(bytes)); };
  auto stub = FuzzStub();
  auto header = [](uint16_t count, uint16_t nameLength = 0, uint16_t argsLength = 0) {
    return ArchiveBytes::MakeHeader(count, 0, 0, nameLength, argsLength);
  };
  auto oneEntry = [&](const std::string& name) {
    ArchiveBytes a(stub);
    a.Header(header(1)).Entry({name, "x"}).Trailer();
    return a;
  };
  add("parent-folder", oneEntry("..\\evil.txt"));
  add("parent-inside", oneEntry("a\\..\\..\\evil.txt"));
  add("dots-and-spaces", oneEntry(". .\\evil.txt"));
  add("leading-backslash", oneEntry("\\evil.txt"));
  add("leading-slash", oneEntry("/tmp/evil.txt"));
  add("drive", oneEntry("C:evil.txt"));
  add("stream", oneEntry("a.txt:stream"));
  add("zero-in-name", oneEntry(std::string("a\0b", 3)));
  add("name-520-bytes", oneEntry(std::string(520, 'n')));
  {
    ArchiveBytes a(stub);
    a.Header(header(1)).RawEntry(kStoredFlag, 1, "", "x").Trailer();
    add("name-length-0", std::move(a));
  }
  {
    ArchiveBytes a(stub);
    a.Header(header(2)).Entry({"only.txt", "x"}).Trailer();
    add("count-beyond-entries", std::move(a));
  }
  {
    ArchiveBytes a(stub);
    a.Header(header(1)).RawEntry(kStoredFlag | 5, 100, "a.txt", "short").Trailer();
    add("data-into-trailer", std::move(a));
  }
  {
    ArchiveBytes a(stub);
    ArchiveHeader h = header(0);
    h.magic = 0x5841;  // "AX"
    a.Header(h).Trailer();
    add("archive-magic", std::move(a));
  }
  {
    ArchiveBytes a(stub);
    ArchiveHeader h = header(0);
    h.headerSize = 17;
    a.Header(h).Trailer();
    add("header-size-17", std::move(a));
  }
  {
    ArchiveBytes a(stub);
    a.Header(header(0, 260)).Text(std::string(260, 'p')).Trailer();
    add("follow-up-260-bytes", std::move(a));
  }
  {
    // Arguments without a program: the first entry is read from them.
    ArchiveBytes a(stub);
    a.Header(header(1, 0, 5)).Text("/args").Entry({"a.txt", "x"}).Trailer();
    add("arguments-without-program", std::move(a));
  }
  {
    ArchiveBytes a(stub);
    a.Header(header(0)).Trailer(12345);
    add("trailer-differs", std::move(a));
  }
  {
    // A compressed entry whose one match reaches before the output's start.
    // Bits: 00 (literal 0), 1111111 0 00000100 (number 258: distance 2), 00 (length 3).
    std::string block = std::string("QZC\x1a", 4) + std::string("\x04\0\0\0\x03\0\0\0", 8) + std::string(256, '\0');
    block += std::string("\x3f\x81\x00", 3);
    ArchiveBytes a(stub);
    a.Header(header(1)).RawEntry(5, static_cast<uint32_t>(block.size()), "b.txt", block).Trailer();
    add("block-match-before-start", std::move(a));
  }
  return damaged;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_archive_seeds FUZZ_FOLDER\n");
    return 2;
  }
  g_fuzzFolder = argv[1];
  const fs::path sample = g_fuzzFolder.parent_path() / "sample" / "kaito-sample";
  std::mt19937 random(11);
  for (const Package& package : Packages(sample)) {
    std::vector<uint8_t> image;
    std::string error;
    if (!BuildSelfExtractingImage(FuzzStub(), package.entries, package.options, &image, &error)) {
      std::fprintf(stderr, "%s: %s\n", package.name.c_str(), error.c_str());
      return 1;
    }
    std::vector<uint8_t> input = InputFromSfxImage(image, 0);
    for (const char* target : {"container", "extract"}) {
      Write(std::string("corpus/") + target, package.name + ".sfx", input);
      if (input.size() < 8) continue;
      std::vector<uint8_t> cut(input.begin(), input.begin() + 1 + static_cast<std::ptrdiff_t>(random() % (input.size() - 1)));
      Write(std::string("corpus/") + target, package.name + "-truncated.sfx", cut);
      std::vector<uint8_t> flipped = input;
      flipped[1 + random() % (flipped.size() - 1)] ^= static_cast<uint8_t>(1u << (random() % 8));
      Write(std::string("corpus/") + target, package.name + "-flipped.sfx", flipped);
    }
  }
  // For extract: names that meet the links planted in the destination (flag
  // bit 2), with and without --overwrite (bit 1).
  for (const char* name : {"s\\through-link.txt", "f", "readme.txt"}) {
    std::vector<uint8_t> image;
    std::string error;
    BuildSelfExtractingImage(FuzzStub(), {Input(name, Bytes("must not land outside\n"))}, ArchiveOptions(),
                             &image, &error);
    const std::string base = std::string("link-") + (name[0] == 's' ? "folder" : name[0] == 'f' ? "file" : "existing");
    Write("corpus/extract", base + ".sfx", InputFromSfxImage(image, 4));
    Write("corpus/extract", base + "-overwrite.sfx", InputFromSfxImage(image, 4 | 2));
  }
  // For pe_locator: the real stub when it has been built, and the fuzz stub
  // whole, cut and scribbled.
  const fs::path realStub = g_fuzzFolder.parent_path() / "build" / "bin" / "kaito-stub.exe";
  if (fs::exists(realStub)) Write("corpus/pe_locator", "kaito-stub.exe", ReadPrefix(realStub, 1 << 20));
  const std::vector<uint8_t> stub = FuzzStub();
  Write("corpus/pe_locator", "fuzz-stub.exe", stub);
  Write("corpus/pe_locator", "fuzz-stub-cut.exe", std::vector<uint8_t>(stub.begin(), stub.begin() + 0x260));
  std::vector<uint8_t> scribbled = stub;
  for (int i = 0; i < 8; ++i) scribbled[random() % scribbled.size()] ^= 0xFF;
  Write("corpus/pe_locator", "fuzz-stub-scribbled.exe", scribbled);
  for (auto& [name, archive] : DamagedArchives())
    Write("rejected/archive", name + ".sfx", InputFromSfxImage(archive.bytes(), kOwnTrailerFlag));
  return 0;
}
