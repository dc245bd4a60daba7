// Start-up cost of the control vocabulary: building the four action tables,
// scanning the English language file, and loading it into texts and hints.
// Target: tables + scan + load together well under 5 ms.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "skin/ActionTables.h"
#include "skin/LanguageTables.h"
#include "skin/XmlParser.h"

namespace {

std::string EnglishFile() { return std::string(ZONDA_SOURCE_ROOT) + "/data/languages/english.xml"; }

void BM_BuildActionTables(benchmark::State& state) {
  for (auto _ : state) {
    zonda::TActionTables tables;
    benchmark::DoNotOptimize(&tables);
  }
}
BENCHMARK(BM_BuildActionTables)->Unit(benchmark::kMicrosecond);

void BM_ScanEnglish(benchmark::State& state) {
  std::ifstream in(EnglishFile(), std::ios::binary);
  std::stringstream bytes;
  bytes << in.rdbuf();
  const std::string doc = bytes.str();
  std::size_t tags = 0;
  for (auto _ : state) {
    zonda::TXmlParser xml;
    xml.OpenBuffer(doc);
    while (xml.NextPart()) tags += xml.PartKind() == zonda::TPartKind::EmptyElementTag;
  }
  benchmark::DoNotOptimize(tags);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(doc.size()));
}
BENCHMARK(BM_ScanEnglish)->Unit(benchmark::kMicrosecond);

// What start-up does: tables, then the language file read from disk and applied.
void BM_TablesAndEnglish(benchmark::State& state) {
  const std::string file = EnglishFile();
  for (auto _ : state) {
    zonda::TActionTables tables;
    zonda::TLanguageTables language(tables);
    language.LoadLanguage(file);
    if (language.Text("ok").empty()) state.SkipWithError("english.xml did not load");
    benchmark::DoNotOptimize(&language);
  }
}
BENCHMARK(BM_TablesAndEnglish)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
