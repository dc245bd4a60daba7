// The tag readers and the editor's save path against mutagen: mutagen writes
// rich tags into MP3 (lame) and Ogg Vorbis (oggenc) files, Zonda reads and
// edits them, mutagen reads the result. Edited fields have their new values,
// every other frame or comment is unchanged, and the audio decodes the same.
#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "lists/tags/ID3v2.h"
#include "lists/tags/OggVorbis.h"
#include "lists/tags/TagEdit.h"
#include "lists/tags/TagFields.h"
#include "tests/lists/tags/TagTestSupport.h"

namespace zonda {
namespace {

using test::Capture;
using test::MutagenScript;
using test::Quote;


class TagsAgainstMutagen : public ::testing::Test {
 protected:
  void SetUp() override {
    ZONDA_REQUIRE_MUTAGEN();
    ZONDA_REQUIRE_TOOLS("lame", "oggenc", "ffmpeg");
    wav_ = dir_.file("tone.wav");
    test::WriteDeckWav(wav_, test::SineStereo(44100 * 2, 440, 660));
  }

  std::string MakeMp3(const std::string& name) {
    const std::string mp3 = dir_.file(name);
    EXPECT_EQ(test::Run("lame --quiet -b 128 " + Quote(wav_) + " " + Quote(mp3)), 0);
    return mp3;
  }
  std::string MakeOgg(const std::string& name) {
    const std::string ogg = dir_.file(name);
    EXPECT_EQ(test::Run("oggenc -Q -q 2 " + Quote(wav_) + " -o " + Quote(ogg)), 0);
    return ogg;
  }
  std::string Dump(const std::string& file) {
    const std::string out = file + ".json";
    EXPECT_EQ(test::Run(MutagenScript() + " dump " + Quote(file) + " " + Quote(out)), 0);
    return out;
  }
  // Mutagen agrees that only `changed` keys differ between the dumps.
  void ExpectSameExcept(const std::string& before, const std::string& after, const std::string& changed) {
    int status = 0;
    const std::string diff = Capture(MutagenScript() + " same " + Quote(before) + " " + Quote(after) + " " + changed,
                                     &status);
    EXPECT_EQ(status, 0) << diff;
  }
  std::string Get(const std::string& file, const std::string& key) {
    return Capture(MutagenScript() + " get " + Quote(file) + " " + Quote(key));
  }

