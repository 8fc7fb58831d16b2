// The fast block decoder gives exactly what the bit-at-a-time reference gives
// for any input, valid or corrupt: the same result, the same bytes, and the
// same progress reports at the same output positions.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "archive/block/block_decoder_reference.h"
#include "archive/block/block_format.h"
#include "archive/block/block_tokens.h"
#include "decode_helpers.h"
#include "notification_counter.h"
#include "tests/support/number_code_reader.h"
#include "tests/support/valid_stream.h"
#include "tools/encoder/block_encoder.h"

using testsupport::BitWriter;
using testsupport::GuardedBuffer;
using testsupport::LiteralTable;
using testsupport::MakeBlock;
using testsupport::PermutedLiteralTable;

namespace {

struct TokenRun {
  bool ok;
  std::vector<uint8_t> bytes;      // the output, when ok
  std::vector<uint32_t> reports;   // output position of every progress report
};

void RecordReport(void* context, uint32_t produced) {
  static_cast<std::vector<uint32_t>*>(context)->push_back(produced);
}

// One token loop, with the stream and the output each ending flush against a
// guard page, so a read past the stream or a write past the output faults.
TokenRun RunTokens(TokenDecoder decode, const std::vector<uint8_t>& stream, const LiteralTable& table,
                   uint32_t decodedSize) {
  GuardedBuffer in(stream);
  GuardedBuffer out(decodedSize);
  TokenRun run{false, {}, {}};
  const ProgressSink sink = {RecordReport, &run.reports};
  run.ok = decode(in.data(), in.data() + in.size(), table.data(), out.data(), decodedSize, sink);
  if (run.ok) run.bytes.assign(out.data(), out.data() + decodedSize);
  return run;
}

// Every build of the fast loop this machine can run: the portable one, and
// the LZCNT/BMI2 one where there is one.
std::vector<TokenDecoder> FastLoops() {
  std::vector<TokenDecoder> loops = {DecodeTokensPortable};
  if (LzcntTokenDecoder() != nullptr) loops.push_back(LzcntTokenDecoder());
  return loops;
}

// Compares each fast loop with the reference loop; answers the reference's verdict.
bool ExpectSameTokens(const std::vector<uint8_t>& stream, const LiteralTable& table, uint32_t decodedSize,
                      const std::string& what) {
  const TokenRun expected = RunTokens(DecodeTokensReference, stream, table, decodedSize);
  for (TokenDecoder loop : FastLoops()) {
    const TokenRun actual = RunTokens(loop, stream, table, decodedSize);
    const char* build = loop == DecodeTokensPortable ? " (portable loop)" : " (LZCNT loop)";
    EXPECT_EQ(actual.ok, expected.ok) << what << build;
    EXPECT_EQ(actual.reports, expected.reports) << what << build;
    EXPECT_TRUE(actual.bytes == expected.bytes) << what << build;
  }
  return expected.ok;
}

struct BlockRun {
  Decoded decoded;
  int notifications;
};

// One whole-block decoder on a block flush against a guard page, with its
// notifications counted: natively through the hook, in Win32 as messages.
BlockRun RunBlock(BlockDecoder decode, const std::vector<uint8_t>& block) {
  constexpr uint32_t kProgressMessage = 0x8000 + 7;  // WM_APP + 7
  GuardedBuffer guarded(block);
  // One window for the whole program: making one per block is slow under Wine.
  static NotificationCounter counter(kProgressMessage);
  counter.Reset();
  BlockRun run{DecodeWith(decode, guarded.data(), static_cast<uint32_t>(guarded.size()), counter.window(),
                          kProgressMessage),
               counter.received()};
  EXPECT_TRUE(counter.asExpected());
  return run;
}

// Compares DecodeBlock with the reference DecodeBlock on a whole block.
void ExpectSameBlock(const std::vector<uint8_t>& block, const std::string& what) {
  const BlockRun expected = RunBlock(DecodeBlockReference, block);
  const BlockRun actual = RunBlock(DecodeBlock, block);
  EXPECT_EQ(actual.decoded.result, expected.decoded.result) << what;
  EXPECT_TRUE(actual.decoded.bytes == expected.decoded.bytes) << what;
  EXPECT_EQ(actual.decoded.outputsUntouched, expected.decoded.outputsUntouched) << what;
  EXPECT_EQ(actual.notifications, expected.notifications) << what;
  // A successful decode with a window ends with a notification, so the counts
  // compared above are never an empty 0 against 0.
  if (expected.decoded.result == DecodeOk) {
    EXPECT_GE(expected.notifications, 1) << what;
  }
}

struct Stream {
  std::vector<uint8_t> bytes;
  LiteralTable table;
  uint32_t decodedSize;
};

// A valid stream from the toolkit's generator, as bytes, table and size.
Stream RandomValidStream(std::mt19937& random, uint32_t size) {
  const testsupport::ModelStream model = testsupport::RandomValidStream(random, size);
  return {model.Stream(), model.table(), size};
}

uint32_t RandomSize(std::mt19937& random, int round) {
  if (round % 4 == 0) return 1 + static_cast<uint32_t>(random() % 64);
  return 1 + static_cast<uint32_t>(random() % 200000);
}

std::vector<uint8_t> ReadWholeFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::vector<std::filesystem::path> FilesIn(const std::string& folder) {
  std::vector<std::filesystem::path> files;
  std::error_code error;
  for (const auto& item : std::filesystem::directory_iterator(folder, error))
    if (item.is_regular_file()) files.push_back(item.path());
  std::sort(files.begin(), files.end());
  return files;
}

}  // namespace

