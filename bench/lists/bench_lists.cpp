// The library at scale, 100,000 rows: list file save and load against SQLite
// with the same rows in one table (same run), sorting by a column, one search
// keystroke over the display names, one repaint of the list view, and adding
// 100,000 files through the add-folder path without tags.
//
//   build/bench/bench/bench_lists --benchmark_min_time=1s
//
// Figures are read as ratios against SQLite (load/save) and against the
// budgets of a 35 ms update tick; none is asserted.
#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <QApplication>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "platform/AtomicFile.h"
#include "lists/SongListTemplate.h"
#include "lists/SongRows.h"
#include "lists/ui/ListSearch.h"
#include "lists/ui/ListeQZ.h"

using namespace zonda;
namespace fs = std::filesystem;

namespace {

constexpr int kRows = 100000;

struct Row {
  std::string name, bpm, genre, comment, album, path;
};

const std::vector<Row>& Rows() {
  static const std::vector<Row> rows = [] {
    std::vector<Row> r;
    std::mt19937 random(7);
    const char* genres[] = {"House", "Techno", "Trance", "Drum & Bass", "Pop", "Funk", "Disco", "Ambient"};
    for (int i = 0; i < kRows; ++i) {
      const int artist = static_cast<int>(random() % 9000), album = static_cast<int>(random() % 30000);
      Row x;
      x.name = "Artist " + std::to_string(artist) + " - Title " + std::to_string(random() % 100000);
      x.bpm = std::to_string(80 + random() % 80);
      if (x.bpm.size() < 3) x.bpm = "0" + x.bpm;
      x.genre = genres[random() % 8];
      x.comment = i % 3 ? "" : "ripped " + std::to_string(1990 + random() % 30);
      x.album = "Album " + std::to_string(album);
      x.path = "/home/dj/Music/Artist " + std::to_string(artist) + "/Album " + std::to_string(album) + "/" +
               std::to_string(i % 20 + 1) + " Title.mp3";
      r.push_back(std::move(x));
    }
    return r;
  }();
  return rows;
}

void FillList(TLista& l) {
  MakeSongListTemplate(l);
  for (const Row& r : Rows()) {
    l.AddRow();
    const int at = l.RowCount();
    l.SetCell(at, ColName, r.name);
    l.SetCell(at, ColBpm, r.bpm);
    l.SetCell(at, ColGenre, r.genre);
    l.SetCell(at, ColComment, r.comment);
    l.SetCell(at, ColAlbum, r.album);
    l.SetCell(at, ColPath, r.path);
  }
}

std::string TempFolder() {
  static const std::string dir = [] {
    const fs::path p = fs::temp_directory_path() / ("zonda-bench-lists-" + std::to_string(::getpid()));
    fs::create_directories(p);
    return p.string();
  }();
  return dir;
}

// ---- the list file ----

void BM_ListSave(benchmark::State& state) {
  TLista l;
  FillList(l);
  const std::string file = TempFolder() + "/list1.lst";
  for (auto _ : state) {
    l.GetColumn(ColName)->IndexStale = true;  // as after edits: one index rebuilt per save
    if (!l.SaveToFile(file)) state.SkipWithError("save failed");
  }
  state.counters["bytes"] = static_cast<double>(fs::file_size(file));
}
BENCHMARK(BM_ListSave)->Unit(benchmark::kMillisecond);

// The same without the disk: building the file image only.
void BM_ListEncode(benchmark::State& state) {
  TLista l;
  FillList(l);
  for (auto _ : state) {
    l.GetColumn(ColName)->IndexStale = true;
    benchmark::DoNotOptimize(l.SaveToStream());
  }
}
BENCHMARK(BM_ListEncode)->Unit(benchmark::kMillisecond);

void BM_ListLoad(benchmark::State& state) {
  const std::string file = TempFolder() + "/list1.lst";
  {
    TLista l;
    FillList(l);
    l.SaveToFile(file);
  }
  for (auto _ : state) {
    TLista l;
    if (!l.LoadFromFile(file) || l.RowCount() != kRows) state.SkipWithError("load failed");
  }
}
BENCHMARK(BM_ListLoad)->Unit(benchmark::kMillisecond);

// ---- SQLite with the same rows ----

void Exec(sqlite3* db, const char* sql) { sqlite3_exec(db, sql, nullptr, nullptr, nullptr); }

void BM_SqliteSave(benchmark::State& state) {
  const std::string file = TempFolder() + "/songs.db";
  for (auto _ : state) {
    fs::remove(file);
    sqlite3* db = nullptr;
    sqlite3_open(file.c_str(), &db);
    Exec(db, "CREATE TABLE songs(pos INTEGER PRIMARY KEY, name TEXT, bpm TEXT, genre TEXT, comment TEXT, album TEXT, path TEXT)");
    Exec(db, "BEGIN");
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db, "INSERT INTO songs VALUES(?,?,?,?,?,?,?)", -1, &st, nullptr);
    int pos = 0;
    for (const Row& r : Rows()) {
      sqlite3_bind_int(st, 1, ++pos);
      int c = 2;
      for (const std::string* t : {&r.name, &r.bpm, &r.genre, &r.comment, &r.album, &r.path})
        sqlite3_bind_text(st, c++, t->data(), static_cast<int>(t->size()), SQLITE_STATIC);
      sqlite3_step(st);
      sqlite3_reset(st);
    }
    sqlite3_finalize(st);
    Exec(db, "COMMIT");
    sqlite3_close(db);
  }
  state.counters["bytes"] = static_cast<double>(fs::file_size(file));
}
BENCHMARK(BM_SqliteSave)->Unit(benchmark::kMillisecond);

