// Replays a fuzz target's seeds without libFuzzer: every file in the folders
// (or the files) named on the command line, in name order, goes once through
// the target's LLVMFuzzerTestOneInput. Built by the ordinary test build with
// its sanitizers, so the seed corpus runs as a regression test under ctest.
// A crash, a sanitizer report or an abort() in the target fails the run;
// a missing or empty seed folder fails it too.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace fs = std::filesystem;

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s SEED_FOLDER_OR_FILE...\n", argv[0]);
    return 2;
  }
  std::vector<fs::path> seeds;
  for (int i = 1; i < argc; ++i) {
    const fs::path arg = argv[i];
    std::error_code ec;
    if (fs::is_directory(arg, ec)) {
      for (const fs::directory_entry& e : fs::directory_iterator(arg, ec)) {
        if (e.is_regular_file(ec)) seeds.push_back(e.path());
      }
    } else if (fs::is_regular_file(arg, ec)) {
      seeds.push_back(arg);
    } else {
      std::fprintf(stderr, "%s: no such seed folder or file\n", arg.c_str());
      return 1;
    }
    if (ec) {
      std::fprintf(stderr, "%s: %s\n", arg.c_str(), ec.message().c_str());
      return 1;
    }
  }
  if (seeds.empty()) {
    std::fprintf(stderr, "no seed files found\n");
    return 1;
  }
  std::sort(seeds.begin(), seeds.end());
  for (const fs::path& seed : seeds) {
    std::ifstream in(seed, std::ios::binary);
    if (!in) {
      std::fprintf(stderr, "%s: cannot open\n", seed.c_str());
      return 1;
    }
    const std::vector<uint8_t> bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    std::printf("%s (%zu bytes)\n", seed.c_str(), bytes.size());
    std::fflush(stdout);
    LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
  }
  std::printf("%zu seeds replayed\n", seeds.size());
  return 0;
}
