// zonda-tags: the thirteen lines per file, the blank line between files, and
// --set through the editor's save path, checked with mutagen.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "tests/lists/tags/TagTestSupport.h"
#include "tests/support/Require.h"
#include "tests/support/TestFiles.h"

namespace zonda {
namespace {

using test::Capture;
using test::Quote;

std::string Tool() { return Quote(std::string(std::getenv("ZONDA_PROGRAM_DIR")) + "/zonda-tags"); }

class ZondaTags : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!std::getenv("ZONDA_PROGRAM_DIR")) ZONDA_SKIP_OR_FAIL("ZONDA_PROGRAM_DIR not set (run through ctest)");
    ZONDA_REQUIRE_MUTAGEN();
    ZONDA_REQUIRE_TOOLS("lame", "oggenc");
    wav_ = dir_.file("tone.wav");
    test::WriteDeckWav(wav_, test::SineStereo(44100, 440, 550));
  }
  test::TempDir dir_;
  std::string wav_;
};

TEST_F(ZondaTags, PrintsThirteenFieldsPerFileInOrder) {
  const std::string mp3 = dir_.file("a.mp3");
  const std::string ogg = dir_.file("b.ogg");
  ASSERT_EQ(test::Run("lame --quiet " + Quote(wav_) + " " + Quote(mp3)), 0);
  ASSERT_EQ(test::Run(test::MutagenScript() + " id3 " + Quote(mp3) + " 4 3"), 0);
  ASSERT_EQ(test::Run("oggenc -Q -c 'TITLE=Ogg' -c 'ARTIST=Band' -c 'TRACKNUMBER=2' " + Quote(wav_) + " -o " +
                      Quote(ogg)),
            0);
  int status = -1;
  const std::string out = Capture(Tool() + " " + Quote(mp3) + " " + Quote(ogg), &status);
  EXPECT_EQ(status, 0);
  const std::string expectedMp3 =
      "artist=Артист / Second\ntitle=Title 标题 🎵\nvendor=\nlink=\nlanguage=\nrightsnotice=\nencoder=LAME\n"
      "composer=Compöser\ntrack=3\nyear=2003\nalbum=アルバム\ncomment=Главный\ngenre=Rock\n";
  ASSERT_EQ(out.substr(0, expectedMp3.size() + 1), expectedMp3 + "\n");
  const std::string oggPart = out.substr(expectedMp3.size() + 1);
  EXPECT_EQ(oggPart.rfind("artist=Band\ntitle=Ogg\nvendor=Xiph", 0), 0u) << oggPart;
  EXPECT_NE(oggPart.find("\ntrack=2\nyear=\nalbum=\ncomment=\ngenre=\n"), std::string::npos) << oggPart;
}

TEST_F(ZondaTags, SetWritesTheNamedFieldsAndKeepsTheRest) {
  const std::string mp3 = dir_.file("set.mp3");
  ASSERT_EQ(test::Run("lame --quiet " + Quote(wav_) + " " + Quote(mp3)), 0);
  ASSERT_EQ(test::Run(test::MutagenScript() + " id3 " + Quote(mp3) + " 3 1"), 0);
  const std::string before = mp3 + ".before.json";
  const std::string after = mp3 + ".after.json";
  ASSERT_EQ(test::Run(test::MutagenScript() + " dump " + Quote(mp3) + " " + Quote(before)), 0);
  ASSERT_EQ(test::Run(Tool() + " --set 'title=Bulk fixed' --set artist=Someone --set genre=House --set track=9 "
                               "--set album= " + Quote(mp3)),
            0);
  ASSERT_EQ(test::Run(test::MutagenScript() + " dump " + Quote(mp3) + " " + Quote(after)), 0);
  int status = -1;
  const std::string diff = Capture(test::MutagenScript() + " same " + Quote(before) + " " + Quote(after) +
                                       " TIT2 TPE1 TCON TRCK TALB",
                                   &status);
  EXPECT_EQ(status, 0) << diff;
  const std::string out = Capture(Tool() + " " + Quote(mp3));
  EXPECT_NE(out.find("artist=Someone\ntitle=Bulk fixed\n"), std::string::npos) << out;
  EXPECT_NE(out.find("track=9\n"), std::string::npos) << out;
  EXPECT_NE(out.find("album=\n"), std::string::npos) << out;
  EXPECT_NE(out.find("genre=House\n"), std::string::npos) << out;
}

TEST_F(ZondaTags, ExitCodes) {
  const std::string mp3 = dir_.file("c.mp3");
  ASSERT_EQ(test::Run("lame --quiet " + Quote(wav_) + " " + Quote(mp3)), 0);
  struct Case {
    std::string args;
    int status;
  };
  const Case cases[] = {
      {"", 2},
      {"--set title=x", 2},                                          // no file
      {"--set bpm=120 " + Quote(mp3), 2},                            // a field the editor does not write
      {"--set title=x " + Quote(mp3) + " " + Quote(mp3), 2},         // one file at a time
      {"--set title=x " + Quote(wav_), 1},                           // not MP3 or Ogg
      {"--set title=x " + Quote(dir_.file("gone.mp3")), 1},
      {Quote(dir_.file("gone.mp3")), 1},
      {"--set title=x " + Quote(mp3), 0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(test::Run(Tool() + " " + c.args + " >/dev/null 2>&1"), c.status) << c.args;
  }
}

}  // namespace
}  // namespace zonda
