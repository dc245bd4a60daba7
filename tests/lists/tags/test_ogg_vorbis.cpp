// TOggVorbis on oggenc files: reading, and rewriting the comment header when
// it takes more or fewer pages, with the audio pages and every page's
// sequence number and checksum checked through libogg.
#include "lists/tags/OggVorbis.h"

#include <gtest/gtest.h>
#include <ogg/ogg.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "lists/tags/TagEdit.h"
#include "lists/tags/TagFields.h"
#include "tests/support/Require.h"
#include "tests/support/TestFiles.h"

namespace zonda {
namespace {

struct TPageInfo {
  long sequence;
  int64_t granule;
  std::string body;
};

// Every page of the file as libogg's sync layer finds it; `bad` counts
// checksum failures and skipped bytes.
std::vector<TPageInfo> Pages(const std::string& file, std::size_t skip, int& bad) {
  const auto bytes = test::ReadAll(file);
  ogg_sync_state sync;
  ogg_sync_init(&sync);
  char* buffer = ogg_sync_buffer(&sync, static_cast<long>(bytes.size() - skip));
  std::copy(bytes.begin() + static_cast<std::ptrdiff_t>(skip), bytes.end(), buffer);
  ogg_sync_wrote(&sync, static_cast<long>(bytes.size() - skip));
  std::vector<TPageInfo> pages;
  bad = 0;
  ogg_page page;
  for (int r; (r = ogg_sync_pageout(&sync, &page)) != 0;) {
    if (r < 0) {
      ++bad;
      continue;
    }
    pages.push_back({ogg_page_pageno(&page), ogg_page_granulepos(&page),
                     std::string(reinterpret_cast<const char*>(page.body), static_cast<std::size_t>(page.body_len))});
  }
  ogg_sync_clear(&sync);
  return pages;
}

class OggVorbisTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ZONDA_REQUIRE_TOOLS("oggenc");
    wav_ = dir_.file("tone.wav");
    test::WriteDeckWav(wav_, test::SineStereo(44100 * 3, 330, 440));
  }
  std::string Encode(const std::string& name, const std::string& comments) {
    const std::string ogg = dir_.file(name);
    EXPECT_EQ(test::Run("oggenc -Q -q 1 " + comments + " '" + wav_ + "' -o '" + ogg + "'"), 0);
    return ogg;
  }
  test::TempDir dir_;
  std::string wav_;
};

TEST_F(OggVorbisTest, ReadsStreamFactsAndComments) {
  const std::string ogg = Encode("a.ogg", "-c TRACKNUMBER=3/12 -c ARTIST=One -c artist=Two -c PERFORMER=P "
                                          "-c DESCRIPTION=Desc -c DATE=2004 -c ENCODER=enc");
  TOggVorbis o;
  ASSERT_TRUE(o.ReadFromFile(ogg));
  EXPECT_EQ(o.Channels, 2);
  EXPECT_EQ(o.SampleRate, 44100u);
  EXPECT_EQ(o.Samples, 44100 * 3);
  EXPECT_NEAR(o.Duration(), 3.0, 1e-9);
  EXPECT_TRUE(o.Valid());
  EXPECT_GT(o.BitRate(), 0);
  EXPECT_EQ(o.Track, 3);
  EXPECT_EQ(o.Artist, "One / Two");
  EXPECT_EQ(o.Comment, "Desc");  // DESCRIPTION stands in for COMMENT
  EXPECT_EQ(o.Date, "2004");
  EXPECT_NE(o.Vendor.find("Xiph"), std::string::npos);
  const TTagFields f = ReadTagFields(ogg);
  EXPECT_EQ(f.Track, "3");
  EXPECT_EQ(f.Year, "2004");
}

