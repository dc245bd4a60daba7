// Song rows, folders, play lists, exports and the detected tempo, on real files.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "lists/ListExport.h"
#include "lists/M3UImport.h"
#include "lists/SongListTemplate.h"
#include "lists/SongRows.h"
#include "tests/support/TestFiles.h"

using namespace zonda;
namespace fs = std::filesystem;

namespace {

void Touch(const fs::path& p, const std::string& text = "x") {
  fs::create_directories(p.parent_path());
  std::ofstream(p, std::ios::binary) << text;
}

TSongRowSource AudioOnly() {
  TSongRowSource s;
  s.Supported = [](const std::string& ext) { return ext == ".MP3" || ext == ".WAV" || ext == ".FLAC"; };
  s.LookupBPM = [](const std::string&) { return std::string("128"); };
  return s;
}

std::vector<std::string> Col(const TLista& l, int col) {
  std::vector<std::string> out;
  for (int r = 1; r <= l.RowCount(); ++r) out.emplace_back(l.GetCell(r, col));
  return out;
}

}  // namespace

TEST(SongRows, UntaggedFileShowsItsNameAndNoTagsLeavesTheBpmEmpty) {
  TLista l;
  MakeSongListTemplate(l);
  TSongRowSource source = AudioOnly();
  AddFileToList(l, "/music/My Song.mp3", true, source);
  AddFileToList(l, "/music/Other.wav", false, source);
  EXPECT_EQ(Col(l, ColName), (std::vector<std::string>{"My Song.mp3", "Other.wav"}));
  EXPECT_EQ(Col(l, ColBpm), (std::vector<std::string>{"128", ""}));
  EXPECT_EQ(Col(l, ColPath), (std::vector<std::string>{"/music/My Song.mp3", "/music/Other.wav"}));
  source.ReadTags = [](const std::string&) {
    TTagFields t;
    t.Artist = "Artist";
    t.Title = "Title";
    t.Genre = "House";
    return t;
  };
  AddFileToList(l, "/music/t.mp3", true, source);
  EXPECT_EQ(l.GetCell(3, ColName), "Artist - Title");
  EXPECT_EQ(l.GetCell(3, ColGenre), "House");
  CopySongRow(l, 3, false, l, source);
  EXPECT_EQ(l.GetCell(4, ColName), "Artist - Title");
  EXPECT_EQ(l.GetCell(4, ColBpm), "128");
}

TEST(SongRows, FolderTreeAddsSupportedFilesRecursivelyAndFilesOnlyAddsTheTop) {
  test::TempDir dir;
  const fs::path root = dir.path() / "music";
  Touch(root / "a.mp3");
  Touch(root / "notes.txt");
  Touch(root / "sub" / "b.FLAC");
  Touch(root / "sub" / "deeper" / "c.wav");
  fs::create_directory_symlink(root, root / "sub" / "loop");  // never followed
  TLista l;
  MakeSongListTemplate(l);
  EXPECT_EQ(AddFolderFiles(l, root.string() + "/", false, AudioOnly()), 1u);
  EXPECT_EQ(l.GetCell(1, ColName), "a.mp3");
  l.ClearRows();
  EXPECT_EQ(AddFolderTree(l, root.string(), false, AudioOnly()), 3u);
  std::vector<std::string> names = Col(l, ColName);
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"a.mp3", "b.FLAC", "c.wav"}));
  EXPECT_EQ(AddFolderTree(l, (dir.path() / "none").string(), false, AudioOnly()), 0u);
}

TEST(SongRows, ProgressCanStopAFolderAdd) {
  test::TempDir dir;
  for (int i = 0; i < 600; ++i) Touch(dir.path() / ("f" + std::to_string(i) + ".mp3"));
  TLista l;
  MakeSongListTemplate(l);
  TSongRowSource source = AudioOnly();
  std::vector<size_t> calls;
  source.Progress = [&](size_t added) {
    calls.push_back(added);
    return added < 512;
  };
  EXPECT_EQ(AddFolderTree(l, dir.path().string(), false, source), 512u);
  EXPECT_EQ(calls, (std::vector<size_t>{256, 512}));
}

