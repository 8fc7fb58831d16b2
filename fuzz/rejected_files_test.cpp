// Every file kept in fuzz/rejected is damaged input that must be refused: a
// block there must never decode.  The folder grows with every bug found.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "archive/block_decoder.h"

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
