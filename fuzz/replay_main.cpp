// Runs a fuzz target as an ordinary program: every file named on the command
// line, and every file inside every folder named there, is fed to the target
// once.  A folder that does not exist is skipped (a target without crash
// reproducers has no crashes folder); finding no file at all is an error, so a
// lost corpus cannot pass unnoticed.
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "fuzz/fuzz_target.h"

namespace fs = std::filesystem;

namespace {

bool ReadWholeFile(const fs::path& path, std::vector<uint8_t>* bytes) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  bytes->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return !in.bad();
}

void CollectInputs(const fs::path& path, std::vector<fs::path>* inputs) {
  std::error_code error;
  if (fs::is_directory(path, error)) {
    std::vector<fs::path> files;
    for (const auto& item : fs::directory_iterator(path, error))
      if (item.is_regular_file()) files.push_back(item.path());
    std::sort(files.begin(), files.end());
    inputs->insert(inputs->end(), files.begin(), files.end());
  } else if (fs::is_regular_file(path, error)) {
    inputs->push_back(path);
  }
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<fs::path> inputs;
  for (int i = 1; i < argc; ++i) CollectInputs(argv[i], &inputs);
  if (inputs.empty()) {
    std::fprintf(stderr, "replay: no input files found\n");
    return 1;
  }
  for (const fs::path& path : inputs) {
    std::vector<uint8_t> bytes;
    if (!ReadWholeFile(path, &bytes)) {
      std::fprintf(stderr, "replay: cannot read %s\n", path.c_str());
      return 1;
    }
    // Named before it runs, so a crash points at its input.
    std::printf("replay: %s (%zu bytes)\n", path.c_str(), bytes.size());
    std::fflush(stdout);
    // An exact-size heap copy (never null, even when empty): a read past the
    // input's end is caught by ASan.
    std::unique_ptr<uint8_t[]> exact(new uint8_t[bytes.size()]);
    std::copy(bytes.begin(), bytes.end(), exact.get());
    LLVMFuzzerTestOneInput(exact.get(), bytes.size());
  }
  std::printf("replay: %zu inputs, no failure\n", inputs.size());
  return 0;
}
