// DecodeBlock yields the exact bytes of well-formed blocks and refuses bad
// arguments, magics and sizes with the right code, in the right order, leaving
// its outputs untouched and reading nothing outside the block.
#include <gtest/gtest.h>

#include <vector>

#include "archive/block/block_platform.h"
#include "decode_helpers.h"

using testsupport::BitWriter;
using testsupport::MakeBlock;

namespace {

std::vector<uint8_t> WorkedExampleBlock() {
  testsupport::LiteralTable table = testsupport::IdentityLiteralTable();
  table[0] = 'a';
  table[1] = 'b';
  return MakeBlock(6, {0x1F, 0xE0, 0x44}, table);
}

// `count` literal-0 tokens (two zero bits each): a valid stream of count / 4 bytes.
std::vector<uint8_t> ZeroLiteralStream(size_t count) { return std::vector<uint8_t>((count * 2 + 7) / 8, 0); }

}  // namespace

TEST(BlockDecoderExamples, WorkedExampleDecodesToAbabab) {
  std::vector<uint8_t> block = WorkedExampleBlock();
  ASSERT_EQ(block.size(), 271u);
  Decoded d = DecodeGuarded(block);
  ASSERT_EQ(d.result, DecodeOk);
  EXPECT_EQ(AsText(d.bytes), "ababab");
}

TEST(BlockDecoderExamples, TestBitWriterReproducesTheWorkedExampleStream) {
  BitWriter bits;
  bits.Literal(0);
  bits.Literal(1);
  bits.Match(2, 4);
  EXPECT_EQ(bits.BitCount(), 22u);
  EXPECT_EQ(bits.Finish(), (std::vector<uint8_t>{0x1F, 0xE0, 0x44}));
}

TEST(BlockDecoderExamples, OverlappingMatchesRepeatTheirPattern) {
  BitWriter abc;
  abc.Literal('a');
  abc.Literal('b');
  abc.Literal('c');
  abc.Match(3, 7);
  Decoded d = DecodeGuarded(MakeBlock(10, abc.Finish()));
  ASSERT_EQ(d.result, DecodeOk);
  EXPECT_EQ(AsText(d.bytes), "abcabcabca");

  BitWriter run;
  run.Literal('x');
  run.Match(1, 5);
  d = DecodeGuarded(MakeBlock(6, run.Finish()));
  ASSERT_EQ(d.result, DecodeOk);
  EXPECT_EQ(AsText(d.bytes), "xxxxxx");
}

TEST(BlockDecoderExamples, LiteralNumbersGoThroughTheTable) {
  testsupport::LiteralTable table{};
  for (int r = 0; r < 256; ++r) table[r] = static_cast<uint8_t>(255 - r);
  BitWriter bits;
  for (uint32_t r : {0u, 1u, 5u, 254u, 255u}) bits.Literal(r);
  Decoded d = DecodeGuarded(MakeBlock(5, bits.Finish(), table));
  ASSERT_EQ(d.result, DecodeOk);
  EXPECT_EQ(d.bytes, (std::vector<uint8_t>{255, 254, 250, 1, 0}));
}

// Decided: a block that decodes to nothing succeeds with an empty buffer and
// reads no token, whatever its stream holds.
TEST(BlockDecoderExamples, ZeroDecodedSizeGivesAnEmptyBufferWithoutReadingTokens) {
  for (const std::vector<uint8_t>& stream : {std::vector<uint8_t>{}, std::vector<uint8_t>(5, 0xFF)}) {
    std::vector<uint8_t> block = MakeBlock(0, stream);
    testsupport::GuardedBuffer guarded(block);
    uint8_t* out = nullptr;
    uint32_t size = kSentinelSize;
    ASSERT_EQ(DecodeBlock(guarded.data(), static_cast<uint32_t>(block.size()), &out, &size, nullptr, 0), DecodeOk);
    EXPECT_NE(out, nullptr);
    EXPECT_EQ(size, 0u);
    EXPECT_EQ(FreeBlock(out), DecodeOk);
  }
}

TEST(BlockDecoderResults, MissingArgumentsAreRefusedBeforeTheBlockIsRead) {
  std::vector<uint8_t> valid = WorkedExampleBlock();
  uint8_t* out = SentinelOutput();
  uint32_t size = kSentinelSize;
  EXPECT_EQ(DecodeBlock(nullptr, 271, &out, &size, nullptr, 0), DecodeBadArgument);
  EXPECT_EQ(DecodeBlock(valid.data(), 271, nullptr, &size, nullptr, 0), DecodeBadArgument);
  EXPECT_EQ(DecodeBlock(valid.data(), 271, &out, nullptr, nullptr, 0), DecodeBadArgument);
  EXPECT_EQ(out, SentinelOutput());
  EXPECT_EQ(size, kSentinelSize);

  // A block size of 0: the pointer lies on the guard page, so any read faults.
  testsupport::GuardedBuffer empty(0);
  Decoded d = DecodeAt(empty.data(), 0);
  EXPECT_EQ(d.result, DecodeBadArgument);
  EXPECT_TRUE(d.outputsUntouched);
}

