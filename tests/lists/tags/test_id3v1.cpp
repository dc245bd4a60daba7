// TID3v1: the 128-byte tag at the end of the file.
#include "lists/tags/ID3v1.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "tests/support/TestFiles.h"

namespace zonda {
namespace {

std::string Tag(const std::string& title, const std::string& comment30, char b125, char b126, uint8_t genre) {
  std::string t = "TAG";
  const auto field = [&](const std::string& s, std::size_t n) {
    std::string f = s.substr(0, n);
    f.resize(n, '\0');
    t += f;
  };
  field(title, 30);
  field("Artist", 30);
  field("Album ", 30);
  field("1999", 4);
  field(comment30, 28);
  t += b125;
  t += b126;
  t += static_cast<char>(genre);
  return t;
}

TEST(ID3v1, VersionTrackCommentAndGenre) {
  struct Case {
    std::string tag;
    int version, track;
    std::string comment, genre;
  };
  const std::string c28(28, 'c');
  const Case cases[] = {
      {Tag("Title", c28, '\0', '\7', 17), 2, 7, c28, "Rock"},               // v1.1: track in byte 126
      {Tag("Title", "short", ' ', 'x', 0), 2, 'x', "short", "Blues"},       // blank then non-blank: v1.1 too
      {Tag("Title", c28, 'y', 'z', 67), 1, 0, c28 + "yz", "Psychadelic"},   // v1.0: 30 comment bytes
      {Tag("Title", "", '\0', '\0', 92), 1, 0, "", "Progessive Rock"},
      {Tag("Title", "", '\0', '\0', 144), 1, 0, "", "Trash Metal"},
      {Tag("Title", "", '\0', '\0', 147), 1, 0, "", "Synthpop"},
      {Tag("Title", "", '\0', '\0', 148), 1, 0, "", ""},
      {Tag("Title", "", '\0', '\0', 255), 1, 0, "", ""},
  };
  for (const Case& c : cases) {
    TID3v1 v1;
    v1.ReadFromBytes(c.tag);
    EXPECT_TRUE(v1.Exists);
    EXPECT_EQ(v1.VersionID, c.version);
    EXPECT_EQ(v1.Track, c.track);
    EXPECT_EQ(v1.Comment, c.comment);
    EXPECT_EQ(v1.GenreName(), c.genre);
    EXPECT_EQ(v1.Title, "Title");
    EXPECT_EQ(v1.Album, "Album");
    EXPECT_EQ(v1.Year, "1999");
  }
}

TEST(ID3v1, FilesShortOrWithoutATagAndLatin1Text) {
  test::TempDir dir;
  const auto write = [&](const std::string& name, const std::string& bytes) {
    std::ofstream(dir.file(name), std::ios::binary) << bytes;
    return dir.file(name);
  };
  TID3v1 v1;
  EXPECT_FALSE(v1.ReadFromFile(write("short.mp3", std::string(127, 'x'))));
  EXPECT_FALSE(v1.ReadFromFile(dir.file("missing.mp3")));
  EXPECT_TRUE(v1.ReadFromFile(write("none.mp3", std::string(500, 'x'))));
  EXPECT_FALSE(v1.Exists);
  ASSERT_TRUE(v1.ReadFromFile(write("latin.mp3", std::string(50, 'x') + Tag("Caf\xE9 \x80", "", 0, 0, 255))));
  EXPECT_TRUE(v1.Exists);
  EXPECT_EQ(v1.Title, "Café €");
}

}  // namespace
}  // namespace zonda