TEST(BlockDifferential, RandomValidStreamsDecodeAlike) {
  std::mt19937 random(424242);
  int valid = 0;
  for (int round = 0; round < 120; ++round) {
    const Stream s = RandomValidStream(random, RandomSize(random, round));
    const std::string what = "round " + std::to_string(round);
    valid += ExpectSameTokens(s.bytes, s.table, s.decodedSize, what);
    if (round % 8 == 0) ExpectSameBlock(MakeBlock(s.decodedSize, s.bytes, s.table), what);
  }
  EXPECT_EQ(valid, 120);  // the generator's streams are valid, so the output paths are compared
}

TEST(BlockDifferential, DamagedStreamsAreJudgedAlike) {
  std::mt19937 random(31337);
  auto below = [&random](uint32_t n) { return static_cast<uint32_t>(random() % n); };
  int refused = 0;
  for (int round = 0; round < 300; ++round) {
    Stream s = RandomValidStream(random, 1 + below(round % 3 == 0 ? 30000 : 300));
    const std::string what = "round " + std::to_string(round);
    switch (round % 5) {
      case 0:  // cut short
        s.bytes.resize(below(static_cast<uint32_t>(s.bytes.size())));
        break;
      case 1:  // a few flipped bits
        for (uint32_t flips = 1 + below(3); flips > 0; --flips)
          s.bytes[below(static_cast<uint32_t>(s.bytes.size()))] ^= static_cast<uint8_t>(1u << below(8));
        break;
      case 2:  // a declared size a little off either way
        s.decodedSize += below(2) ? 1 + below(9) : 0u - std::min(s.decodedSize, 1 + below(9));
        break;
      case 3:  // random bytes, any declared size
        for (uint8_t& value : s.bytes) value = static_cast<uint8_t>(random());
        s.decodedSize = below(4096);
        break;
      default:  // random bytes spliced in
        for (uint32_t n = below(16), at = below(static_cast<uint32_t>(s.bytes.size())); n > 0 && at < s.bytes.size(); --n, ++at)
          s.bytes[at] = static_cast<uint8_t>(random());
        break;
    }
    refused += !ExpectSameTokens(s.bytes, s.table, s.decodedSize, what);
    if (round % 10 == 0) ExpectSameBlock(MakeBlock(s.decodedSize, s.bytes, s.table), what);
  }
  EXPECT_GT(refused, 100);  // most damage is caught, so the refusal paths are compared
}

