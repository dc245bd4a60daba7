#pragma once
// Where the audio of a raw frame stream (MPEG audio, ADTS) ends: before the
// tags that taggers append to such files, an APEv2/APEv1 tag, a Lyrics3v2
// block and an ID3v1 tag, in any order the taggers write them. A demuxer that
// hunts for frame headers finds "frames" in a tag's binary items (cover art,
// for one) and would play them as a burst of noise at the end.
//
//   const int64_t end = AudioEndBeforeTrailingTags("/music/a.mp3");
//   // packets at or after `end` are not audio
#include <cstdint>
#include <string>

namespace zonda {

// The byte offset of the first trailing tag, or the file size when there is
// none; -1 when the file cannot be read.
int64_t AudioEndBeforeTrailingTags(const std::string& fileName);

}  // namespace zonda
