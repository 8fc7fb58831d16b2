// Every file kept in fuzz/rejected is damaged input that must be refused: a
// block there must never decode, and an archive there must be refused by the
// host tools' reader (header, entries, names) or by the decoder of one of its
// blocks.  The folder grows with every bug found.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "archive/host_parser.h"
#include "archive/block/block_decoder.h"
#include "fuzz/sfx_image.h"
#include "tools/pe/pe_resources.h"

namespace fs = std::filesystem;

namespace {

std::vector<fs::path> FilesIn(const fs::path& folder) {
  std::vector<fs::path> files;
  for (const auto& item : fs::directory_iterator(folder))
    if (item.is_regular_file()) files.push_back(item.path());
  std::sort(files.begin(), files.end());
  return files;
}

std::vector<uint8_t> ReadWholeFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool ReadFromImage(void* context, uint32_t offset, void* buffer, uint32_t size) {
  const auto* image = static_cast<const std::vector<uint8_t>*>(context);
  if (uint64_t{offset} + size > image->size()) return false;
  std::copy_n(image->data() + offset, size, static_cast<uint8_t*>(buffer));
  return true;
}

bool BlockDecodes(const uint8_t* block, uint32_t size) {
  uint8_t* output = nullptr;
  uint32_t outputSize = 0;
  if (DecodeBlock(block, size, &output, &outputSize, nullptr, 0) != DecodeOk) return false;
  FreeBlock(output);
  return true;
}

// Whether the host tools would read the whole archive, every block included.
bool ArchiveReadsWhole(std::vector<uint8_t> image, uint32_t locator) {
  ArchiveSource source{ReadFromImage, &image, image.size()};
  ArchiveParser parser;
  ParseError error;
  if (!OpenArchiveParser(source, locator, &parser, &error)) return false;
  for (uint32_t i = 0; i < parser.header.entryCount; ++i) {
    ParsedEntry entry;
    if (!NextEntry(&parser, IsShiftJisLeadByte, &entry, &error)) return false;
    if (!EntryIsStored(entry.header) && !BlockDecodes(image.data() + entry.dataOffset, entry.dataSize))
      return false;
  }
  return true;
}

}  // namespace

TEST(RejectedFiles, EveryDamagedBlockIsRefused) {
  const auto files = FilesIn(fs::path(KAITO_FUZZ_DIR) / "rejected" / "block");
  ASSERT_FALSE(files.empty());
  for (const fs::path& path : files) {
    std::vector<uint8_t> block = ReadWholeFile(path);
    block.reserve(1);  // a valid pointer even for an empty file
    uint8_t* output = nullptr;
    uint32_t outputSize = 0;
    DecodeResult result = DecodeBlock(block.data(), static_cast<uint32_t>(block.size()), &output,
                                      &outputSize, nullptr, 0);
    EXPECT_NE(result, DecodeOk) << path.filename();
    if (result == DecodeOk) FreeBlock(output);
  }
}

TEST(RejectedFiles, EveryDamagedArchiveIsRefused) {
  const auto files = FilesIn(fs::path(KAITO_FUZZ_DIR) / "rejected" / "archive");
  ASSERT_FALSE(files.empty());
  for (const fs::path& path : files) {
    const std::vector<uint8_t> input = ReadWholeFile(path);
    SfxImage image;
    ASSERT_TRUE(SfxImageFromInput(input.data(), input.size(), &image)) << path.filename();
    EXPECT_FALSE(ArchiveReadsWhole(image.bytes, image.locator)) << path.filename();
  }
}

// The rejection above means something only if the same reading accepts the
// undamaged archives the seeds were made from.
TEST(RejectedFiles, UndamagedSeedArchivesAreRead) {
  for (const char* name : {"sample.sfx", "stored.sfx", "follow-up-automatic.sfx", "level-9.sfx", "no-entries.sfx"}) {
    const std::vector<uint8_t> input = ReadWholeFile(fs::path(KAITO_FUZZ_DIR) / "corpus" / "container" / name);
    SfxImage image;
    ASSERT_TRUE(SfxImageFromInput(input.data(), input.size(), &image)) << name;
    EXPECT_TRUE(ArchiveReadsWhole(image.bytes, image.locator)) << name;
  }
}
