// zonda-lists: the library folder's files from the command line.
//
//   zonda-lists defaults DIR        the shipped files: lists.ssa, list1..4.lst, default.lst
//   zonda-lists churn DIR ROUNDS    loads DIR, then ROUNDS times changes every list
//                                   and saves them all (0 = until killed); prints
//                                   "round N" after each save
//   zonda-lists check DIR           loads DIR; exit 0 when every list loaded,
//                                   1 with the problems otherwise
//
// Exit 2 on a usage error.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "lists/ListSet.h"
#include "lists/SongListTemplate.h"

using namespace zonda;

namespace {

int Defaults(const std::string& dir) {
  TLista templ;
  MakeSongListTemplate(templ);
  std::string error;
  if (!templ.SaveToFile(dir + "/default.lst", &error)) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return 1;
  }
  TListVector lists;
  for (int n = 1; n <= 4; ++n) {
    if (n > 1) lists.AppendList();
    TLista& l = lists.ListAt(n);
    MakeSongListTemplate(l);
    l.Name = l.CreatedName = kFixedListNames[n - 1];
    l.BrowserId = 0;
  }
  for (const std::string& p : SaveAllListsTo(dir, lists)) {
    std::fprintf(stderr, "%s\n", p.c_str());
    return 1;
  }
  return 0;
}

// Each round gives every list a different number of rows, so an old and a new
// file differ in size and content.
int Churn(const std::string& dir, long rounds) {
  TListVector lists;
  for (const std::string& p : LoadAllListsFrom(dir, lists)) std::fprintf(stderr, "%s\n", p.c_str());
  for (long round = 1; rounds == 0 || round <= rounds; ++round) {
    for (int n = 1; n <= lists.ListCount(); ++n) {
      TLista& l = lists.ListAt(n);
      if (l.ColumnCount() == 0) MakeSongListTemplate(l);
      l.ClearRows();
      const int rows = static_cast<int>((round * 37 + n * 11) % 400);
      for (int r = 1; r <= rows; ++r) {
        l.AddRow();
        l.SetCell(r, ColName, "Artist " + std::to_string(r) + " - Round " + std::to_string(round));
        l.SetCell(r, ColPath, "/music/" + std::to_string(n) + "/" + std::to_string(r) + ".mp3");
        l.SetCell(r, ColBpm, std::to_string(100 + r % 50));
      }
      if (rows > 0) l.SetCursor(0, 1 + static_cast<int>(round % rows));
      l.SortByColumn(ColName);
    }
    for (const std::string& p : SaveAllListsTo(dir, lists)) {
      std::fprintf(stderr, "%s\n", p.c_str());
      return 1;
    }
    std::printf("round %ld\n", round);
    std::fflush(stdout);
  }
  return 0;
}

int Check(const std::string& dir) {
  TListVector lists;
  const auto problems = LoadAllListsFrom(dir, lists);
  for (const std::string& p : problems) std::printf("%s\n", p.c_str());
  std::printf("%d lists\n", lists.ListCount());
  return problems.empty() ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string cmd = argc > 1 ? argv[1] : "";
  if (argc == 3 && cmd == "defaults") return Defaults(argv[2]);
  if (argc == 4 && cmd == "churn") return Churn(argv[2], std::strtol(argv[3], nullptr, 10));
  if (argc == 3 && cmd == "check") return Check(argv[2]);
  std::fprintf(stderr, "usage: zonda-lists defaults DIR | churn DIR ROUNDS | check DIR\n");
  return 2;
}
