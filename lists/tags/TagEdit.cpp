#include "lists/tags/TagEdit.h"

#include <filesystem>

#include "lists/tags/ID3v1.h"
#include "lists/tags/ID3v2.h"
#include "lists/tags/OggVorbis.h"
#include "lists/tags/TagFields.h"
#include "lists/tags/TagText.h"

namespace zonda {

namespace {

bool SaveMp3(const std::string& fileName, const TTagEdit& e) {
  TID3v2 tag;
  if (!tag.ReadFromFile(fileName)) return false;
  if (!tag.Exists) {
    TID3v1 v1;
    if (v1.ReadFromFile(fileName) && v1.Exists) {
      tag.SetTitle(v1.Title);
      tag.SetArtist(v1.Artist);
      tag.SetAlbum(v1.Album);
      tag.SetYear(v1.Year);
      tag.SetGenre(v1.GenreName());
      tag.SetComment(v1.Comment);
    }
  }
  if (e.Title) tag.SetTitle(*e.Title);
  if (e.Artist) tag.SetArtist(*e.Artist);
  if (e.Album) tag.SetAlbum(*e.Album);
  if (e.Track) tag.SetTrack(TrackFromText(*e.Track));
  if (e.Year) tag.SetYear(*e.Year);
  if (e.Genre) tag.SetGenre(*e.Genre);
  if (e.Comment) tag.SetComment(*e.Comment);
  return tag.SaveToFile(fileName);
}

bool SaveOgg(const std::string& fileName, const TTagEdit& e) {
  TOggVorbis ogg;
  if (!ogg.ReadFromFile(fileName)) return false;
  if (e.Title) ogg.Title = TrimTag(*e.Title);
  if (e.Artist) ogg.Artist = TrimTag(*e.Artist);
  if (e.Album) ogg.Album = TrimTag(*e.Album);
  if (e.Track) ogg.Track = static_cast<uint16_t>(TrackFromText(*e.Track));
  if (e.Year) ogg.Date = TrimTag(*e.Year);
  if (e.Genre) ogg.Genre = TrimTag(*e.Genre);
  if (e.Comment) ogg.Comment = TrimTag(*e.Comment);
  return ogg.SaveTag(fileName);
}

}  // namespace

bool IsEditableTagFile(const std::string& fileName) {
  const std::string ext = TagFileExtension(fileName);
  return ext == ".mp3" || ext == ".ogg";
}

int TrackFromText(std::string_view text) {
  const std::string t = TrimTag(text);
  if (t.empty() || t.size() > 5) return 0;
  int value = 0;
  for (const char c : t) {
    if (c < '0' || c > '9') return 0;
    value = value * 10 + (c - '0');
  }
  return value <= 65535 ? value : 0;
}

bool SaveTagEdit(const std::string& fileName, const TTagEdit& edit) {
  std::error_code ec;
  if (!std::filesystem::is_regular_file(fileName, ec)) return false;
  const std::string ext = TagFileExtension(fileName);
  if (ext == ".mp3") return SaveMp3(fileName, edit);
  if (ext == ".ogg") return SaveOgg(fileName, edit);
  return false;
}

}  // namespace zonda
