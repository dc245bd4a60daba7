#pragma once
// Song rows: what the main window puts into a list for a music file, and the
// operations that fill lists from files, folders and other lists.
//
//   TSongRowSource source;                       // wired by the program
//   source.Supported = [](const std::string& ext) { return IsSupportedExtension(ext); };
//   AddFolderTree(list, "/music", true, source);
//
// A row's columns: 1 number (never written), 2 display name, 3 BPM, 4 genre,
// 5 comment, 6 album, 7 full path. Free of widgets; main thread.
#include <cstddef>
#include <functional>
#include <string>

#include "lists/ListSet.h"
#include "lists/Lista.h"
#include "lists/tags/TagFields.h"

namespace zonda {

// What rows are built from; each hook may be empty.
struct TSongRowSource {
  std::function<TTagFields(const std::string& file)> ReadTags = ReadTagFields;
  std::function<std::string(const std::string& file)> LookupBPM;     // stored BPM text or ""
  std::function<bool(const std::string& extUpper)> Supported;        // ".MP3"; empty: every file
  // Called every 256 files added by the folder operations; false stops them.
  std::function<bool(size_t added)> Progress;
};

struct TSongTexts {
  std::string DisplayName, Genre, Comment, Album;
};

// "Artist - Title", or whichever exists, or the file name with extension.
TSongTexts SongDisplayTexts(const std::string& file, bool readTags, const TSongRowSource& source);

// Appends a row (nothing when displayName is empty); the BPM column is looked up only with readTags.
void AppendSongRow(TLista& list, const std::string& file, bool readTags, const TSongTexts& texts,
                   const TSongRowSource& source);
void AddFileToList(TLista& list, const std::string& file, bool readTags, const TSongRowSource& source);

// Copies a row of one list to the end of another: rebuilt from the file when
// reRead, else columns 2, 4-7 copied and the BPM looked up again.
void CopySongRow(TLista& from, int row, bool reRead, TLista& to, const TSongRowSource& source);

// The supported files of folder (AddFolderTree: and of every folder below it,
// depth first where met; linked folders are not followed), in the order the
// file system gives them. Returns the number of rows added.
size_t AddFolderFiles(TLista& list, const std::string& folder, bool readTags, const TSongRowSource& source);
size_t AddFolderTree(TLista& list, const std::string& folder, bool readTags, const TSongRowSource& source);

// The extension of a path with its dot, upper-cased (".MP3"), or "".
std::string UpperExtension(const std::string& path);

// The detected tempo of a deck's song into every list: rows whose upper-cased
// display name equals songName get bpm as three digits in column 3. Only a
// tempo in 70..160 with more than 3 votes counts. Returns the rows changed.
int StoreDetectedBpm(TListHolder& lists, const std::string& songName, int bpm, int votes);

// Next row to load after row: the following one, wrapping to 1.
int NextRowAfter(int row, int rowCount);

}  // namespace zonda
