#pragma once
// Reading play lists (".m3u", ".m3u8"): the files a play list names that
// exist, in order. Lines are UTF-8 with or without a byte-order mark (lines
// that are not UTF-8 are read as Windows-1252); "#EXTM3U", "#EXTINF" and
// other comment lines are skipped; relative names are taken from the play
// list's folder; "file://" URLs are decoded; "\" separators are accepted.
#include <string>
#include <string_view>
#include <vector>

namespace zonda {

std::vector<std::string> ReadPlaylistFiles(const std::string& playlist);
// The same from the play list's text and its folder.
std::vector<std::string> PlaylistFiles(std::string_view text, const std::string& folder);

}  // namespace zonda
