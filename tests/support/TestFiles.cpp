#include "tests/support/TestFiles.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <stdexcept>

namespace zonda::test {
namespace {

void Put16(std::vector<uint8_t>& b, uint16_t v) {
  b.push_back(v & 0xFF);
  b.push_back(v >> 8);
}
void Put32(std::vector<uint8_t>& b, uint32_t v) {
  for (int i = 0; i < 4; ++i) b.push_back((v >> (8 * i)) & 0xFF);
}
void PutTag(std::vector<uint8_t>& b, const char* tag) { b.insert(b.end(), tag, tag + 4); }

}  // namespace

TempDir::TempDir() {
  std::random_device rd;
  auto base = std::filesystem::temp_directory_path();
  for (int attempt = 0; attempt < 100; ++attempt) {
    auto candidate = base / ("zonda-test-" + std::to_string(rd()));
    if (std::filesystem::create_directory(candidate)) {
      path_ = candidate;
      return;
    }
  }
  throw std::runtime_error("cannot create a temporary folder");
}

TempDir::~TempDir() {
  std::error_code ec;
  std::filesystem::remove_all(path_, ec);
}

void WriteWav(const std::string& fileName, const WavSpec& recipe, const std::vector<uint8_t>& sampleBytes) {
  std::vector<uint8_t> b;
  PutTag(b, "RIFF");
  Put32(b, 0);  // patched below
  PutTag(b, "WAVE");
  if (recipe.chunkBeforeFmt) {
    PutTag(b, "LIST");
    Put32(b, 6);
    const char info[] = "INFOab";
    b.insert(b.end(), info, info + 6);
  }
  PutTag(b, "fmt ");
  Put32(b, recipe.fmtChunkBytes);
  const uint16_t blockAlign = recipe.channels * recipe.bits / 8;
  Put16(b, recipe.formatTag);
  Put16(b, recipe.channels);
  Put32(b, recipe.rateHz);
  Put32(b, recipe.rateHz * blockAlign);
  Put16(b, blockAlign);
  Put16(b, recipe.bits);
  if (recipe.fmtChunkBytes >= 18) Put16(b, recipe.fmtChunkBytes == 40 ? 22 : 0);
  if (recipe.fmtChunkBytes == 40) {
    Put16(b, recipe.bits);                       // valid bits
    Put32(b, recipe.channels == 1 ? 0x4 : 0x3);  // channel mask
    // KSDATAFORMAT_SUBTYPE_PCM {00000001-0000-0010-8000-00aa00389b71}
    const uint8_t guid[16] = {1, 0, 0, 0, 0, 0, 0x10, 0, 0x80, 0, 0, 0xAA, 0, 0x38, 0x9B, 0x71};
    b.insert(b.end(), guid, guid + 16);
  }
  PutTag(b, "data");
  Put32(b, static_cast<uint32_t>(sampleBytes.size()));
  b.insert(b.end(), sampleBytes.begin(), sampleBytes.end());
  if (sampleBytes.size() % 2) b.push_back(0);  // RIFF pad byte
  b.insert(b.end(), recipe.trailingChunk.begin(), recipe.trailingChunk.end());
  const uint32_t riffSize = static_cast<uint32_t>(b.size() - 8);
  for (int i = 0; i < 4; ++i) b[4 + i] = (riffSize >> (8 * i)) & 0xFF;
  std::ofstream out(fileName, std::ios::binary);
  out.write(reinterpret_cast<const char*>(b.data()), static_cast<std::streamsize>(b.size()));
  if (!out) throw std::runtime_error("cannot write " + fileName);
}

std::vector<int16_t> SineStereo(int64_t frames, double freqLeftHz, double freqRightHz, double amplitude,
                                uint32_t rateHz) {
  std::vector<int16_t> out(static_cast<size_t>(frames) * 2);
  const double twoPi = 2.0 * M_PI;
  for (int64_t i = 0; i < frames; ++i) {
    const double t = static_cast<double>(i) / rateHz;
    out[2 * i] = static_cast<int16_t>(std::lround(amplitude * 32767.0 * std::sin(twoPi * freqLeftHz * t)));
    out[2 * i + 1] = static_cast<int16_t>(std::lround(amplitude * 32767.0 * std::sin(twoPi * freqRightHz * t)));
  }
  return out;
}

void WriteDeckWav(const std::string& fileName, const std::vector<int16_t>& interleaved) {
  std::vector<uint8_t> bytes(interleaved.size() * 2);
  for (size_t i = 0; i < interleaved.size(); ++i) {
    const auto v = static_cast<uint16_t>(interleaved[i]);
    bytes[2 * i] = v & 0xFF;
    bytes[2 * i + 1] = v >> 8;
  }
  WriteWav(fileName, WavSpec{}, bytes);
}

std::vector<uint8_t> ReadAll(const std::string& fileName) {
  std::ifstream in(fileName, std::ios::binary);
  return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

int Run(const std::string& command) {
  const int status = std::system(command.c_str());
  if (status == -1) return -1;
  return WEXITSTATUS(status);
}

bool HaveTool(const std::string& tool) {
  return Run("command -v " + tool + " >/dev/null 2>&1") == 0;
}

}  // namespace zonda::test
