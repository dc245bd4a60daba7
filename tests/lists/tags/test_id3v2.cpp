// TID3v2 on hand-built tags: every version, encoding and header feature, the
// layout of saved tags, and refusals that keep a file as it was.
#include "lists/tags/ID3v2.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "lists/tags/TagEdit.h"
#include "lists/tags/TagFields.h"
#include "tests/support/TestFiles.h"

namespace zonda {
namespace {

std::string Be(uint32_t v, int bytes) {
  std::string s;
  for (int i = bytes - 1; i >= 0; --i) s += static_cast<char>(v >> (8 * i) & 0xFF);
  return s;
}
std::string Synchsafe(uint32_t v) {
  std::string s;
  for (int shift = 21; shift >= 0; shift -= 7) s += static_cast<char>(v >> shift & 0x7F);
  return s;
}
std::string Frame2(const std::string& id, const std::string& content) { return id + Be(content.size(), 3) + content; }
std::string Frame3(const std::string& id, const std::string& content, uint8_t flags1 = 0) {
  return id + Be(content.size(), 4) + std::string(1, '\0') + static_cast<char>(flags1) + content;
}
std::string Frame4(const std::string& id, const std::string& content, uint8_t flags1 = 0) {
  return id + Synchsafe(content.size()) + std::string(1, '\0') + static_cast<char>(flags1) + content;
}
std::string Tag(int version, const std::string& body, uint8_t flags = 0, std::size_t padding = 0) {
  return std::string("ID3") + static_cast<char>(version) + '\0' + static_cast<char>(flags) +
         Synchsafe(body.size() + padding) + body + std::string(padding, '\0');
}
// Inserts a zero byte after every FF byte.
std::string Unsynchronise(const std::string& in) {
  std::string out;
  for (const char c : in) {
    out += c;
    if (c == '\xFF') out += '\0';
  }
  return out;
}
std::string Text(const std::string& latin) { return std::string(1, '\0') + latin; }
const std::string kAudio = std::string("\xFF\xFB\x90\x00", 4) + std::string(2000, '\x55');

TID3v2 Parse(const std::string& tag) {
  TID3v2 t;
  const std::string file = tag + kAudio;
  t.ReadFromBytes(file, static_cast<int64_t>(file.size()));
  return t;
}

TEST(ID3v2Read, FeaturesOfEveryVersion) {
  struct Case {
    const char* what;
    std::string tag;
    std::string title, artist, year, genre, comment;
  };
  const std::string big(200, 'b');  // a frame of 128 bytes or more: its v2.4 size is synchsafe
  const Case cases[] = {
      {"v2.3 genre reference", Tag(3, Frame3("TIT2", Text("T")) + Frame3("TCON", Text("(17)Rock"))), "T", "", "", "Rock", ""},
      {"bare genre reference", Tag(3, Frame3("TCON", Text("(17)"))), "", "", "", "Rock", ""},
      {"v2.4 numeric genre", Tag(4, Frame4("TCON", Text("17"))), "", "", "", "Rock", ""},
      {"v2.4 TDRC gives the year", Tag(4, Frame4("TDRC", Text("2003-05-01"))), "", "", "2003", "", ""},
      {"TYER wins over TDRC", Tag(3, Frame3("TDRC", Text("2003")) + Frame3("TYER", Text("1999"))), "", "", "1999", "", ""},
      {"UTF-16 with a byte-order mark", Tag(3, Frame3("TIT2", std::string("\x01\xFF\xFE" "A\0\xE9\0", 7))), "A\xC3\xA9", "", "", "", ""},
      {"UTF-16BE, encoding 2", Tag(4, Frame4("TIT2", std::string("\x02\x04\x10\0A", 5))), "\xD0\x90" "A", "", "", "", ""},
      {"UTF-8, encoding 3", Tag(4, Frame4("TIT2", "\x03" "\xE6\xA0\x87\xE9\xA2\x98")), "标题", "", "", "", ""},
      {"v2.4 strings joined", Tag(4, Frame4("TPE1", std::string("\x03" "A\0B", 4))), "", "A / B", "", "", ""},
      {"v2.4 synchsafe size of a long frame", Tag(4, Frame4("TXXX", "\x00" + big) + Frame4("TIT2", Text("After"))), "After", "", "", "", ""},
      {"v2.4 frame unsynchronised, with a data length", Tag(4, Frame4("TIT2", std::string("\0\0\0\x03\0\xFF\0\xE9", 8), 0x03)), "\xC3\xBF\xC3\xA9", "", "", "", ""},
      {"v2.3 whole-tag unsynchronisation", Tag(3, Unsynchronise(Frame3("TIT2", std::string("\0\xFF\xE9", 3)) + Frame3("TPE1", Text("X"))), 0x80), "\xC3\xBF\xC3\xA9", "X", "", "", ""},
      {"v2.3 extended header", Tag(3, Be(6, 4) + std::string(6, '\0') + Frame3("TIT2", Text("E")), 0x40), "E", "", "", "", ""},
      {"v2.4 extended header", Tag(4, Synchsafe(6) + std::string("\x01\0", 2) + Frame4("TIT2", Text("E")), 0x40), "E", "", "", "", ""},
      {"v2.2 frames", Tag(2, Frame2("TT2", Text("Two")) + Frame2("TP1", Text("P")) + Frame2("COM", std::string("\0eng\0Hi", 7))), "Two", "P", "", "", "Hi"},
      {"comment without description wins", Tag(3, Frame3("COMM", std::string("\0eng\0Main", 9)) + Frame3("COMM", std::string("\0engiTunNORM\0 0000", 18))), "", "", "", "", "Main"},
      {"a described comment stands in", Tag(3, Frame3("COMM", std::string("\x01" "eng\xFF\xFE" "d\0\0\0\xFF\xFE" "c\0", 14))), "", "", "", "", "c"},
      {"TIT1 stands in for the title", Tag(3, Frame3("TIT1", Text("Group"))), "Group", "", "", "", ""},
      {"compressed frames are not used", Tag(3, Frame3("TIT2", Text("Z"), 0x80)), "", "", "", "", ""},
      {"padding ends the frames", Tag(3, Frame3("TIT2", Text("P")), 0, 100), "P", "", "", "", ""},
      {"a frame past the tag ends it", Tag(3, Frame3("TPE1", Text("A")) + "TIT2" + Be(1000, 4) + "\0\0\0X"), "", "A", "", "", ""},
  };
  for (const Case& c : cases) {
    const TID3v2 t = Parse(c.tag);
    EXPECT_TRUE(t.Exists) << c.what;
    EXPECT_EQ(t.Title, c.title) << c.what;
    EXPECT_EQ(t.Artist, c.artist) << c.what;
    EXPECT_EQ(t.Year, c.year) << c.what;
    EXPECT_EQ(t.Genre, c.genre) << c.what;
    EXPECT_EQ(t.Comment, c.comment) << c.what;
  }
}

TEST(ID3v2Read, SizesThatDoNotFit) {
  // A tag larger than the file: size 0, no frames.
  TID3v2 t;
  const std::string tag = Tag(3, Frame3("TIT2", Text("T")));
  t.ReadFromBytes(tag, 12);
  EXPECT_TRUE(t.Exists);
  EXPECT_EQ(t.Size, 0);
  EXPECT_EQ(t.Title, "");
  // Every header size, with the footer flag.
  const TID3v2 footer = Parse(Tag(4, Frame4("TIT2", Text("F")), 0x10) + "3DI" + std::string(7, '\0'));
  EXPECT_EQ(footer.Size, 10 + 12 + 10);
  EXPECT_EQ(footer.Title, "F");
  EXPECT_EQ(TID3v2::TotalSize(std::string("ID3\x03\0\0\x7F\x7F\x7F\x7F", 10)), (int64_t{1} << 28) - 1 + 10);
}

class ID3v2Save : public ::testing::Test {
 protected:
  std::string Write(const std::string& name, const std::string& bytes) {
    std::ofstream(dir_.file(name), std::ios::binary) << bytes;
    return dir_.file(name);
  }
  std::string Bytes(const std::string& file) {
    const auto b = test::ReadAll(file);
    return std::string(b.begin(), b.end());
  }
  test::TempDir dir_;
};

TEST_F(ID3v2Save, AnExistingTagKeepsItsSizeAndTheRestPads) {
  // 2048 bytes of tag; the new frames need 300.
  const std::string file = Write("a.mp3", Tag(3, Frame3("TIT2", Text("Old")), 0, 2048 - 10 - 14) + kAudio);
  TID3v2 t;
  ASSERT_TRUE(t.ReadFromFile(file));
  ASSERT_EQ(t.Size, 2048);
  t.SetTitle(std::string(300 - 10 - 11, 'n'));  // frames: 10 + 1 + text = 290 bytes
  ASSERT_TRUE(t.SaveToFile(file));
  const std::string after = Bytes(file);
  ASSERT_EQ(after.size(), 2048 + kAudio.size());
  EXPECT_EQ(after.substr(2048), kAudio);
  EXPECT_EQ(after.substr(300).find_first_not_of('\0'), 2048u - 300u);  // 1748 bytes of padding
  EXPECT_FALSE(std::filesystem::exists(file + "~"));
}

TEST_F(ID3v2Save, AFileWithoutATagGrowsBy4096AndAnID3v1TagStays) {
  std::string v1 = "TAG" + std::string("V1 title") + std::string(22, '\0') + std::string("V1 artist") +
                   std::string(21, '\0') + std::string(30, '\0') + "2001" + std::string(30, '\0') + "\x11";
  ASSERT_EQ(v1.size(), 128u);
  const std::string file = Write("v1.mp3", kAudio + v1);
  TTagEdit edit;
  edit.Comment = "Added";
  ASSERT_TRUE(SaveTagEdit(file, edit));
  const std::string after = Bytes(file);
  EXPECT_EQ(after.size(), kAudio.size() + 128 + 4096);
  EXPECT_EQ(after.substr(after.size() - 128), v1);
  const TTagFields f = ReadTagFields(file);  // from the new ID3v2 tag, seeded with the ID3v1 fields
  EXPECT_EQ(f.Title, "V1 title");
  EXPECT_EQ(f.Artist, "V1 artist");
  EXPECT_EQ(f.Year, "2001");
  EXPECT_EQ(f.Genre, "Rock");
  EXPECT_EQ(f.Comment, "Added");
}

TEST_F(ID3v2Save, VersionsStayAndUneditedFramesStayByteForByte) {
  struct Case {
    int version;
    std::string tag;
  };
  const std::string pic(3000, '\xFF');  // unsynchronised in the file, plain after reading
  const Case cases[] = {
      {2, Tag(2, Frame2("TT2", Text("Old")) + Frame2("PIC", "\0PNG\x03\0" + pic) + Frame2("TRK", Text("3/12")))},
      {3, Tag(3, Frame3("TIT2", Text("Old")) + Frame3("APIC", std::string("\0image/png\0\x03\0", 13) + pic) +
                     Frame3("TRCK", Text("3/12")) + Frame3("GRP1", std::string("\x05" "grouped", 8), 0x20))},
      {4, Tag(4, Frame4("TIT2", Text("Old")) + Frame4("APIC", std::string("\0image/png\0\x03\0", 13) + pic) +
                     Frame4("TRCK", Text("3/12")) + Frame4("TXXX", std::string("\x03" "RG\0-3 dB", 9)))},
  };
  for (const Case& c : cases) {
    const std::string file = Write("v.mp3", c.tag + kAudio);
    TID3v2 before;
    ASSERT_TRUE(before.ReadFromFile(file));
    TTagEdit edit;
    edit.Title = "Ünïcode 新";
    edit.Track = "3";  // the same number as read: the "3/12" frame stays
    ASSERT_TRUE(SaveTagEdit(file, edit)) << c.version;
    TID3v2 after;
    ASSERT_TRUE(after.ReadFromFile(file));
    EXPECT_EQ(after.VersionID, c.version);
    EXPECT_EQ(after.Title, "Ünïcode 新");
    EXPECT_EQ(after.TrackString, "3/12");
    ASSERT_EQ(after.Frames().size(), before.Frames().size());
    for (std::size_t i = 1; i < before.Frames().size(); ++i) {
      EXPECT_EQ(after.Frames()[i].Id, before.Frames()[i].Id);
      EXPECT_EQ(after.Frames()[i].Content, before.Frames()[i].Content) << c.version << " " << before.Frames()[i].Id;
    }
    const uint8_t encoding = static_cast<uint8_t>(after.Frames()[0].Content[0]);
    EXPECT_EQ(encoding, c.version == 4 ? 3 : 1);  // UTF-8 in v2.4, UTF-16 with a mark before
    const std::string bytes = Bytes(file);
    EXPECT_EQ(bytes.substr(bytes.size() - kAudio.size()), kAudio);
  }
}

TEST_F(ID3v2Save, WhatFollowsAnUnreadableFrameIsWrittenBack) {
  const std::string odd = "tst1" + Be(3, 4) + std::string(2, '\0') + "abc" + Frame3("TXXX", std::string("\0RG\0-1 dB", 9));
  const std::string file = Write("odd.mp3", Tag(3, Frame3("TIT2", Text("Old")) + odd, 0, 50) + kAudio);
  TTagEdit edit;
  edit.Title = "New";
  ASSERT_TRUE(SaveTagEdit(file, edit));
  const std::string bytes = Bytes(file);
  EXPECT_EQ(bytes.substr(10, 10 + 4), Frame3("TIT2", Text("New")));
  const std::size_t tagEnd = 10 + 14 + odd.size() + 50;  // the same size as before
  EXPECT_EQ(bytes.substr(tagEnd - odd.size(), odd.size()), odd);  // after the padding, where readers stopped before
  EXPECT_EQ(bytes.substr(tagEnd), kAudio);
  EXPECT_EQ(ReadTagFields(file).Title, "New");

  // A frame cut short by the end of the tag is kept, header included, still cut short.
  const std::string cut = "TPE1" + Be(500, 4) + std::string(2, '\0') + std::string("\0Partial", 8);
  const std::string cutFile = Write("cut.mp3", Tag(3, Frame3("TIT2", Text("Old")) + cut) + kAudio);
  ASSERT_TRUE(SaveTagEdit(cutFile, edit));
  const std::string cutBytes = Bytes(cutFile);
  EXPECT_EQ(cutBytes.substr(24, cut.size()), cut);
  EXPECT_EQ(ReadTagFields(cutFile).Artist, "");
  // A second save of the same size changes only the title.
  edit.Title = "Two";
  ASSERT_TRUE(SaveTagEdit(cutFile, edit));
  EXPECT_EQ(Bytes(cutFile).substr(24), cutBytes.substr(24));
}

TEST_F(ID3v2Save, UnsynchronisedTagsAreWrittenPlain) {
  const std::string pic(100, '\xFF');
  std::string unsynced;
  for (char ch : pic) unsynced += std::string(1, ch) + '\0';
  const std::string file = Write("u.mp3", Tag(4, Frame4("APIC", std::string("\0image/png\0\x03\0", 13) + unsynced) +
                                                   Frame4("TIT2", Text("Old")), 0x80) + kAudio);
  TTagEdit edit;
  edit.Title = "New";
  ASSERT_TRUE(SaveTagEdit(file, edit));
  const std::string bytes = Bytes(file);
  EXPECT_EQ(bytes[5], '\0');  // no unsynchronisation flag any more
  TID3v2 t;
  ASSERT_TRUE(t.ReadFromFile(file));
  ASSERT_EQ(t.Frames().size(), 2u);
  EXPECT_EQ(t.Frames()[0].Content, std::string("\0image/png\0\x03\0", 13) + pic);
  EXPECT_EQ(t.Title, "New");
}

TEST_F(ID3v2Save, TrackTextThatIsNotANumberWritesNoTrack) {
  for (const char* text : {"12a", "-3", "", "0"}) {
    const std::string file = Write("t.mp3", Tag(3, Frame3("TRCK", Text("4")) + Frame3("TIT2", Text("T"))) + kAudio);
    TTagEdit edit;
    edit.Track = text;
    ASSERT_TRUE(SaveTagEdit(file, edit)) << text;
    TID3v2 t;
    ASSERT_TRUE(t.ReadFromFile(file));
    EXPECT_EQ(t.Track, 0) << text;
    ASSERT_EQ(t.Frames().size(), 1u) << text;
    EXPECT_EQ(t.Frames()[0].Id, "TIT2");
  }
  EXPECT_EQ(TrackFromText("12"), 12);
  EXPECT_EQ(TrackFromText(" 7 "), 7);
  EXPECT_EQ(TrackFromText("3/12"), 0);
}

TEST_F(ID3v2Save, RefusalsLeaveTheFileAsItWas) {
  struct Case {
    const char* what;
    std::string bytes;
  };
  const Case cases[] = {
      {"a tag larger than the file", std::string("ID3\x03\0\0\0\0\x7F\x7F", 10) + kAudio},
      {"an unknown version", Tag(5, Frame4("TIT2", Text("Five"))) + kAudio},
      {"a compressed v2.2 tag", Tag(2, Frame2("TT2", Text("C")), 0x40) + kAudio},
  };
  for (const Case& c : cases) {
    const std::string file = Write("r.mp3", c.bytes);
    TTagEdit edit;
    edit.Title = "New";
    EXPECT_FALSE(SaveTagEdit(file, edit)) << c.what;
    EXPECT_EQ(Bytes(file), c.bytes) << c.what;
    EXPECT_FALSE(std::filesystem::exists(file + "~")) << c.what;
  }
  TTagEdit edit;
  edit.Title = "New";
  EXPECT_FALSE(SaveTagEdit(dir_.file("gone.mp3"), edit));
  EXPECT_FALSE(SaveTagEdit(Write("x.wav", kAudio), edit));
}

TEST_F(ID3v2Save, ASymbolicLinkKeepsPointingAtTheSavedSong) {
  const std::string target = Write("real.mp3", Tag(3, Frame3("TIT2", Text("Old"))) + kAudio);
  const std::string link = dir_.file("link.mp3");
  std::filesystem::create_symlink(target, link);
  std::filesystem::permissions(target, std::filesystem::perms(0640));
  TTagEdit edit;
  edit.Title = "Linked";
  ASSERT_TRUE(SaveTagEdit(link, edit));
  EXPECT_TRUE(std::filesystem::is_symlink(link));
  EXPECT_EQ(ReadTagFields(target).Title, "Linked");
  EXPECT_EQ(std::filesystem::status(target).permissions() & std::filesystem::perms::all, std::filesystem::perms(0640));
}

}  // namespace
}  // namespace zonda
