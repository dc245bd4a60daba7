#include "lists/tags/ID3v1.h"

#include <array>

#include "lists/tags/TagFile.h"
#include "lists/tags/TagText.h"

namespace zonda {

namespace {

using namespace std::string_view_literals;

// The ID3v1 genres 0..79 and the 68 common extensions 80..147.
constexpr std::array<std::string_view, 148> kGenres = {
    "Blues"sv, "Classic Rock"sv, "Country"sv, "Dance"sv, "Disco"sv, "Funk"sv, "Grunge"sv, "Hip-Hop"sv, "Jazz"sv,
    "Metal"sv, "New Age"sv, "Oldies"sv, "Other"sv, "Pop"sv, "R&B"sv, "Rap"sv, "Reggae"sv, "Rock"sv, "Techno"sv,
    "Industrial"sv, "Alternative"sv, "Ska"sv, "Death Metal"sv, "Pranks"sv, "Soundtrack"sv, "Euro-Techno"sv,
    "Ambient"sv, "Trip-Hop"sv, "Vocal"sv, "Jazz+Funk"sv, "Fusion"sv, "Trance"sv, "Classical"sv, "Instrumental"sv,
    "Acid"sv, "House"sv, "Game"sv, "Sound Clip"sv, "Gospel"sv, "Noise"sv, "AlternRock"sv, "Bass"sv, "Soul"sv,
    "Punk"sv, "Space"sv, "Meditative"sv, "Instrumental Pop"sv, "Instrumental Rock"sv, "Ethnic"sv, "Gothic"sv,
    "Darkwave"sv, "Techno-Industrial"sv, "Electronic"sv, "Pop-Folk"sv, "Eurodance"sv, "Dream"sv, "Southern Rock"sv,
    "Comedy"sv, "Cult"sv, "Gangsta"sv, "Top 40"sv, "Christian Rap"sv, "Pop/Funk"sv, "Jungle"sv,
    "Native American"sv, "Cabaret"sv, "New Wave"sv, "Psychadelic"sv, "Rave"sv, "Showtunes"sv, "Trailer"sv,
    "Lo-Fi"sv, "Tribal"sv, "Acid Punk"sv, "Acid Jazz"sv, "Polka"sv, "Retro"sv, "Musical"sv, "Rock & Roll"sv,
    "Hard Rock"sv, "Folk"sv, "Folk-Rock"sv, "National Folk"sv, "Swing"sv, "Fast Fusion"sv, "Bebob"sv, "Latin"sv,
    "Revival"sv, "Celtic"sv, "Bluegrass"sv, "Avantgarde"sv, "Gothic Rock"sv, "Progessive Rock"sv,
    "Psychedelic Rock"sv, "Symphonic Rock"sv, "Slow Rock"sv, "Big Band"sv, "Chorus"sv, "Easy Listening"sv,
    "Acoustic"sv, "Humour"sv, "Speech"sv, "Chanson"sv, "Opera"sv, "Chamber Music"sv, "Sonata"sv, "Symphony"sv,
    "Booty Bass"sv, "Primus"sv, "Porn Groove"sv, "Satire"sv, "Slow Jam"sv, "Club"sv, "Tango"sv, "Samba"sv,
    "Folklore"sv, "Ballad"sv, "Power Ballad"sv, "Rhythmic Soul"sv, "Freestyle"sv, "Duet"sv, "Punk Rock"sv,
    "Drum Solo"sv, "A capella"sv, "Euro-House"sv, "Dance Hall"sv, "Goa"sv, "Drum & Bass"sv, "Club-House"sv,
    "Hardcore"sv, "Terror"sv, "Indie"sv, "BritPop"sv, "Afro-Punk"sv, "Polsk Punk"sv, "Beat"sv,
    "Christian Gangsta Rap"sv, "Heavy Metal"sv, "Black Metal"sv, "Crossover"sv, "Contemporary Christian"sv,
    "Christian Rock"sv, "Merengue"sv, "Salsa"sv, "Trash Metal"sv, "Anime"sv, "JPop"sv, "Synthpop"sv};

std::string Field(std::string_view tag, std::size_t from, std::size_t count) {
  std::string_view f = tag.substr(from, count);
  // Trailing characters up to code 32: blanks and the zero padding.
  while (!f.empty() && static_cast<unsigned char>(f.back()) <= 32) f.remove_suffix(1);
  // A zero byte ends the text; anything after it is left-over garbage.
  f = f.substr(0, f.find('\0'));
  return TrimTag(Latin1ToUtf8(f));
}

}  // namespace

void TID3v1::Reset() { *this = TID3v1{}; }

bool TID3v1::ReadFromFile(const std::string& fileName) {
  Reset();
  TTagReadFile file(fileName);
  const auto size = TagFileSize(fileName);
  if (!file || !size || *size < 128) return false;
  std::string last;
  if (!ReadTagBytes(file.get(), *size - 128, 128, last) || last.size() != 128) return false;
  ReadFromBytes(last);
  return true;
}

void TID3v1::ReadFromBytes(std::string_view t) {
  Reset();
  if (t.size() != 128 || t.substr(0, 3) != "TAG") return;
  Exists = true;
  const auto b = [&](std::size_t i) { return static_cast<unsigned char>(t[i]); };
  VersionID = (b(125) == 0 && b(126) != 0) || (b(125) == ' ' && b(126) != ' ') ? 2 : 1;
  Title = Field(t, 3, 30);
  Artist = Field(t, 33, 30);
  Album = Field(t, 63, 30);
  Year = Field(t, 93, 4);
  if (VersionID == 1) {
    Comment = Field(t, 97, 30);
  } else {
    Comment = Field(t, 97, 28);
    Track = b(126);
  }
  GenreID = b(127);
}

std::string_view TID3v1::GenreName(int genreId) {
  return genreId >= 0 && genreId < static_cast<int>(kGenres.size()) ? kGenres[genreId] : std::string_view{};
}

std::string TID3v1::GenreName() const { return std::string(GenreName(GenreID)); }

}  // namespace zonda
