// The block decoder turns the specified example streams into their exact bytes.
#include <gtest/gtest.h>

#include <vector>

#include "archive/block_decoder.h"

TEST(BlockDecoder, WorkedExampleDecodesToAbabab) {
  std::vector<uint8_t> block(271, 0);
  block[0] = 'Q'; block[1] = 'Z'; block[2] = 'C'; block[3] = 0x1A;
  block[4] = 6;
  block[8] = 3;
  block[12] = 'a';
  block[13] = 'b';
  block[268] = 0x1F; block[269] = 0xE0; block[270] = 0x44;
  uint8_t* out = nullptr;
  uint32_t size = 0;
  ASSERT_EQ(DecodeBlock(block.data(), 271, &out, &size, nullptr, 0), DecodeOk);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(out), size), "ababab");
  EXPECT_EQ(FreeBlock(out), DecodeOk);
}