TEST(M3U, RelativeNamesBomUrlsCommentsAndMissingFiles) {
  test::TempDir dir;
  const fs::path lists = dir.path() / "lists";
  Touch(dir.path() / "music" / "one.mp3");
  Touch(dir.path() / "music" / "two words.mp3");
  Touch(lists / "near.mp3");
  Touch(dir.path() / "music" / "caf\xC3\xA9.mp3");
  const std::string text = std::string("\xEF\xBB\xBF#EXTM3U\r\n") +
                           "#EXTINF:123,Artist - One\r\n"
                           "../music/one.mp3\r\n"
                           "\r\n"
                           "# a comment\r\n"
                           "missing.mp3\r\n"
                           "near.mp3\r\n"
                           "..\\music\\one.mp3\r\n"
                           "file://" + (dir.path() / "music").string() + "/two%20words.mp3\n" +
                           (dir.path() / "music").string() + "/caf\xE9.mp3\n";  // Windows-1252
  Touch(lists / "set.m3u8", text);
  const auto files = ReadPlaylistFiles((lists / "set.m3u8").string());
  const std::string m = (dir.path() / "music").string();
  EXPECT_EQ(files, (std::vector<std::string>{m + "/one.mp3", (lists / "near.mp3").string(), m + "/one.mp3",
                                              m + "/two words.mp3", m + "/caf\xC3\xA9.mp3"}));
  EXPECT_TRUE(ReadPlaylistFiles((lists / "absent.m3u").string()).empty());
}

TEST(Export, HtmlEscapesEveryTextAndWritesOnlyVisibleColumns) {
  TLista l;
  MakeSongListTemplate(l);
  for (int c = ColBpm; c <= ColAlbum; ++c) l.GetColumn(c)->Visible = false;  // 2 and 7 stay
  l.AddRow();
  l.SetCell(1, ColName, "<script>alert(\"x\")</script> & co");
  l.SetCell(1, ColPath, "/m/a.mp3");
  l.AddRow();
  l.SetCell(2, ColPath, "/m/b.mp3");
  const std::string html = ListToHtml(l, "My <list>", [](const char* key) { return std::string(key); });
  EXPECT_EQ(html.find("<script>"), std::string::npos);
  EXPECT_NE(html.find("&lt;script&gt;alert(&quot;x&quot;)&lt;/script&gt; &amp; co"), std::string::npos);
  EXPECT_NE(html.find("main_listname: My &lt;list&gt;"), std::string::npos);
  EXPECT_NE(html.find("<td><font size=\"1\" face=\"Verdana\"><b>&nbsp;</b></font></td>"), std::string::npos);
  EXPECT_NE(html.find("<b> 2</b>"), std::string::npos);
  EXPECT_NE(html.find("#f4f4f4"), std::string::npos);
  // Header: number, name, file name; each row three cells.
  size_t cells = 0;
  for (size_t at = 0; (at = html.find("<td>", at)) != std::string::npos; ++at) ++cells;
  EXPECT_EQ(cells, 3u * 3u);
  EXPECT_NE(html.find("\r\n"), std::string::npos);
  EXPECT_EQ(html.substr(html.size() - 9), "</html>\r\n");
  EXPECT_EQ(ListToM3U8(l), "#EXTM3U\n#EXTINF:-1,<script>alert(\"x\")</script> & co\n/m/a.mp3\n#EXTINF:-1,\n/m/b.mp3\n");
}

TEST(SongRows, DetectedBpmReachesEveryListAndTheNextRowWraps) {
  TListVector lists;
  lists.AppendList();
  for (int n = 1; n <= 2; ++n) {
    MakeSongListTemplate(lists.ListAt(n));
    for (const char* name : {"Beat One.mp3", "beat one.mp3", "Other.mp3"}) {
      lists.ListAt(n).AddRow();
      lists.ListAt(n).SetCell(lists.ListAt(n).RowCount(), ColName, name);
    }
  }
  struct Case {
    int bpm, votes, changed;
    const char* text;
  } const cases[] = {{98, 4, 4, "098"}, {128, 10, 4, "128"}, {69, 10, 0, "128"}, {161, 9, 0, "128"}, {120, 3, 0, "128"}};
  for (const Case& c : cases) {
    EXPECT_EQ(StoreDetectedBpm(lists, "BEAT ONE.MP3", c.bpm, c.votes), c.changed) << c.bpm;
    EXPECT_EQ(lists.ListAt(2).GetCell(2, ColBpm), c.text) << c.bpm;
    EXPECT_EQ(lists.ListAt(2).GetCell(3, ColBpm), "");
  }
  EXPECT_EQ(NextRowAfter(3, 5), 4);
  EXPECT_EQ(NextRowAfter(5, 5), 1);
  EXPECT_EQ(NextRowAfter(0, 5), 1);
}
