// The benchmark: how fast our block decoder is (alone, and with the integrity
// checksum over its output as the stub checks it) against zlib's inflate and
// libdeflate on the same files in the same run, on blocks of level 6, level 9
// and level 9 as the encoder made them with its 8 KiB window; and for every
// level of our encoder the compressed size, the encode speed and the size
// against `gzip -9`, `xz -9` and NSIS installers.  It prints figures; it
// checks nothing but that every decoder gives the input back.
//
//   kaito_bench MANIFEST [--decode-only] [--nsis NSIS_SIZES]
//
// MANIFEST lists the corpus and NSIS_SIZES what makensis made of each class
// (see bench_support.h); scripts/bench.sh makes both.  --decode-only encodes
// only the blocks the decode table needs (for slow runs, such as the i686
// build under Wine).
#include <cstdio>
#include <cstring>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "archive/block/block_decoder.h"
#include "archive/block/block_tokens.h"
#include "archive/checksum.h"
#include "bench/bench_support.h"
#include "bench/token_walk.h"
#include "tools/encoder/block_encoder.h"

#ifdef KAITO_BENCH_ZLIB
#include <zlib.h>
#endif
#ifdef KAITO_BENCH_LIBDEFLATE
#include <libdeflate.h>
#endif

namespace {

using bench::CorpusFile;

// The decoders of the decode table, each on its own compressed form of a file.
// "checksum" is no decoder: the integrity checksum alone over the output, so
// that its share of "kaito -6 + checksum" can be read off the same run.
enum Decoder {
  KaitoDefault,
  KaitoDefaultBefore,
  KaitoBest,
  KaitoBestBefore,
  KaitoChecked,
  ChecksumAlone,
  TokenWalk,
  Inflate,
  Libdeflate,
  kDecoderCount
};
const char* const kDecoderNames[kDecoderCount] = {
    "kaito -6",      "kaito -6 8 KiB", "kaito -9",     "kaito -9 8 KiB", "kaito -6 + checksum",
    "checksum",      "token walk -6",  "zlib inflate", "libdeflate"};

// Levels 6 and 9 as the encoder searched before its windows grew: 8 KiB
// back, matches of at most 512 bytes, the literals priced by the data's
// bytes.  The blocks differ from that encoder's only in their literal table,
// now ranked by the literals.
constexpr int kBefore = 2;
constexpr EncoderSettings kBeforeSettings[kBefore] = {{false, {13, 512, 14, 128, 3, 8, 48}, 0, 1},
                                                      {true, {13, 512, 24, 128, 0, 0, 0}, 0, 1}};
const char* const kBeforeNames[kBefore] = {"-6 8 KiB", "-9 8 KiB"};

bool DecoderBuiltIn(int decoder) {
#ifdef KAITO_BENCH_ZLIB
  const bool withZlib = true;
#else
  const bool withZlib = false;
#endif
#ifdef KAITO_BENCH_LIBDEFLATE
  const bool withLibdeflate = withZlib;  // it decodes zlib's data
#else
  const bool withLibdeflate = false;
#endif
  if (decoder == Inflate) return withZlib;
  if (decoder == Libdeflate) return withLibdeflate;
  return true;
}

// What one class of the corpus (or the whole) adds up to.
struct Totals {
  uint64_t bytes = 0;
  uint64_t files = 0;
  double decodeSeconds[kDecoderCount] = {};
  uint64_t levelBytes[kBestLevel + 1] = {};
  double levelSeconds[kBestLevel + 1] = {};
  uint64_t beforeBytes[kBefore] = {};  // kBeforeSettings
  double beforeSeconds[kBefore] = {};
  uint64_t deflateBytes = 0;     // zlib at level 9
  uint64_t gzipBytes = 0;
  uint64_t xzBytes = 0;
  bench::NsisSizes nsis;
};

[[noreturn]] void Fail(const std::string& what) {
  std::fprintf(stderr, "kaito_bench: %s\n", what.c_str());
  std::exit(1);
}

// Each decoder is checked once to give the file back, then handed to the timer.
std::function<void()> KaitoDecode(const CorpusFile& file, const std::vector<uint8_t>& block) {
  uint8_t* out = nullptr;
  uint32_t size = 0;
  if (DecodeBlock(block.data(), static_cast<uint32_t>(block.size()), &out, &size, nullptr, 0) != DecodeOk ||
      size != file.data.size() || (size != 0 && std::memcmp(out, file.data.data(), size) != 0))
    Fail("our decoder did not give back " + file.path);
  FreeBlock(out);
  return [&block] {
    uint8_t* decoded = nullptr;
    uint32_t decodedSize = 0;
    DecodeBlock(block.data(), static_cast<uint32_t>(block.size()), &decoded, &decodedSize, nullptr, 0);
    FreeBlock(decoded);
  };
}

// Where the token walk's and the checksum's results go, so that neither is optimised away.
volatile uint32_t g_walkSink;
volatile uint32_t g_checksumSink;

// What the stub does with a compressed entry of a file that carries an
// integrity record: decode the block, then checksum what came out.
std::function<void()> KaitoDecodeAndCheck(const std::vector<uint8_t>& block) {
  return [&block] {
    uint8_t* decoded = nullptr;
    uint32_t decodedSize = 0;
    DecodeBlock(block.data(), static_cast<uint32_t>(block.size()), &decoded, &decodedSize, nullptr, 0);
    g_checksumSink = Checksum32(decoded, decodedSize);
    FreeBlock(decoded);
  };
}

// The token walk (bench/token_walk.h) over the same block as "kaito -6".
std::function<void()> WalkDecode(const CorpusFile& file, const std::vector<uint8_t>& stream) {
  uint32_t sum = 0;
  if (bench::WalkTokens(stream, static_cast<uint32_t>(file.data.size()), &sum) != file.data.size())
    Fail("the token walk did not end at the size of " + file.path);
  return [&stream, &file] {
    uint32_t numberSum = 0;
    bench::WalkTokens(stream, static_cast<uint32_t>(file.data.size()), &numberSum);
    g_walkSink = numberSum;
  };
}

#ifdef KAITO_BENCH_ZLIB
std::vector<uint8_t> ZlibCompress(const CorpusFile& file) {
  uLongf size = compressBound(static_cast<uLong>(file.data.size()));
  std::vector<uint8_t> packed(size);
  if (compress2(packed.data(), &size, file.data.data(), static_cast<uLong>(file.data.size()), 9) != Z_OK)
    Fail("zlib cannot compress " + file.path);
  packed.resize(size);
  return packed;
}

std::function<void()> InflateDecode(const CorpusFile& file, const std::vector<uint8_t>& packed, std::vector<uint8_t>& out) {
  auto once = [&file, &packed, &out] {
    uLongf size = static_cast<uLongf>(out.size());
    return uncompress(out.data(), &size, packed.data(), static_cast<uLong>(packed.size())) == Z_OK &&
           size == file.data.size();
  };
  if (!once() || std::memcmp(out.data(), file.data.data(), file.data.size()) != 0)
    Fail("inflate did not give back " + file.path);
  return once;
}
#endif

#ifdef KAITO_BENCH_LIBDEFLATE
std::function<void()> LibdeflateDecode(const CorpusFile& file, const std::vector<uint8_t>& packed,
                                 std::vector<uint8_t>& out, libdeflate_decompressor* decompressor) {
  auto once = [&file, &packed, &out, decompressor] {
    size_t size = 0;
    return libdeflate_zlib_decompress(decompressor, packed.data(), packed.size(), out.data(), out.size(),
                                      &size) == LIBDEFLATE_SUCCESS &&
           size == file.data.size();
  };
  if (!once() || std::memcmp(out.data(), file.data.data(), file.data.size()) != 0)
    Fail("libdeflate did not give back " + file.path);
  return once;
}
#endif

void Measure(const CorpusFile& file, bool decodeOnly, Totals& totals) {
  totals.bytes += file.data.size();
  totals.files += 1;
  totals.gzipBytes += file.gzipSize;
  totals.xzBytes += file.xzSize;
  std::vector<uint8_t> blocks[kBestLevel + 1];
  for (int level = kFastestLevel; level <= kBestLevel; ++level) {
    if (decodeOnly && level != kDefaultLevel && level != kBestLevel) continue;
    totals.levelSeconds[level] +=
        bench::SecondsOfOneCall([&] { blocks[level] = EncodeBlock(file.data.data(), file.data.size(), level); });
    totals.levelBytes[level] += blocks[level].size();
  }
  std::vector<uint8_t> before[kBefore];
  for (int b = 0; b < kBefore; ++b) {
    totals.beforeSeconds[b] += bench::SecondsOfOneCall(
        [&] { before[b] = EncodeBlockWith(file.data.data(), file.data.size(), kBeforeSettings[b]); });
    totals.beforeBytes[b] += before[b].size();
  }
  const std::vector<uint8_t> walkStream = bench::PaddedStream(blocks[kDefaultLevel]);
  std::vector<std::function<void()>> decoders = {KaitoDecode(file, blocks[kDefaultLevel]),
                                                 KaitoDecode(file, before[0]),
                                                 KaitoDecode(file, blocks[kBestLevel]),
                                                 KaitoDecode(file, before[1]),
                                                 KaitoDecodeAndCheck(blocks[kDefaultLevel]),
                                                 [&file] { g_checksumSink = Checksum32(file.data.data(), file.data.size()); },
                                                 WalkDecode(file, walkStream)};
#ifdef KAITO_BENCH_ZLIB
  const std::vector<uint8_t> packed = ZlibCompress(file);
  totals.deflateBytes += packed.size();
  std::vector<uint8_t> inflated(file.data.size() + 1);
  decoders.push_back(InflateDecode(file, packed, inflated));
#ifdef KAITO_BENCH_LIBDEFLATE
  libdeflate_decompressor* decompressor = libdeflate_alloc_decompressor();
  std::vector<uint8_t> deflated(file.data.size() + 1);
  decoders.push_back(LibdeflateDecode(file, packed, deflated, decompressor));
#endif
#endif
  const std::vector<double> seconds = bench::BestSecondsPerCall(decoders);
  for (size_t d = 0; d < seconds.size(); ++d) totals.decodeSeconds[d] += seconds[d];
#ifdef KAITO_BENCH_LIBDEFLATE
  libdeflate_free_decompressor(decompressor);
#endif
}

void Add(Totals& sum, const Totals& part) {
  sum.bytes += part.bytes;
  sum.files += part.files;
  for (int d = 0; d < kDecoderCount; ++d) sum.decodeSeconds[d] += part.decodeSeconds[d];
  for (int level = 0; level <= kBestLevel; ++level) {
    sum.levelBytes[level] += part.levelBytes[level];
    sum.levelSeconds[level] += part.levelSeconds[level];
  }
  for (int b = 0; b < kBefore; ++b) {
    sum.beforeBytes[b] += part.beforeBytes[b];
    sum.beforeSeconds[b] += part.beforeSeconds[b];
  }
  sum.deflateBytes += part.deflateBytes;
  sum.gzipBytes += part.gzipBytes;
  sum.xzBytes += part.xzBytes;
  sum.nsis.Add(part.nsis);
}

double Percent(uint64_t part, uint64_t whole) { return whole ? 100.0 * static_cast<double>(part) / static_cast<double>(whole) : 0; }
double Ratio(uint64_t a, uint64_t b) { return b ? static_cast<double>(a) / static_cast<double>(b) : 0; }

void PrintDecodeTable(const std::vector<std::pair<std::string, Totals>>& rows) {
  std::printf("\nDecode speed, MB/s of output (ratio to zlib inflate in brackets)\n\n");
  std::printf("| class | files | bytes |");
  for (int d = 0; d < kDecoderCount; ++d)
    if (DecoderBuiltIn(d)) std::printf(" %s |", kDecoderNames[d]);
  std::printf("\n|---|---:|---:|");
  for (int d = 0; d < kDecoderCount; ++d)
    if (DecoderBuiltIn(d)) std::printf("---:|");
  std::printf("\n");
  for (const auto& [name, t] : rows) {
    std::printf("| %s | %llu | %llu |", name.c_str(), static_cast<unsigned long long>(t.files),
                static_cast<unsigned long long>(t.bytes));
    const double inflate = bench::MegabytesPerSecond(t.bytes, t.decodeSeconds[Inflate]);
    for (int d = 0; d < kDecoderCount; ++d) {
      if (!DecoderBuiltIn(d)) continue;
      const double speed = bench::MegabytesPerSecond(t.bytes, t.decodeSeconds[d]);
      if (DecoderBuiltIn(Inflate))
        std::printf(" %.0f (%.2fx) |", speed, inflate > 0 ? speed / inflate : 0);
      else
        std::printf(" %.0f |", speed);
    }
    std::printf("\n");
  }
}

// The level's block bytes against another compressor's, or "-" without them.
void PrintRatio(uint64_t ours, uint64_t theirs) {
  if (theirs == 0)
    std::printf(" - |");
  else
    std::printf(" %.3f |", Ratio(ours, theirs));
}

void PrintEncodeRow(const char* level, const std::string& name, const Totals& t, uint64_t bytes, double seconds) {
  std::printf("| %s | %s | %.2f | %.1f |", level, name.c_str(), Percent(bytes, t.bytes),
              bench::MegabytesPerSecond(t.bytes, seconds));
  PrintRatio(bytes, t.gzipBytes);
  PrintRatio(bytes, t.xzBytes);
  PrintRatio(bytes, t.nsis.zlib);
  PrintRatio(bytes, t.nsis.bzip2);
  PrintRatio(bytes, t.nsis.lzma);
  std::printf("\n");
}

void PrintEncodeTable(const std::vector<std::pair<std::string, Totals>>& rows, bool decodeOnly) {
  std::printf("\nCompressed size (%% of input; block header included), encode speed (one call per file), and\n"
              "the size against other compressors' (NSIS: makensis, each file compressed on its own)\n\n");
  std::printf("| level | class | size %% | encode MB/s | / gzip -9 | / xz -9 | / NSIS zlib | / NSIS bzip2 | / NSIS lzma |\n");
  std::printf("|---|---|---:|---:|---:|---:|---:|---:|---:|\n");
  for (int level = kFastestLevel; level <= kBestLevel; ++level) {
    if (decodeOnly && level != kDefaultLevel && level != kBestLevel) continue;
    const std::string label = "-" + std::to_string(level);
    for (const auto& [name, t] : rows) PrintEncodeRow(label.c_str(), name, t, t.levelBytes[level], t.levelSeconds[level]);
  }
  for (int b = 0; b < kBefore; ++b)
    for (const auto& [name, t] : rows) PrintEncodeRow(kBeforeNames[b], name, t, t.beforeBytes[b], t.beforeSeconds[b]);
  std::printf("\nOther compressors on the same files (%% of input)\n\n");
  std::printf("| class | zlib -9 | gzip -9 | xz -9 | NSIS zlib | NSIS bzip2 | NSIS lzma | NSIS lzma solid |\n");
  std::printf("|---|---:|---:|---:|---:|---:|---:|---:|\n");
  for (const auto& [name, t] : rows)
    std::printf("| %s | %.2f | %.2f | %.2f | %.2f | %.2f | %.2f | %.2f |\n", name.c_str(), Percent(t.deflateBytes, t.bytes),
                Percent(t.gzipBytes, t.bytes), Percent(t.xzBytes, t.bytes), Percent(t.nsis.zlib, t.bytes),
                Percent(t.nsis.bzip2, t.bytes), Percent(t.nsis.lzma, t.bytes), Percent(t.nsis.solidLzma, t.bytes));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: kaito_bench MANIFEST [--decode-only] [--nsis NSIS_SIZES]\n");
    return 2;
  }
  bool decodeOnly = false;
  std::map<std::string, bench::NsisSizes> nsis;
  for (int i = 2; i < argc; ++i) {
    if (std::strcmp(argv[i], "--decode-only") == 0)
      decodeOnly = true;
    else if (std::strcmp(argv[i], "--nsis") == 0 && i + 1 < argc && bench::ReadNsisSizes(argv[i + 1], &nsis))
      ++i;
    else
      Fail(std::string("bad argument ") + argv[i]);
  }
#if defined(__LZCNT__)
  if (LzcntTokenDecoder() == nullptr) Fail("this build needs a CPU with LZCNT and BMI2");
#endif
  std::vector<CorpusFile> files;
  if (!bench::ReadManifest(argv[1], &files)) Fail(std::string("no corpus read from ") + argv[1]);

  std::map<std::string, Totals> byClass;
  std::vector<std::string> classOrder;
  for (const CorpusFile& file : files) {
    if (byClass.find(file.corpusClass) == byClass.end()) classOrder.push_back(file.corpusClass);
    std::fprintf(stderr, "  %s (%zu bytes)\n", file.path.c_str(), file.data.size());
    Measure(file, decodeOnly, byClass[file.corpusClass]);
  }
  for (auto& [name, totals] : byClass) totals.nsis = nsis[name];

  // Per class, then all classes, then all but the incompressible control.
  std::vector<std::pair<std::string, Totals>> rows;
  Totals all;
  Totals compressible;
  for (const std::string& name : classOrder) {
    rows.emplace_back(name, byClass[name]);
    Add(all, byClass[name]);
    if (name != "random") Add(compressible, byClass[name]);
  }
  rows.emplace_back("total", all);
  if (byClass.count("random")) rows.emplace_back("total without random", compressible);

  PrintDecodeTable(rows);
  PrintEncodeTable(rows, decodeOnly);
  return 0;
}