void BM_SqliteLoad(benchmark::State& state) {
  const std::string file = TempFolder() + "/songs.db";
  for (auto _ : state) {
    sqlite3* db = nullptr;
    sqlite3_open(file.c_str(), &db);
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db, "SELECT name, bpm, genre, comment, album, path FROM songs ORDER BY pos", -1, &st, nullptr);
    std::vector<Row> rows;
    rows.reserve(kRows);
    while (sqlite3_step(st) == SQLITE_ROW) {
      Row r;
      std::string* fields[] = {&r.name, &r.bpm, &r.genre, &r.comment, &r.album, &r.path};
      for (int c = 0; c < 6; ++c) {
        const auto* t = reinterpret_cast<const char*>(sqlite3_column_text(st, c));
        if (t) fields[c]->assign(t, static_cast<size_t>(sqlite3_column_bytes(st, c)));
      }
      rows.push_back(std::move(r));
    }
    sqlite3_finalize(st);
    sqlite3_close(db);
    if (rows.size() != kRows) state.SkipWithError("load failed");
  }
}
BENCHMARK(BM_SqliteLoad)->Unit(benchmark::kMillisecond);

// ---- sorting and search ----

// A header click on a column whose index must first be rebuilt (after edits),
// and a click that only reverses (the index is current).
void BM_SortAfterEdits(benchmark::State& state) {
  TLista l;
  FillList(l);
  const int col = static_cast<int>(state.range(0));
  for (auto _ : state) {
    l.GetColumn(col)->IndexStale = true;
    l.GetColumn(col)->Sorted = false;
    l.SortByColumn(col);
  }
}
BENCHMARK(BM_SortAfterEdits)->Arg(ColName)->Arg(ColBpm)->Arg(ColPath)->Unit(benchmark::kMillisecond);

void BM_SortReverse(benchmark::State& state) {
  TLista l;
  FillList(l);
  l.SortByColumn(ColName);
  for (auto _ : state) l.SortByColumn(ColName);
}
BENCHMARK(BM_SortReverse)->Unit(benchmark::kMillisecond);

// One keystroke: the whole list scanned (the text is in no row).
void BM_SearchKeystroke(benchmark::State& state) {
  TLista l;
  FillList(l);
  const QString needle = "zzz not there";
  for (auto _ : state) benchmark::DoNotOptimize(FindRowContaining(l, ColName, needle));
}
BENCHMARK(BM_SearchKeystroke)->Unit(benchmark::kMillisecond);

// ---- painting ----

void BM_Repaint(benchmark::State& state) {
  TListeQZ view;
  view.resize(760, 260);
  FillList(view.Shown());
  view.Shown().SetCursor(0, 50000);
  view.Shown().SetCursor(3, 50001);
  view.Redraw();
  for (auto _ : state) view.Redraw();
}
BENCHMARK(BM_Repaint)->Unit(benchmark::kMicrosecond);

// ---- adding a folder ----

void BM_AddFolder(benchmark::State& state) {
  const fs::path root = fs::path(TempFolder()) / "music";
  if (!fs::exists(root)) {
    for (int a = 0; a < 1000; ++a) {
      const fs::path dir = root / ("Artist " + std::to_string(a));
      fs::create_directories(dir);
      for (int t = 0; t < kRows / 1000; ++t) std::ofstream(dir / (std::to_string(t) + " Title.mp3"));
    }
  }
  TSongRowSource source;
  source.Supported = [](const std::string& ext) { return ext == ".MP3"; };
  for (auto _ : state) {
    TLista l;
    MakeSongListTemplate(l);
    if (AddFolderTree(l, root.string(), false, source) != kRows) state.SkipWithError("wrong count");
  }
}
BENCHMARK(BM_AddFolder)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  std::error_code ec;
  fs::remove_all(TempFolder(), ec);
  return 0;
}