TEST(BlockDecoderResults, WrongMagicIsRefusedWithThreeEvenWhenTheSizeIsWrongToo) {
  std::vector<uint8_t> block = WorkedExampleBlock();
  for (size_t i = 0; i < 4; ++i) {
    std::vector<uint8_t> bad = block;
    bad[i] ^= 0x01;
    Decoded d = DecodeGuarded(bad);
    EXPECT_EQ(d.result, DecodeBadMagic) << "byte " << i;
    EXPECT_TRUE(d.outputsUntouched);
    bad.push_back(0);  // now 272 bytes against bitStreamSize 3
    EXPECT_EQ(DecodeGuarded(bad).result, DecodeBadMagic) << "byte " << i;
  }
  // Blocks too short to hold the magic cannot begin with it.
  for (size_t length = 1; length < 4; ++length) {
    Decoded d = DecodeGuarded(std::vector<uint8_t>(block.begin(), block.begin() + length));
    EXPECT_EQ(d.result, DecodeBadMagic) << length << " bytes";
    EXPECT_TRUE(d.outputsUntouched);
  }
}

TEST(BlockDecoderResults, SizeRuleIsExactAndCannotWrap) {
  // 300 bytes: the stream must be 32 bytes.  32 zero bytes are 128 literal-0 tokens.
  std::vector<uint8_t> block = MakeBlock(128, ZeroLiteralStream(128));
  ASSERT_EQ(block.size(), 300u);
  Decoded d = DecodeGuarded(block);
  ASSERT_EQ(d.result, DecodeOk);
  EXPECT_EQ(d.bytes, std::vector<uint8_t>(128, 0));

  testsupport::PutLE32(block.data() + 8, 31);
  d = DecodeGuarded(block);
  EXPECT_EQ(d.result, DecodeBadArgument);
  EXPECT_TRUE(d.outputsUntouched);
  testsupport::PutLE32(block.data() + 8, 33);
  EXPECT_EQ(DecodeGuarded(block).result, DecodeBadArgument);

  // 100 bytes with a bitStreamSize whose 32-bit sum with 268 wraps to 100.
  std::vector<uint8_t> shortBlock(block.begin(), block.begin() + 100);
  testsupport::PutLE32(shortBlock.data() + 8, 100u - 268u);
  d = DecodeGuarded(shortBlock);
  EXPECT_EQ(d.result, DecodeBadArgument);
  EXPECT_TRUE(d.outputsUntouched);
}

TEST(BlockDecoderResults, BlocksShorterThanTheHeaderAreRefusedWithoutOverRead) {
  std::vector<uint8_t> block = MakeBlock(0, {});
  for (size_t length : {4u, 8u, 11u, 12u, 200u, 267u}) {
    Decoded d = DecodeGuarded(std::vector<uint8_t>(block.begin(), block.begin() + length));
    EXPECT_EQ(d.result, DecodeBadArgument) << length << " bytes";
    EXPECT_TRUE(d.outputsUntouched);
  }
  EXPECT_EQ(DecodeGuarded(block).result, DecodeOk);  // exactly 268 bytes
}

#ifndef _WIN32
TEST(BlockDecoderResults, AllocationFailureIsTwoAndComesAfterTheOtherChecks) {
  std::vector<uint8_t> block = WorkedExampleBlock();
  SetBlockAllocationFailure(true);
  Decoded d = DecodeGuarded(block);
  std::vector<uint8_t> badMagic = block;
  badMagic[0] = 'X';
  DecodeResult magicFirst = DecodeGuarded(badMagic).result;
  std::vector<uint8_t> badSize = block;
  badSize.push_back(0);
  DecodeResult sizeFirst = DecodeGuarded(badSize).result;
  SetBlockAllocationFailure(false);

  EXPECT_EQ(d.result, DecodeOutOfMemory);
  EXPECT_TRUE(d.outputsUntouched);
  EXPECT_EQ(magicFirst, DecodeBadMagic);
  EXPECT_EQ(sizeFirst, DecodeBadArgument);
  EXPECT_EQ(DecodeGuarded(block).result, DecodeOk);
}
#else
TEST(BlockDecoderResults, AllocationFailureIsTwoAndComesAfterTheOtherChecks) {
  // The process heap cannot hand out 4 GiB - 1 to a 32-bit process.
  std::vector<uint8_t> block = WorkedExampleBlock();
  testsupport::PutLE32(block.data() + 4, 0xFFFFFFFFu);
  Decoded d = DecodeGuarded(block);
  EXPECT_EQ(d.result, DecodeOutOfMemory);
  EXPECT_TRUE(d.outputsUntouched);
  block[0] = 'X';
  EXPECT_EQ(DecodeGuarded(block).result, DecodeBadMagic);
  block[0] = 'Q';
  block.push_back(0);
  EXPECT_EQ(DecodeGuarded(block).result, DecodeBadArgument);
}
#endif

TEST(BlockDecoderResults, FreeBlockOfNothingIsZero) { EXPECT_EQ(FreeBlock(nullptr), DecodeOk); }
