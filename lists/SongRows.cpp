#include "lists/SongRows.h"

#include <cctype>
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "lists/SongListTemplate.h"

namespace zonda {
namespace fs = std::filesystem;

std::string UpperExtension(const std::string& path) {
  std::string ext = fs::path(path).extension().string();
  for (char& c : ext) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return ext;
}

TSongTexts SongDisplayTexts(const std::string& file, bool readTags, const TSongRowSource& source) {
  TSongTexts t;
  TTagFields tags;
  if (readTags && source.ReadTags) tags = source.ReadTags(file);
  if (!tags.Artist.empty() && !tags.Title.empty())
    t.DisplayName = tags.Artist + " - " + tags.Title;
  else if (!tags.Artist.empty() || !tags.Title.empty())
    t.DisplayName = tags.Artist + tags.Title;
  else
    t.DisplayName = fs::path(file).filename().string();
  t.Genre = tags.Genre;
  t.Comment = tags.Comment;
  t.Album = tags.Album;
  return t;
}

void AppendSongRow(TLista& list, const std::string& file, bool readTags, const TSongTexts& texts,
                   const TSongRowSource& source) {
  if (texts.DisplayName.empty()) return;
  list.AddRow();
  const int row = list.RowCount();
  list.SetCell(row, ColName, texts.DisplayName);
  if (readTags && source.LookupBPM) list.SetCell(row, ColBpm, source.LookupBPM(file));
  list.SetCell(row, ColGenre, texts.Genre);
  list.SetCell(row, ColComment, texts.Comment);
  list.SetCell(row, ColAlbum, texts.Album);
  list.SetCell(row, ColPath, file);
}

void AddFileToList(TLista& list, const std::string& file, bool readTags, const TSongRowSource& source) {
  AppendSongRow(list, file, readTags, SongDisplayTexts(file, readTags, source), source);
}

void CopySongRow(TLista& from, int row, bool reRead, TLista& to, const TSongRowSource& source) {
  if (row < 1 || row > from.RowCount()) return;
  const std::string path(from.GetCell(row, ColPath));
  if (reRead) {
    AddFileToList(to, path, true, source);
    return;
  }
  to.AddRow();
  const int at = to.RowCount();
  for (int col : {ColName, ColGenre, ColComment, ColAlbum, ColPath}) to.SetCell(at, col, from.GetCell(row, col));
  if (source.LookupBPM) to.SetCell(at, ColBpm, source.LookupBPM(path));
}

namespace {

// Returns false when stopped by the progress hook.
bool AddFolder(TLista& list, const fs::path& folder, bool readTags, bool recurse, const TSongRowSource& source,
               size_t& added) {
  std::error_code ec;
  fs::directory_iterator it(folder, fs::directory_options::skip_permission_denied, ec);
  for (; !ec && it != fs::directory_iterator(); it.increment(ec)) {
    const fs::directory_entry& e = *it;
    std::error_code typeError;
    if (e.is_directory(typeError)) {
      if (recurse && !e.is_symlink(typeError) && !AddFolder(list, e.path(), readTags, true, source, added))
        return false;
      continue;
    }
    if (!e.is_regular_file(typeError)) continue;
    const std::string path = e.path().string();
    if (source.Supported && !source.Supported(UpperExtension(path))) continue;
    AddFileToList(list, path, readTags, source);
    if (++added % 256 == 0 && source.Progress && !source.Progress(added)) return false;
  }
  return true;
}

// A root given as "/" stays "/"; other folders lose a trailing separator.
fs::path FolderPath(const std::string& folder) {
  std::string f = folder;
  while (f.size() > 1 && f.back() == '/') f.pop_back();
  return fs::path(f);
}

}  // namespace

size_t AddFolderFiles(TLista& list, const std::string& folder, bool readTags, const TSongRowSource& source) {
  size_t added = 0;
  AddFolder(list, FolderPath(folder), readTags, false, source, added);
  return added;
}

size_t AddFolderTree(TLista& list, const std::string& folder, bool readTags, const TSongRowSource& source) {
  size_t added = 0;
  AddFolder(list, FolderPath(folder), readTags, true, source, added);
  return added;
}

int StoreDetectedBpm(TListHolder& lists, const std::string& songName, int bpm, int votes) {
  if (bpm < 70 || bpm > 160 || votes <= 3 || songName.empty()) return 0;
  char text[8];
  std::snprintf(text, sizeof text, "%03d", bpm);
  int changed = 0;
  for (int n = 1; n <= lists.ListCount(); ++n) {
    TLista& l = lists.ListAt(n);
    for (int r = 1; r <= l.RowCount(); ++r) {
      const std::string_view name = l.GetCell(r, ColName);
      if (name.size() != songName.size()) continue;
      bool same = true;
      for (size_t i = 0; same && i < name.size(); ++i)
        same = std::toupper(static_cast<unsigned char>(name[i])) == static_cast<unsigned char>(songName[i]);
      if (!same) continue;
      l.SetCell(r, ColBpm, text);
      ++changed;
    }
  }
  return changed;
}

int NextRowAfter(int row, int rowCount) {
  const int next = rowCount > 0 ? (row + 1) % (rowCount + 1) : 0;
  return next == 0 ? 1 : next;
}

}  // namespace zonda
