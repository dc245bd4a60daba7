#include "lists/tags/TagFields.h"

#include <filesystem>

#include "lists/tags/ID3v1.h"
#include "lists/tags/ID3v2.h"
#include "lists/tags/OggVorbis.h"
#include "lists/tags/TagLibFields.h"
#include "lists/tags/TagText.h"

namespace zonda {

namespace {

std::string NumberText(int number) { return number != 0 ? std::to_string(number) : std::string(); }

bool ReadMp3(const std::string& fileName, TTagFields& f) {
  TID3v2 v2;
  if (v2.ReadFromFile(fileName) && v2.Exists) {
    f.Title = v2.Title, f.Artist = v2.Artist, f.Album = v2.Album, f.Genre = v2.Genre, f.Comment = v2.Comment;
    f.Year = v2.Year, f.Track = NumberText(v2.Track), f.Composer = v2.Composer, f.Encoder = v2.Encoder;
    f.RightsNotice = v2.RightsNotice, f.Language = v2.Language, f.Link = v2.Link;
    return true;
  }
  TID3v1 v1;
  if (v1.ReadFromFile(fileName) && v1.Exists) {
    f.Title = v1.Title, f.Artist = v1.Artist, f.Album = v1.Album, f.Genre = v1.GenreName();
    f.Comment = v1.Comment, f.Year = v1.Year;
    return true;
  }
  return false;
}

bool ReadOgg(const std::string& fileName, TTagFields& f) {
  TOggVorbis ogg;
  if (!ogg.ReadFromFile(fileName)) return false;
  if (!ogg.Valid()) return true;  // a Vorbis stream too short or broken to trust: no fields
  f.Title = ogg.Title, f.Artist = ogg.Artist, f.Album = ogg.Album, f.Genre = ogg.Genre, f.Comment = ogg.Comment;
  f.Year = ogg.Date, f.Track = NumberText(ogg.Track), f.Vendor = ogg.Vendor;
  return true;
}

}  // namespace

std::string TagFileExtension(const std::string& fileName) {
  std::string ext = std::filesystem::path(fileName).extension().string();
  for (char& c : ext) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return ext;
}

TTagFields ReadTagFields(const std::string& fileName) {
  TTagFields f;
  std::error_code ec;
  if (!std::filesystem::is_regular_file(fileName, ec)) return f;
  const std::string ext = TagFileExtension(fileName);
  if (ext == ".mp3") {
    ReadMp3(fileName, f);
  } else if (ext == ".ogg") {
    if (!ReadOgg(fileName, f)) ReadTagLibFields(fileName, f);  // Opus or FLAC in an .ogg file
  } else if (ext == ".flac" || ext == ".m4a" || ext == ".mp4" || ext == ".aac" || ext == ".alac" || ext == ".opus" ||
             ext == ".wma" || ext == ".asf" || ext == ".aif" || ext == ".aiff" || ext == ".aifc" || ext == ".wav" ||
             ext == ".oga") {
    ReadTagLibFields(fileName, f);
  }
  for (std::string* s : {&f.Artist, &f.Title, &f.Vendor, &f.Link, &f.Language, &f.RightsNotice, &f.Encoder,
                         &f.Composer, &f.Track, &f.Year, &f.Album, &f.Comment, &f.Genre}) {
    CleanTagText(*s);
    *s = TrimTag(*s);
  }
  return f;
}

}  // namespace zonda