// Numbers of every class from 26 up, prefixes of 29 to 64 one-bits, and
// class-31 numbers around 2^31, each after some bytes and before more tokens,
// and each also cut off at every byte near its end.
TEST(BlockDifferential, LongNumbersAndLongPrefixesAreJudgedAlike) {
  std::mt19937 random(5);
  const uint64_t numbers[] = {(1u << 13) - 2, (1u << 27) - 3, (1u << 29) - 2, (1u << 30) - 2, (1u << 30) + 5,
                              0x7FFFFFFEu, 0x7FFFFFFFu, 0x80000000u, 0xFFFFFFFDu};
  for (int ones = 24; ones <= 64; ++ones) {
    for (int where = 0; where < 4; ++where) {  // odd: as a length; 0 and 1: small value bits
      BitWriter bits;
      for (int i = 0; i < 20; ++i) bits.Literal(static_cast<uint32_t>(i));
      if (where % 2 == 1) bits.Code(256 + 3);
      bits.Ones(ones);
      bits.Bit(0);
      // A small value is where a number that wrapped would pass for a
      // literal or a short match.
      bits.Bits(where < 2 ? random() % 300 : random(), std::min(ones + 1, 64));
      for (int i = 0; i < 12; ++i) bits.Literal(static_cast<uint32_t>(random() % 256));
      const std::vector<uint8_t> stream = bits.Finish();
      for (size_t cut = stream.size() - std::min<size_t>(stream.size(), 12); cut <= stream.size(); ++cut) {
        const std::vector<uint8_t> part(stream.begin(), stream.begin() + static_cast<std::ptrdiff_t>(cut));
        for (uint32_t size : {21u, 40u, 5000u})
          ExpectSameTokens(part, PermutedLiteralTable(random), size, "ones " + std::to_string(ones));
      }
    }
  }
  for (uint64_t number : numbers) {
    for (int asLength = 0; asLength < 2; ++asLength) {
      BitWriter bits;
      bits.Literal(1);
      bits.Literal(2);
      bits.Code(asLength ? 256 + 1 : number);
      bits.Code(asLength ? number : 0);
      bits.Literal(3);
      const std::vector<uint8_t> stream = bits.Finish();
      for (uint32_t size : {2u, 3u, 5u, 6u, 100u, 0x10000u})
        ExpectSameTokens(stream, testsupport::IdentityLiteralTable(), size, "number " + std::to_string(number));
    }
  }
}

// Numbers on either side of the class where the fast loop leaves a token to
// the careful one (classes 13 to 16), as a match's distance and as its
// length, amid enough tokens on both sides that the fast loop runs up to
// them and on after them; each stream also cut short and declared too long.
TEST(BlockDifferential, NumbersAroundTheFastLoopsClassLimitDecodeAlike) {
  std::mt19937 random(1314);
  const uint32_t numbers[] = {8189, 8190, 16381, 16382, 32765, 32766, 65533, 65534};
  for (uint32_t number : numbers) {
    for (int asLength = 0; asLength < 2; ++asLength) {
      BitWriter bits;
      bits.Literal(7);
      // Output enough for any of the distances: one long run, in matches of
      // 512 bytes, so that the fast loop has many tokens before the one tested.
      uint32_t produced = 1;
      while (produced < 70000) {
        bits.Match(1, 512);
        produced += 512;
      }
      for (int i = 0; i < 50; ++i, ++produced) bits.Literal(static_cast<uint32_t>(random() % 256));
      const uint32_t distance = asLength ? 1 + static_cast<uint32_t>(random() % 8000) : number - kFirstMatchCode;
      const uint32_t length = asLength ? number + kMinMatchLength : 3 + static_cast<uint32_t>(random() % 20);
      bits.Match(distance, length);
      produced += length;
      for (int i = 0; i < 50; ++i, ++produced) bits.Literal(static_cast<uint32_t>(random() % 256));
      const std::vector<uint8_t> stream = bits.Finish();
      const std::string what = (asLength ? "length number " : "distance number ") + std::to_string(number);
      EXPECT_TRUE(ExpectSameTokens(stream, PermutedLiteralTable(random), produced, what));
      ExpectSameTokens(stream, PermutedLiteralTable(random), produced + 1, what + ", declared one byte longer");
      const std::vector<uint8_t> cut(stream.begin(), stream.end() - 9);
      ExpectSameTokens(cut, PermutedLiteralTable(random), produced, what + ", cut short");
    }
  }
}

