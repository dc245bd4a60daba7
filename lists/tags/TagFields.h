#pragma once
// ReadTagFields: every tag field of a song file as display text, in one call.
//
//   const TTagFields f = ReadTagFields(path);   // rows show f.Artist + " - " + f.Title
//
// MP3: the ID3v2 tag, or the ID3v1 tag when there is no ID3v2 tag (its track
// is not used). Ogg Vorbis: the comment header of a valid stream. FLAC,
// M4A/AAC/ALAC, Opus, WMA, AIFF and WAV (and an Ogg file of another codec):
// their tags through TagLib. Every field is UTF-8 passed through CleanTagText;
// absent fields, unknown extensions and missing files give empty texts.
//
// Any thread (each call has its own readers).
#include <string>

namespace zonda {

struct TTagFields {
  std::string Artist, Title, Vendor, Link, Language, RightsNotice, Encoder, Composer, Track, Year, Album, Comment,
      Genre;
};

TTagFields ReadTagFields(const std::string& fileName);

// The file's extension, lower-cased, with its dot (".mp3"); empty without one.
std::string TagFileExtension(const std::string& fileName);

}  // namespace zonda
