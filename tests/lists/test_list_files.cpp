// The list file, the list index and loading/saving the whole library folder:
// round trips, the shipped files, damaged input, atomic saves and kill -9.
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fcntl.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "platform/AtomicFile.h"
#include "lists/ListIndex.h"
#include "lists/ListSet.h"
#include "lists/SongListTemplate.h"
#include "tests/support/TestFiles.h"

extern char** environ;

using namespace zonda;
namespace fs = std::filesystem;

namespace {

std::string Slurp(const std::string& path) {
  std::string s;
  EXPECT_TRUE(ReadWholeFile(path, s)) << path;
  return s;
}

void Spit(const std::string& path, std::string_view bytes) {
  std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// A song list with sorted, moved and deleted rows, cursors and marks.
void MakeBusyList(TLista& l) {
  MakeSongListTemplate(l);
  const char* names[] = {"delta", "Alpha", "charlie", "", "bravo", "echo", "alpha"};
  for (const char* n : names) {
    l.AddRow();
    l.SetCell(l.RowCount(), ColName, n);
    l.SetCell(l.RowCount(), ColPath, std::string("/m/") + n + ".mp3");
  }
  l.DeleteRow(6);
  l.MoveRow(1, 3);
  l.SortByColumn(ColName);
  l.SortByColumn(ColName);  // descending
  l.SetCursor(0, 2);
  l.SetCursor(1, 4);
  l.SetCursor(3, 1);
  l.SetCursor(3, 5);
  l.SetCursor(3, 3);
}

struct RowState {
  std::string name;
  bool focus, marker, marked;
  bool operator==(const RowState&) const = default;
};

std::vector<RowState> State(const TLista& l) {
  std::vector<RowState> s;
  for (int r = 1; r <= l.RowCount(); ++r)
    s.push_back({std::string(l.GetCell(r, ColName)), l.CursorRow(0) == r, l.CursorRow(1) == r, l.IsRowMarked(r)});
  return s;
}

}  // namespace

TEST(ListFile, ReloadKeepsCursorsMarksSortAndSavesTheSameBytes) {
  TLista a;
  MakeBusyList(a);
  const std::string bytes = a.SaveToStream();
  TLista b;
  std::string error;
  ASSERT_TRUE(b.LoadFromStream(bytes, &error)) << error;
  EXPECT_EQ(State(b), State(a));
  EXPECT_EQ(b.SortColumn(), ColName);
  EXPECT_FALSE(b.GetColumn(ColName)->Ascending);
  EXPECT_EQ(b.MarkCount(), 3);
  EXPECT_EQ(b.SaveToStream(), bytes);
  // Sorting again after the reload toggles as it would have before.
  a.SortByColumn(ColName);
  b.SortByColumn(ColName);
  EXPECT_EQ(State(b), State(a));
}

TEST(ListFile, AlignmentIsNumberedDifferentlyInTheFile) {
  // model: 0 left, 1 right, 2 centre; file: 0 left, 1 centre, 2 right (3 reads right)
  struct Case {
    int32_t model;
    bool numbered;
    int32_t code;
  } const cases[] = {{0, false, 0}, {1, false, 2}, {2, false, 1}, {1, true, 6}, {2, true, 5}};
  for (const Case& c : cases) {
    TLista l;
    l.AddColumn();
    l.GetColumn(1)->Alignment = c.model;
    l.GetColumn(1)->Numbered = c.numbered;
    const std::string bytes = l.SaveToStream();
    // The code follows the column's font record; find it from the caption's end.
    const std::string caption = "Coloana 0";
    const size_t at = bytes.find(caption) + caption.size() + 4 + l.Font.Name.size() + 12;
    const auto code = static_cast<int32_t>(static_cast<unsigned char>(bytes[at]));
    EXPECT_EQ(code, c.code) << c.model;
    TLista back;
    ASSERT_TRUE(back.LoadFromStream(bytes));
    EXPECT_EQ(back.GetColumn(1)->Alignment, c.model);
    EXPECT_EQ(back.GetColumn(1)->Numbered, c.numbered);
    std::string three = bytes;
    three[at] = static_cast<char>(3);
    ASSERT_TRUE(back.LoadFromStream(three));
    EXPECT_EQ(back.GetColumn(1)->Alignment, 1);
  }
}

TEST(ListFile, LocksTravelInTheTwelfthAreaOnlyWhenItsLeftIsOne) {
  TLista l;
  l.SortLocked = true;
  l.SizeLocked = false;
  std::string bytes = l.SaveToStream();
  TLista back;
  ASSERT_TRUE(back.LoadFromStream(bytes));
  EXPECT_TRUE(back.SortLocked);
  EXPECT_FALSE(back.SizeLocked);
  // The twelfth area starts after the header fields and eleven areas.
  const size_t area12 = 4 + l.Font.Name.size() + 12 + 3 + 8 + 1 + 36 + 11 * 46;
  ASSERT_EQ(bytes[area12], 1);
  bytes[area12] = 2;
  ASSERT_TRUE(back.LoadFromStream(bytes));
  EXPECT_FALSE(back.SortLocked);
  EXPECT_FALSE(back.SizeLocked);
}

TEST(ListFile, ShippedFilesAreTheTemplateAndReloadByteForByte) {
  const std::string dir = std::string(ZONDA_SOURCE_ROOT) + "/data/lists";
  TLista templ;
  MakeSongListTemplate(templ);
  EXPECT_EQ(Slurp(dir + "/default.lst"), templ.SaveToStream()) << "data/lists: run zonda-lists defaults";
  for (const char* name : {"default.lst", "list1.lst", "list2.lst", "list3.lst", "list4.lst"}) {
    const std::string bytes = Slurp(dir + "/" + name);
    TLista l;
    std::string error;
    ASSERT_TRUE(l.LoadFromStream(bytes, &error)) << name << ": " << error;
    EXPECT_EQ(l.ColumnCount(), kSongColumns);
    EXPECT_EQ(l.GetColumn(ColName)->Caption, "Artist - Title");
    EXPECT_TRUE(l.GetColumn(ColNumber)->Numbered);
    EXPECT_EQ(l.SaveToStream(), bytes) << name;
  }
  std::vector<TListIndexRecord> records;
  ASSERT_TRUE(DecodeListIndex(Slurp(dir + "/lists.ssa"), records));
  ASSERT_EQ(records.size(), 4u);
  for (size_t i = 0; i < 4; ++i) EXPECT_EQ(records[i].Name, kFixedListNames[i]);
  EXPECT_EQ(EncodeListIndex(records), Slurp(dir + "/lists.ssa"));
}

TEST(ListFile, DamagedFilesAreRefusedWithAReasonNeverACrash) {
  TLista a;
  MakeBusyList(a);
  const std::string good = a.SaveToStream();
  // Every cut of the file.
  for (size_t n = 0; n < good.size(); n += 7) {
    TLista l;
    std::string error;
    EXPECT_FALSE(l.LoadFromStream(std::string_view(good).substr(0, n), &error)) << n;
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(l.RowCount(), 0);
  }
  // Huge lengths and counts where the format puts them.
  auto patch = [&](size_t at, int32_t v) {
    std::string s = good;
    for (int i = 0; i < 4; ++i) s[at + static_cast<size_t>(i)] = static_cast<char>((static_cast<uint32_t>(v) >> (8 * i)) & 0xff);
    return s;
  };
  const size_t columnCountAt = 4 + a.Font.Name.size() + 12 + 3 + 8 + 1 + 36 + 12 * 46;
  const struct {
    const char* what;
    std::string bytes;
  } cases[] = {
      {"font name length 2^31-1", patch(0, 0x7fffffff)},
      {"font name length -1", patch(0, -1)},
      {"column count 10^9", patch(columnCountAt, 1000000000)},
      {"column count -5", patch(columnCountAt, -5)},
  };
  for (const auto& c : cases) {
    TLista l;
    std::string error;
    EXPECT_FALSE(l.LoadFromStream(c.bytes, &error)) << c.what;
    EXPECT_NE(error.find("out of range"), std::string::npos) << c.what << ": " << error;
  }
  // A row count beyond what the file can hold.
  TLista big;
  MakeSongListTemplate(big);
  std::string bytes = big.SaveToStream();
  const size_t rowsAt = bytes.size() - (4 + 4 + 4 * (4 + 4 + 1 + 4 + 1 + 1 + 46) + 7 * (2 + 257 * 4)) - 8;
  for (int i = 0; i < 4; ++i) bytes[rowsAt + static_cast<size_t>(i)] = static_cast<char>(i == 3 ? 0x10 : 0);
  std::string error;
  EXPECT_FALSE(big.LoadFromStream(bytes, &error));
  EXPECT_NE(error.find("row count"), std::string::npos) << error;
}

TEST(ListIndex, NamesAreCutAt255BytesOnACharacterBoundary) {
  std::string umlauts;
  for (int i = 0; i < 200; ++i) umlauts += "\xC3\xA4";  // 400 bytes of "ä"
  const std::vector<TListIndexRecord> in = {{std::string(300, 'x'), "made", 7, 300}, {umlauts, "", -1, 255}};
  const std::string bytes = EncodeListIndex(in);
  ASSERT_EQ(bytes.size(), 2 * kListIndexRecordBytes);
  std::vector<TListIndexRecord> out;
  ASSERT_TRUE(DecodeListIndex(bytes, out));
  EXPECT_EQ(out[0].Name, std::string(255, 'x'));
  EXPECT_EQ(out[0].CreatedName, "made");
  EXPECT_EQ(out[0].ListTag, 7);
  EXPECT_EQ(out[0].BrowserId, 0);  // 300 is out of 0..255
  EXPECT_EQ(out[1].Name.size(), 254u);
  EXPECT_EQ(out[1].ListTag, 0);
  EXPECT_EQ(out[1].BrowserId, 255);
  std::string error;
  EXPECT_FALSE(DecodeListIndex(bytes.substr(0, 600), out, &error));
  EXPECT_EQ(out.size(), 1u);
  EXPECT_FALSE(error.empty());
}

TEST(ListSet, AnUnreadableListKeepsItsSlotAndIsNeverSavedOver) {
  test::TempDir dir;
  const std::string folder = dir.path().string();
  TListVector lists;
  for (int n = 1; n <= 5; ++n) {
    if (n > 1) lists.AppendList();
    MakeBusyList(lists.ListAt(n));
    lists.ListAt(n).Name = lists.ListAt(n).CreatedName = "list " + std::to_string(n);
  }
  ASSERT_TRUE(SaveAllListsTo(folder, lists).empty());
  const std::string damaged = Slurp(ListFilePath(folder, 3)).substr(0, 100);
  Spit(ListFilePath(folder, 3), damaged);
  fs::remove(ListFilePath(folder, 4));

  TListVector loaded;
  const auto problems = LoadAllListsFrom(folder, loaded);
  ASSERT_EQ(problems.size(), 2u);
  EXPECT_NE(problems[0].find("list3.lst"), std::string::npos) << problems[0];
  EXPECT_NE(problems[1].find("list4.lst"), std::string::npos) << problems[1];
  ASSERT_EQ(loaded.ListCount(), 5);
  EXPECT_EQ(loaded.ListAt(5).RowCount(), 6);
  EXPECT_EQ(loaded.ListAt(5).Name, "list 5");
  EXPECT_TRUE(loaded.ListAt(3).Unreadable);
  EXPECT_EQ(loaded.ListAt(3).Name, "list 3");

  ASSERT_TRUE(SaveAllListsTo(folder, loaded).empty());
  EXPECT_EQ(Slurp(ListFilePath(folder, 3)), damaged);
  EXPECT_FALSE(fs::exists(ListFilePath(folder, 4)));
  EXPECT_EQ(loaded.ListAt(2).RowCount(), 0);  // History is emptied by saving
  std::vector<TListIndexRecord> records;
  ASSERT_TRUE(DecodeListIndex(Slurp(folder + "/lists.ssa"), records));
  EXPECT_EQ(records.size(), 5u);
}

TEST(ListSet, AnUnreadableListThatMovesUpTakesItsFileAlong) {
  test::TempDir dir;
  const std::string folder = dir.path().string();
  TListVector lists;
  for (int n = 1; n <= 6; ++n) {
    if (n > 1) lists.AppendList();
    MakeBusyList(lists.ListAt(n));
    lists.ListAt(n).Name = "list " + std::to_string(n);
  }
  ASSERT_TRUE(SaveAllListsTo(folder, lists).empty());
  Spit(ListFilePath(folder, 6), "damaged six");
  TListVector loaded;
  ASSERT_EQ(LoadAllListsFrom(folder, loaded).size(), 1u);
  loaded.RemoveList(5);  // the user deletes list 5: list 6 becomes list 5
  ASSERT_TRUE(SaveAllListsTo(folder, loaded).empty());
  EXPECT_EQ(Slurp(ListFilePath(folder, 5)), "damaged six");
  std::vector<TListIndexRecord> records;
  ASSERT_TRUE(DecodeListIndex(Slurp(folder + "/lists.ssa"), records));
  ASSERT_EQ(records.size(), 5u);
  EXPECT_EQ(records[4].Name, "list 6");
}

TEST(ListSet, MissingIndexIsReported) {
  test::TempDir dir;
  TListVector lists;
  const auto problems = LoadAllListsFrom(dir.path().string(), lists);
  ASSERT_EQ(problems.size(), 1u);
  EXPECT_NE(problems[0].find("lists.ssa"), std::string::npos);
  EXPECT_EQ(lists.ListCount(), 1);
}

TEST(AtomicFile, ReplacesWholeKeepsModeAndLeavesNoTemporaryFile) {
  test::TempDir dir;
  const std::string path = dir.file("a.lst");
  ASSERT_TRUE(WriteFileAtomically(path, "old"));
  ::chmod(path.c_str(), 0640);
  ASSERT_TRUE(WriteFileAtomically(path, "new content"));
  EXPECT_EQ(Slurp(path), "new content");
  EXPECT_EQ(fs::status(path).permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  int files = 0;
  for ([[maybe_unused]] const auto& e : fs::directory_iterator(dir.path())) ++files;
  EXPECT_EQ(files, 1);
  std::string error;
  EXPECT_FALSE(WriteFileAtomically(dir.file("no/such/folder/x.lst"), "x", &error));
  EXPECT_NE(error.find("temporary"), std::string::npos) << error;
}

// zonda-lists churn saves every list over and over; it is killed at random
// moments. Afterwards every file loads whole and the library has all its lists.
TEST(ListSet, KilledWhileSavingEveryFileIsOldOrNewNeverDamaged) {
  test::TempDir dir;
  const std::string folder = dir.path().string();
  const std::string tool = ZONDA_LISTS_TOOL;
  {
    char* argv[] = {const_cast<char*>(tool.c_str()), const_cast<char*>("defaults"), const_cast<char*>(folder.c_str()),
                    nullptr};
    pid_t pid = 0;
    ASSERT_EQ(posix_spawn(&pid, tool.c_str(), nullptr, nullptr, argv, environ), 0);
    int status = 0;
    waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  std::mt19937 random(16);
  int killedWhileRunning = 0;
  for (int round = 0; round < 200; ++round) {
    posix_spawn_file_actions_t quiet;
    posix_spawn_file_actions_init(&quiet);
    posix_spawn_file_actions_addopen(&quiet, 1, "/dev/null", O_WRONLY, 0);
    char* argv[] = {const_cast<char*>(tool.c_str()), const_cast<char*>("churn"), const_cast<char*>(folder.c_str()),
                    const_cast<char*>("0"), nullptr};
    pid_t pid = 0;
    ASSERT_EQ(posix_spawn(&pid, tool.c_str(), &quiet, nullptr, argv, environ), 0);
    posix_spawn_file_actions_destroy(&quiet);
    std::this_thread::sleep_for(std::chrono::microseconds(std::uniform_int_distribution<int>(2000, 80000)(random)));
    ::kill(pid, SIGKILL);
    int status = 0;
    waitpid(pid, &status, 0);
    if (WIFSIGNALED(status)) ++killedWhileRunning;
    TListVector lists;
    const auto problems = LoadAllListsFrom(folder, lists);
    ASSERT_TRUE(problems.empty()) << "round " << round << ": " << problems.front();
    ASSERT_EQ(lists.ListCount(), 4) << "round " << round;
    for (int n = 1; n <= 4; ++n) ASSERT_EQ(lists.ListAt(n).ColumnCount(), kSongColumns) << "round " << round;
  }
  EXPECT_EQ(killedWhileRunning, 200);
  // Temporary files of killed saves are cleared by the next load.
  for (const auto& e : fs::directory_iterator(dir.path()))
    EXPECT_NE(e.path().filename().string()[0], '.') << e.path();
}
