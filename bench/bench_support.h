// Small helpers of the benchmark: the corpus manifest, whole-file reads and a
// timer that reports the best of several batches, so that a moment of load
// from another process on the machine does not count.
#pragma once

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace bench {

// One corpus file: its class, its path and, when the manifest has them, the
// sizes that `gzip -9` and `xz -9` make of it (0 when not given).
struct CorpusFile {
  std::string corpusClass;
  std::string path;
  uint64_t gzipSize = 0;
  uint64_t xzSize = 0;
  std::vector<uint8_t> data;
};

inline bool ReadWholeFile(const std::string& path, std::vector<uint8_t>* data) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  data->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return !in.bad();
}

// Calls `take(fields)` for each line of a table file with tab-separated
// fields, the first of which (the class) is already read into `corpusClass`;
// empty lines and lines starting with # are skipped.  False when the file
// cannot be read or `take` refuses a line.
template <typename Take>
bool ForEachTableLine(const std::string& path, Take&& take) {
  std::ifstream in(path);
  if (!in) return false;
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream fields(line);
    std::string corpusClass;
    std::getline(fields, corpusClass, '\t');
    if (!take(corpusClass, fields)) return false;
  }
  return true;
}

// Manifest lines: class, path, gzip -9 size, xz -9 size; the sizes may be left out.
inline bool ReadManifest(const std::string& manifestPath, std::vector<CorpusFile>* files) {
  const bool read = ForEachTableLine(manifestPath, [files](const std::string& corpusClass, std::istream& fields) {
    CorpusFile file;
    file.corpusClass = corpusClass;
    std::getline(fields, file.path, '\t');
    fields >> file.gzipSize >> file.xzSize;
    if (!ReadWholeFile(file.path, &file.data)) {
      std::fprintf(stderr, "cannot read %s\n", file.path.c_str());
      return false;
    }
    files->push_back(std::move(file));
    return true;
  });
  return read && !files->empty();
}

// What makensis made of one corpus class: each compressor's bytes of data
// (the installer less an installer of no files), files compressed one by one,
// and LZMA over all files as one stream.  0 where not measured.
struct NsisSizes {
  uint64_t zlib = 0;
  uint64_t bzip2 = 0;
  uint64_t lzma = 0;
  uint64_t solidLzma = 0;

  void Add(const NsisSizes& other) {
    zlib += other.zlib;
    bzip2 += other.bzip2;
    lzma += other.lzma;
    solidLzma += other.solidLzma;
  }
};

// Lines: class, then the zlib, bzip2, LZMA and solid LZMA bytes.
inline bool ReadNsisSizes(const std::string& path, std::map<std::string, NsisSizes>* sizes) {
  return ForEachTableLine(path, [sizes](const std::string& corpusClass, std::istream& fields) {
    NsisSizes s;
    if (!(fields >> s.zlib >> s.bzip2 >> s.lzma >> s.solidLzma)) return false;
    (*sizes)[corpusClass] = s;
    return true;
  });
}

// Seconds per call of each of `works`: the best of `batches` batches, each
// repeating a call until it has run for at least `batchSeconds`.  The works
// take turns batch by batch, so a spell of load from elsewhere falls on all
// of them alike and the ratios between them hold.
inline std::vector<double> BestSecondsPerCall(const std::vector<std::function<void()>>& works,
                                              int batches = 8, double batchSeconds = 0.03) {
  using Clock = std::chrono::steady_clock;
  std::vector<double> best(works.size(), 1e30);
  for (int batch = 0; batch < batches; ++batch) {
    for (size_t i = 0; i < works.size(); ++i) {
      const Clock::time_point start = Clock::now();
      int calls = 0;
      double elapsed = 0;
      do {
        works[i]();
        ++calls;
        elapsed = std::chrono::duration<double>(Clock::now() - start).count();
      } while (elapsed < batchSeconds);
      if (elapsed / calls < best[i]) best[i] = elapsed / calls;
    }
  }
  return best;
}

// Seconds of one call.
template <typename Work>
double SecondsOfOneCall(Work work) {
  using Clock = std::chrono::steady_clock;
  const Clock::time_point start = Clock::now();
  work();
  return std::chrono::duration<double>(Clock::now() - start).count();
}

inline double MegabytesPerSecond(uint64_t bytes, double seconds) {
  return seconds > 0 ? static_cast<double>(bytes) / 1e6 / seconds : 0;
}

}  // namespace bench