  test::TempDir dir_;
  std::string wav_;
};

struct Id3Case {
  int version, encoding;
};

class Id3AgainstMutagen : public TagsAgainstMutagen, public ::testing::WithParamInterface<Id3Case> {};

TEST_P(Id3AgainstMutagen, ReadsEveryEncodingAndSavesOnlyTheEditedFrames) {
  const auto [version, encoding] = GetParam();
  const std::string mp3 = MakeMp3("song.mp3");
  ASSERT_EQ(test::Run(MutagenScript() + " id3 " + Quote(mp3) + " " + std::to_string(version) + " " +
                std::to_string(encoding)),
            0);
  const auto audioBefore = test::DecodedSamples(mp3, dir_.file("before.raw"));
  ASSERT_FALSE(audioBefore.empty());
  const auto bytesBefore = test::ReadAll(mp3);
  const std::string before = Dump(mp3);

  const bool wide = encoding != 0;
  const TTagFields f = ReadTagFields(mp3);
  EXPECT_EQ(f.Title, wide ? "Title 标题 🎵" : "Tïtle çafé");
  EXPECT_EQ(f.Artist, wide ? (version == 4 ? "Артист / Second" : "Артист/Second")
                           : (version == 4 ? "Ärtist / Second" : "Ärtist/Second"));
  EXPECT_EQ(f.Album, wide ? "アルバム" : "Albüm");
  EXPECT_EQ(f.Track, "3");
  EXPECT_EQ(f.Year, "2003");
  EXPECT_EQ(f.Genre, "Rock");
  EXPECT_EQ(f.Comment, wide ? "Главный" : "Main cömment");
  EXPECT_EQ(f.Composer, "Compöser");
  EXPECT_EQ(f.Encoder, "LAME");

  TTagEdit edit;
  edit.Title = "Nouveau titre — 新";
  edit.Comment = "Latin-1 only: café";
  edit.Year = "2010";
  ASSERT_TRUE(SaveTagEdit(mp3, edit));

  const std::string after = Dump(mp3);
  // Mutagen shows a version 2.3 TYER frame as TDRC too.
  const std::string yearKey = "TDRC";
  ExpectSameExcept(before, after, "TIT2 COMM::eng " + yearKey);
  EXPECT_EQ(Get(mp3, "TIT2"), "Nouveau titre — 新");
  EXPECT_EQ(Get(mp3, "COMM::eng"), "Latin-1 only: café");
  EXPECT_EQ(Get(mp3, yearKey), "2010");
  const TTagFields g = ReadTagFields(mp3);
  EXPECT_EQ(g.Title, "Nouveau titre — 新");
  EXPECT_EQ(g.Artist, f.Artist);
  EXPECT_EQ(g.Year, "2010");

  // The audio after the tag is byte for byte the same, and decodes the same.
  const auto bytesAfter = test::ReadAll(mp3);
  const int64_t oldTag = TID3v2::TotalSize(std::string_view(reinterpret_cast<const char*>(bytesBefore.data()), 10));
  const int64_t newTag = TID3v2::TotalSize(std::string_view(reinterpret_cast<const char*>(bytesAfter.data()), 10));
  ASSERT_EQ(bytesBefore.size() - oldTag, bytesAfter.size() - newTag);
  EXPECT_TRUE(std::equal(bytesBefore.begin() + oldTag, bytesBefore.end(), bytesAfter.begin() + newTag));
  EXPECT_EQ(test::DecodedSamples(mp3, dir_.file("after.raw")), audioBefore);
}

INSTANTIATE_TEST_SUITE_P(VersionsAndEncodings, Id3AgainstMutagen,
                         ::testing::Values(Id3Case{3, 0}, Id3Case{3, 1}, Id3Case{4, 0}, Id3Case{4, 1}, Id3Case{4, 2},
                                           Id3Case{4, 3}),
                         [](const auto& info) {
                           return "v2" + std::to_string(info.param.version) + "_encoding" +
                                  std::to_string(info.param.encoding);
                         });

TEST_F(TagsAgainstMutagen, AnMp3WithoutATagGetsVersion23WithUtf16ForWideText) {
  const std::string mp3 = MakeMp3("plain.mp3");
  const auto sizeBefore = test::ReadAll(mp3).size();
  TTagEdit edit;
  edit.Title = "Ελληνικά";
  edit.Artist = "Plain Artist";
  edit.Track = "7";
  ASSERT_TRUE(SaveTagEdit(mp3, edit));
  EXPECT_EQ(Get(mp3, "TIT2"), "Ελληνικά");
  EXPECT_EQ(Get(mp3, "TPE1"), "Plain Artist");
  EXPECT_EQ(Get(mp3, "TRCK"), "7");
  const std::string dump = Dump(mp3);
  EXPECT_NE(test::ReadAll(dump).size(), 0u);
  TID3v2 tag;
  ASSERT_TRUE(tag.ReadFromFile(mp3));
  EXPECT_EQ(tag.VersionID, 3);
  EXPECT_EQ(tag.Size, 4096);  // the frames need less: the tag is padded to 4096 bytes
  EXPECT_EQ(test::ReadAll(mp3).size(), sizeBefore + 4096);
  const auto& frames = tag.Frames();
  ASSERT_FALSE(frames.empty());
  EXPECT_EQ(frames[0].Id, "TIT2");
  EXPECT_EQ(frames[0].Content.substr(0, 3), std::string("\x01\xFF\xFE", 3));  // UTF-16 with a byte-order mark
}

TEST_F(TagsAgainstMutagen, AVersion22TagStaysVersion22) {
  // Mutagen does not write version 2.2: a hand-made tag with a picture in front of lame's audio.
  const std::string lame = MakeMp3("lame.mp3");
  const auto audio = test::ReadAll(lame);
  const auto frame = [](const std::string& id, const std::string& content) {
    const auto n = static_cast<uint32_t>(content.size());
    return id + std::string{char(n >> 16), char(n >> 8), char(n)} + content;
  };
  const std::string body = frame("TT2", std::string("\0Old", 4)) + frame("TP1", std::string("\x01\xFF\xFE" "A\0", 5)) +
                           frame("PIC", std::string("\0PNG\x03\0", 6) + std::string(500, '\x89')) +
                           frame("COM", std::string("\0eng\0hi", 7)) + frame("TRK", std::string("\0" "3/12", 5));
  const auto n = static_cast<uint32_t>(body.size());
  const std::string tag = std::string("ID3\x02\0\0", 6) +
                          std::string{char(n >> 21 & 0x7F), char(n >> 14 & 0x7F), char(n >> 7 & 0x7F), char(n & 0x7F)} + body;
  const std::string mp3 = dir_.file("v22.mp3");
  {
    std::ofstream out(mp3, std::ios::binary);
    out << tag;
    out.write(reinterpret_cast<const char*>(audio.data()), static_cast<std::streamsize>(audio.size()));
  }
  const std::string before = Dump(mp3);
  TTagEdit edit;
  edit.Title = "Νέο";
  ASSERT_TRUE(SaveTagEdit(mp3, edit));
  ExpectSameExcept(before, Dump(mp3), "TIT2");
  EXPECT_EQ(Get(mp3, "TIT2"), "Νέο");
  const auto after = test::ReadAll(mp3);
  EXPECT_EQ(after[3], 2);
  EXPECT_TRUE(std::equal(audio.begin(), audio.end(), after.end() - static_cast<std::ptrdiff_t>(audio.size())));
}

struct OggCase {
  int extraComments, pictureBytes;
};

class OggAgainstMutagen : public TagsAgainstMutagen, public ::testing::WithParamInterface<OggCase> {};

TEST_P(OggAgainstMutagen, KeepsEveryCommentThePictureAndTheAudio) {
  const auto [extra, picture] = GetParam();
  const std::string ogg = MakeOgg("song.ogg");
  ASSERT_EQ(test::Run(MutagenScript() + " ogg " + Quote(ogg) + " " + std::to_string(extra) + " " + std::to_string(picture)),
            0);
  const auto audioBefore = test::DecodedSamples(ogg, dir_.file("before.raw"));
  ASSERT_FALSE(audioBefore.empty());
  const std::string before = Dump(ogg);

  const TTagFields f = ReadTagFields(ogg);
  EXPECT_EQ(f.Title, "Ogg Tïtle");
  EXPECT_EQ(f.Artist, "First Artist / Second Artist");
  EXPECT_EQ(f.Track, "3");
  EXPECT_EQ(f.Year, "1999");
  EXPECT_EQ(f.Genre, "Trance");
  EXPECT_NE(f.Vendor.find("Xiph"), std::string::npos);

  TTagEdit edit;
  edit.Title = "Nuevo título";
  edit.Comment = "Комментарий";
  edit.Album = "";  // removes ALBUM
  ASSERT_TRUE(SaveTagEdit(ogg, edit));

  const std::string after = Dump(ogg);
  ExpectSameExcept(before, after, "title comment album");
  EXPECT_EQ(Get(ogg, "title"), "Nuevo título");
  EXPECT_EQ(Get(ogg, "comment"), "Комментарий");
  EXPECT_EQ(Get(ogg, "album"), "");
  EXPECT_EQ(Get(ogg, "encoder"), "some encoder");
  EXPECT_EQ(Get(ogg, "tracknumber"), "3/12");
  EXPECT_EQ(test::DecodedSamples(ogg, dir_.file("after.raw")), audioBefore);
  // ogginfo checks every page's checksum and sequence number.
  int status = 0;
  const std::string info = Capture("ogginfo " + Quote(ogg) + " 2>&1", &status);
  EXPECT_EQ(status, 0) << info;
  EXPECT_EQ(info.find("WARNING"), std::string::npos) << info;
}

INSTANTIATE_TEST_SUITE_P(CommentSizes, OggAgainstMutagen,
                         ::testing::Values(OggCase{0, 0}, OggCase{300, 0}, OggCase{20, 150000}),
                         [](const auto& info) {
                           return "extra" + std::to_string(info.param.extraComments) + "_picture" +
                                  std::to_string(info.param.pictureBytes);
                         });

// Files of the formats TagLib reads, tagged by mutagen, produced by ffmpeg.
struct OtherCase {
  const char* name;
  const char* ffmpegArgs;
};

class OtherFormatsAgainstMutagen : public TagsAgainstMutagen, public ::testing::WithParamInterface<OtherCase> {};

TEST_P(OtherFormatsAgainstMutagen, RowsShowTheTags) {
  const std::string file = dir_.file(GetParam().name);
  ASSERT_EQ(test::Run("ffmpeg -v error -y -i " + Quote(wav_) + " " + GetParam().ffmpegArgs + " " + Quote(file)), 0);
  ASSERT_EQ(test::Run(MutagenScript() + " other " + Quote(file)), 0);
  const TTagFields f = ReadTagFields(file);
  EXPECT_EQ(f.Title, "Other Tïtle");
  EXPECT_EQ(f.Artist, "Other Ärtist");
  EXPECT_EQ(f.Album, "Other Album");
  EXPECT_EQ(f.Genre, "Ambient");
  EXPECT_EQ(f.Year, "2011");
  EXPECT_EQ(f.Track, "5");
  EXPECT_EQ(f.Composer, "Other Composer");
}

INSTANTIATE_TEST_SUITE_P(Formats, OtherFormatsAgainstMutagen,
                         ::testing::Values(OtherCase{"song.flac", "-c:a flac"}, OtherCase{"song.m4a", "-c:a aac"},
                                           OtherCase{"song.opus", "-c:a libopus"}, OtherCase{"song.aiff", ""},
                                           OtherCase{"song.wav", "-c:a pcm_s16le"},
                                           OtherCase{"song.wma", "-c:a wmav2"},
                                           OtherCase{"alac.m4a", "-c:a alac"}),
                         [](const auto& info) {
                           std::string n = info.param.name;
                           for (char& c : n) c = c == '.' ? '_' : c;
                           return n;
                         });

}  // namespace
}  // namespace zonda