// Reports come after the token that reaches 8192 bytes since the last one,
// with long matches that overshoot the mark, literals that meet it exactly,
// and blocks that end right on it.
TEST(BlockDifferential, ProgressReportsComeAtTheSamePositions) {
  std::mt19937 random(8192);
  for (uint32_t size : {8191u, 8192u, 8193u, 16384u, 24577u, 100000u}) {
    BitWriter literalsOnly;
    for (uint32_t i = 0; i < size; ++i) literalsOnly.Literal(static_cast<uint32_t>(random() % 256));
    ExpectSameTokens(literalsOnly.Finish(), PermutedLiteralTable(random), size, "literals " + std::to_string(size));

    // Literals after a match of 3 or 4 bytes, so that whichever way the loop
    // groups literals, one of the two streams has a literal on the mark.
    for (uint32_t lead : {3u, 4u}) {
      BitWriter literalsAfterMatch;
      literalsAfterMatch.Literal(1);
      literalsAfterMatch.Match(1, lead);
      for (uint32_t i = 1 + lead; i < size; ++i) literalsAfterMatch.Literal(static_cast<uint32_t>(random() % 256));
      ExpectSameTokens(literalsAfterMatch.Finish(), PermutedLiteralTable(random), size,
                       "literals after " + std::to_string(lead) + " of " + std::to_string(size));
    }

    BitWriter runs;
    runs.Literal(9);
    for (uint32_t produced = 1; produced < size;) {
      const uint32_t length = std::min(size - produced, 3 + static_cast<uint32_t>(random() % 9000));
      runs.Match(1 + random() % produced, length);
      produced += length;
    }
    const std::vector<uint8_t> stream = runs.Finish();
    ExpectSameTokens(stream, testsupport::IdentityLiteralTable(), size, "runs " + std::to_string(size));
    ExpectSameBlock(MakeBlock(size, stream), "runs " + std::to_string(size));
  }
}

#ifndef KAITO_FUZZ_DIR
#error "KAITO_FUZZ_DIR names the fuzz folder with the saved corpus"
#endif

// The fuzzers' saved whole blocks and the damaged blocks that must be refused.
TEST(BlockDifferential, FuzzCorpusBlocksDecodeAlike) {
  size_t files = 0;
  for (const char* folder : {"/corpus/block_decoder", "/rejected/block", "/crashes/block_decoder"}) {
    for (const auto& path : FilesIn(std::string(KAITO_FUZZ_DIR) + folder)) {
      ExpectSameBlock(ReadWholeFile(path), path.filename().string());
      ++files;
    }
  }
  EXPECT_GT(files, 20u);
}

// The stream fuzzer's saved inputs: byte 0 flags (bit 1: a permuted table),
// bytes 1-2 a declared size, byte 3 the table's seed, then the stream; each is
// decoded as the fuzz target decodes it, with its declared size and with the
// size its valid tokens make.
TEST(BlockDifferential, FuzzCorpusStreamsDecodeAlike) {
  size_t files = 0;
  int valid = 0;
  for (const auto& path : FilesIn(std::string(KAITO_FUZZ_DIR) + "/corpus/block_stream")) {
    const std::vector<uint8_t> input = ReadWholeFile(path);
    if (input.size() < 4) continue;
    const LiteralTable table =
        (input[0] & 2) != 0 ? testsupport::SeededLiteralTable(input[3]) : testsupport::IdentityLiteralTable();
    const std::vector<uint8_t> stream(input.begin() + 4, input.end());
    const uint32_t declared = input[1] | uint32_t{input[2]} << 8;
    const uint32_t decodable =
        static_cast<uint32_t>(testsupport::DecodableSize(stream.data(), stream.size(), 1u << 20));
    for (uint32_t size : {declared, decodable}) {
      const std::string what = path.filename().string() + " size " + std::to_string(size);
      valid += ExpectSameTokens(stream, table, size, what);
      ExpectSameBlock(MakeBlock(size, stream, table), what);
    }
    ++files;
  }
  EXPECT_GT(files, 20u);
  EXPECT_GT(valid, 20);
}

// Blocks from our own encoder at its fast, default and best levels, on the
// encoder fuzzer's saved inputs (text, Japanese text, a program, zeros, noise).
TEST(BlockDifferential, EncoderBlocksDecodeAlike) {
  size_t files = 0;
  for (const auto& path : FilesIn(std::string(KAITO_FUZZ_DIR) + "/corpus/encoder_roundtrip")) {
    const std::vector<uint8_t> data = ReadWholeFile(path);
    for (int level : {kFastestLevel, kDefaultLevel, kBestLevel}) {
      const std::vector<uint8_t> block = EncodeBlock(data.data(), data.size(), level);
      const std::string what = path.filename().string() + " level " + std::to_string(level);
      ExpectSameBlock(block, what);
      const std::vector<uint8_t> stream(block.begin() + kBlockHeaderSize, block.end());
      LiteralTable table;
      std::copy(block.begin() + 12, block.begin() + kBlockHeaderSize, table.begin());
      EXPECT_TRUE(ExpectSameTokens(stream, table, static_cast<uint32_t>(data.size()), what));
    }
    ++files;
  }
  EXPECT_GT(files, 5u);
}