TEST_F(OggVorbisTest, TheHeaderGrowsAndShrinksAcrossPagesWithTheAudioPagesIntact) {
  const std::string ogg = Encode("b.ogg", "-c TITLE=Small -c ENCODER=enc -c X=1 -c X=2");
  int bad = 0;
  const auto original = Pages(ogg, 0, bad);
  ASSERT_EQ(bad, 0);
  ASSERT_GE(original.size(), 3u);
  std::vector<std::string> before;
  {
    TOggVorbis o;
    ASSERT_TRUE(o.ReadFromFile(ogg));
    before = o.Comments();
  }
  // 20 kB of comment need several pages; then back to a short one.
  for (const std::string& comment : {std::string(20000, 'c'), std::string("short"), std::string()}) {
    TOggVorbis o;
    ASSERT_TRUE(o.ReadFromFile(ogg));
    o.Comment = comment;
    ASSERT_TRUE(o.SaveTag(ogg));
    const auto pages = Pages(ogg, 0, bad);
    EXPECT_EQ(bad, 0);
    for (std::size_t i = 0; i < pages.size(); ++i) EXPECT_EQ(pages[i].sequence, static_cast<long>(i));
    // The audio pages: the same bodies and granule positions, in order.
    ASSERT_GE(pages.size(), original.size() - 1);
    const std::size_t shift = pages.size() - original.size();
    for (std::size_t i = 2; i < original.size(); ++i) {
      EXPECT_EQ(pages[i + shift].body, original[i].body);
      EXPECT_EQ(pages[i + shift].granule, original[i].granule);
    }
    TOggVorbis again;
    ASSERT_TRUE(again.ReadFromFile(ogg));
    EXPECT_EQ(again.Comment, comment);
    EXPECT_EQ(again.Samples, 44100 * 3);
    std::vector<std::string> expected = before;
    if (!comment.empty()) expected.push_back("COMMENT=" + comment);
    EXPECT_EQ(again.Comments(), expected);
  }
  EXPECT_FALSE(std::filesystem::exists(ogg + "~"));
}

TEST_F(OggVorbisTest, AnID3v2TagInFrontStays) {
  const std::string ogg = Encode("c.ogg", "-c TITLE=T");
  const auto plain = test::ReadAll(ogg);
  std::string id3 = std::string("ID3\x03\0\0\0\0\0\x0C", 10) + std::string("TIT2\0\0\0\x02\0\0\0X", 12);
  {
    std::ofstream out(ogg, std::ios::binary | std::ios::trunc);
    out << id3;
    out.write(reinterpret_cast<const char*>(plain.data()), static_cast<std::streamsize>(plain.size()));
  }
  TOggVorbis o;
  ASSERT_TRUE(o.ReadFromFile(ogg));
  EXPECT_EQ(o.ID3v2Size, 22);
  o.Title = "New";
  ASSERT_TRUE(o.SaveTag(ogg));
  const auto after = test::ReadAll(ogg);
  EXPECT_EQ(std::string(after.begin(), after.begin() + 22), id3);
  int bad = 0;
  Pages(ogg, 22, bad);
  EXPECT_EQ(bad, 0);
  EXPECT_EQ(ReadTagFields(ogg).Title, "New");
}

TEST_F(OggVorbisTest, DamagedFilesAreRefusedAndLeftAsTheyWere) {
  const std::string ogg = Encode("d.ogg", "-c TITLE=T");
  const auto bytes = test::ReadAll(ogg);
  int bad = 0;
  const auto pages = Pages(ogg, 0, bad);
  const std::size_t firstPage = 28 + 30;  // one segment of 30 bytes
  struct Case {
    const char* what;
    std::string bytes;
    bool readable;
  };
  const std::string all(bytes.begin(), bytes.end());
  const Case cases[] = {
      {"first page only", all.substr(0, firstPage), false},
      {"cut inside the comment page", all.substr(0, firstPage + 40), false},
      {"not Ogg", std::string(4000, 'x'), false},
      {"a bad capture pattern on page 2", all.substr(0, firstPage) + "Oggx" + all.substr(firstPage + 4), false},
  };
  for (const Case& c : cases) {
    const std::string file = dir_.file("bad.ogg");
    std::ofstream(file, std::ios::binary | std::ios::trunc) << c.bytes;
    TOggVorbis o;
    EXPECT_EQ(o.ReadFromFile(file), c.readable) << c.what;
    o.Title = "New";
    EXPECT_FALSE(o.SaveTag(file)) << c.what;
    const auto now = test::ReadAll(file);
    EXPECT_EQ(std::string(now.begin(), now.end()), c.bytes) << c.what;
    EXPECT_EQ(ReadTagFields(file).Title, "") << c.what;
  }
}

}  // namespace
}  // namespace zonda
