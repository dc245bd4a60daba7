#pragma once
// The song list layout a new installation ships ("default.lst" and the four
// fixed lists): seven columns - number, "Artist - Title", BPM, genre, comment,
// album, file name - with their captions and widths, and the list style.
#include <string>

#include "lists/Lista.h"

namespace zonda {

inline constexpr int kSongColumns = 7;
enum TSongColumn { ColNumber = 1, ColName = 2, ColBpm = 3, ColGenre = 4, ColComment = 5, ColAlbum = 6, ColPath = 7 };

// Clears list and gives it the song columns and style.
void MakeSongListTemplate(TLista& list);

// The four fixed lists: 1 Database, 2 History, 3 reserved, 4 Explorer.
inline constexpr const char* kFixedListNames[4] = {"Database", "History", "Reserved", "Explorer"};

}  // namespace zonda
