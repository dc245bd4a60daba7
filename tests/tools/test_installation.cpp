// The installation as the README describes it: the data copy step that every
// build runs (data/CopyData.cmake) and `cmake --install` refresh our files and
// never overwrite a user's lists, song memory or shortcuts; an installed tree
// works on its own (zonda-decode and zonda-engine run from it); zonda-decode
// answers 0, 1 with one line, or 2 for wrong arguments.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "tests/support/EngineSandbox.h"
#include "tests/support/Require.h"
#include "tests/support/TestFiles.h"
#include "tests/support/ToneAnalysis.h"

namespace zonda::test {
namespace {

namespace fs = std::filesystem;

std::string SourceDir() {
  const char* dir = std::getenv("ZONDA_SOURCE_DIR");
  return dir ? dir : "";
}
std::string BuildDir() {
  const char* dir = std::getenv("ZONDA_TEST_BIN");
  return dir ? dir : "";
}

void Put(const fs::path& file, const std::string& text) {
  fs::create_directories(file.parent_path());
  std::ofstream(file, std::ios::binary) << text;
}

// What a user keeps in an installation, and a language file of ours gone stale.
struct UserFiles {
  const char* path;
  const char* text;
};
const UserFiles kUserFiles[] = {
    {"lists/lists.ssa", "my lists"},
    {"lists/history.ssa", "my history"},
    {"shortcuts/default.ssa", "my keys"},
    {"songinfo.ssa", "my song memory"},
};

void WriteUserFiles(const fs::path& tree) {
  for (const UserFiles& f : kUserFiles) Put(tree / f.path, f.text);
}
void ExpectUserFilesKept(const fs::path& tree) {
  for (const UserFiles& f : kUserFiles) EXPECT_EQ(Slurp((tree / f.path).string()), f.text) << f.path;
}

// The copy step over a tree that holds user files, with our data carrying
// defaults for the same lists and shortcuts: the user's files stay, missing
// defaults arrive, our own files (languages) are refreshed. Both ways it runs:
// at every build, and with USER_ONLY from `cmake --install`.
TEST(Installation, TheCopyStepNeverOverwritesUserFiles) {
  if (SourceDir().empty()) ZONDA_SKIP_OR_FAIL("ZONDA_SOURCE_DIR not set (run through ctest)");
  TempDir dir;
  const fs::path data = dir.path() / "data";
  fs::copy(fs::path(SourceDir()) / "data", data, fs::copy_options::recursive);
  Put(data / "lists/lists.ssa", "default lists");
  Put(data / "lists/history.ssa", "default history");
  Put(data / "lists/favourites.ssa", "default favourites");
  Put(data / "shortcuts/default.ssa", "default keys");
  const std::string ourEnglish = Slurp((data / "languages/english.xml").string());
  ASSERT_FALSE(ourEnglish.empty());
  for (bool userOnly : {false, true}) {
    SCOPED_TRACE(userOnly ? "cmake --install" : "build");
    const fs::path tree = dir.path() / (userOnly ? "installed" : "built");
    WriteUserFiles(tree);
    Put(tree / "languages/english.xml", "stale");
    for (int run = 0; run < 2; ++run) {  // a first build and a rebuild
      ASSERT_EQ(test::Run("cmake -DSRC='" + data.string() + "' -DDST='" + tree.string() + "'" +
                    (userOnly ? " -DUSER_ONLY=1" : "") + " -P '" + (data / "CopyData.cmake").string() + "'"),
                0);
    }
    ExpectUserFilesKept(tree);
    EXPECT_EQ(Slurp((tree / "lists/favourites.ssa").string()), "default favourites") << "a missing default arrives";
    for (const char* folder : {"skins", "languages", "lists", "shortcuts", "effects"}) {
      EXPECT_TRUE(fs::is_directory(tree / folder)) << folder;
    }
    // Our language files are refreshed by a build; the install step proper copies them.
    if (!userOnly) {
      EXPECT_EQ(Slurp((tree / "languages/english.xml").string()), ourEnglish);
    }
  }
}

// `cmake --install` of this build into a fresh folder gives a tree that runs
// without the build: zonda-decode and zonda-engine from it, with its own
// libraries (Ogg through libombrel.so, FLAC through libquelmo.so, the null
// device through libilvex.so). Installing again over user files keeps them.
TEST(Installation, CmakeInstallMakesAWorkingTree) {
  if (BuildDir().empty()) ZONDA_SKIP_OR_FAIL("ZONDA_TEST_BIN not set (run through ctest)");
  ZONDA_REQUIRE_TOOLS("oggenc", "ffmpeg");
  TempDir dir;
  const fs::path tree = dir.path() / "prefix";
  const std::string install = "cmake --install '" + BuildDir() + "' --prefix '" + tree.string() + "' >'" +
                              dir.file("install.log") + "' 2>&1";
  ASSERT_EQ(test::Run(install), 0) << Slurp(dir.file("install.log"));
  for (const char* file : {"zonda", "zonda-decode", "zonda-engine", "zonda-skinview", "zonda-tags", "libilvex.so", "libombrel.so",
                           "libquelmo.so", "languages/english.xml", "languages/german.xml", "skins/zc2000_blue.xml",
                           "skins/zc2000_blue.bmp", "skins/orvel_green.xml", "skins/orvel_green.bmp"}) {
    EXPECT_TRUE(fs::is_regular_file(tree / file)) << file;
  }
  for (const char* folder : {"lists", "shortcuts", "effects"}) EXPECT_TRUE(fs::is_directory(tree / folder)) << folder;

  // Tracks made by the Debian encoders from one tone each.
  WriteTones(dir.file("a.wav"), 4, {{700, 0.5}});
  WriteTones(dir.file("b.wav"), 4, {{1700, 0.5}});
  ASSERT_EQ(test::Run("oggenc -Q -q 6 -o '" + dir.file("a.ogg") + "' '" + dir.file("a.wav") + "'"), 0);
  ASSERT_EQ(test::Run("ffmpeg -v error -y -i '" + dir.file("b.wav") + "' -c:a flac '" + dir.file("b.flac") + "'"), 0);
  // Without ZONDA_PROGRAM_DIR the programs find their files beside themselves.
  const std::string inTree = "cd '" + dir.path().string() + "' && env -u ZONDA_PROGRAM_DIR XDG_CONFIG_HOME='" +
                             dir.path().string() + "' '" + tree.string() + "/";
  EXPECT_EQ(test::Run(inTree + "zonda-decode' b.flac b-decoded.wav 2>decode.err"), 0) << Slurp(dir.file("decode.err"));
  const Wav decoded = ReadWav(dir.file("b-decoded.wav"));
  ASSERT_EQ(decoded.channels, 2);
  EXPECT_NEAR(ToneDb(decoded.Channel(0, 1, 3), 1700), FullScaleDb(0.5 * 32767), 0.1);
  {
    std::ofstream(dir.file("script.txt")) << "at 0 load a a.ogg\nat 0 load b b.flac\nat 0 play a\nat 0 play b\n"
                                             "at 0 crossfader 63\nat 3 end\n";
  }
  ASSERT_EQ(test::Run(inTree + "zonda-engine' --offline --out mix.wav --master-only script.txt 2>engine.err"), 0)
      << Slurp(dir.file("engine.err"));
  EXPECT_EQ(Slurp(dir.file("engine.err")), "");
  const Wav mix = ReadWav(dir.file("mix.wav"));
  ASSERT_EQ(mix.frames(), 3 * 44100);
  EXPECT_GT(ToneDb(mix.Channel(0, 1, 2.5), 700), -15.0) << "deck A (Ogg) in the mix";
  EXPECT_GT(ToneDb(mix.Channel(0, 1, 2.5), 1700), -15.0) << "deck B (FLAC) in the mix";
  {
    std::ofstream(dir.file("live.txt")) << "at 0 load a a.ogg\nat 0 play a\nat 0.2 record start rec.wav\n"
                                           "at 1.2 record stop\nat 1.3 end\n";
  }
  ASSERT_EQ(test::Run(inTree + "zonda-engine' --device null live.txt 2>live.err"), 0) << Slurp(dir.file("live.err"));
  const Wav rec = ReadWav(dir.file("rec.wav"));
  ASSERT_GT(rec.frames(), 44100 / 2);
  EXPECT_GT(ToneDb(rec.Channel(0, 0.1, 0.5), 700), -15.0) << "real time on the null device";

  // Again over a tree the user has lived in.
  WriteUserFiles(tree);
  Put(tree / "languages/english.xml", "stale");
  ASSERT_EQ(test::Run(install), 0) << Slurp(dir.file("install.log"));
  ExpectUserFilesKept(tree);
  EXPECT_EQ(Slurp((tree / "languages/english.xml").string()), Slurp(SourceDir() + "/data/languages/english.xml"));
}

// zonda-decode's answers: 0 with the track's PCM, 1 with exactly one line for
// a file it cannot open or an output it cannot write, 2 with its usage line
// for wrong arguments.
TEST(Installation, ZondaDecodeExitCodes) {
  EngineSandbox box;
  const auto pcm = SineStereo(44100, 440, 660, 0.5);
  WriteDeckWav(box.file("good.wav"), pcm);
  std::ofstream(box.file("text.wav")) << "not a sound file\n";
  struct Case {
    std::string args;
    int status;
    std::string err;  // the whole of standard error
  };
  const std::string tool = "zonda-decode: ";
  const Case cases[] = {
      {"good.wav out.wav", 0, ""},
      {"missing.mp3 out.wav", 1, tool + "cannot open missing.mp3 (LastError "},
      {"text.wav out.wav", 1, tool + "cannot open text.wav (LastError "},
      {"good.wav no/such/folder/out.wav", 1, tool + "cannot write no/such/folder/out.wav\n"},
      {"", 2, "usage: zonda-decode FILE OUT.wav\n"},
      {"good.wav", 2, "usage: zonda-decode FILE OUT.wav\n"},
      {"good.wav out.wav extra", 2, "usage: zonda-decode FILE OUT.wav\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args);
    const auto r = box.RunTool("zonda-decode", c.args);
    EXPECT_EQ(r.status, c.status) << r.err;
    if (c.err.empty() || c.err.back() == '\n') {
      EXPECT_EQ(r.err, c.err);
    } else {
      EXPECT_EQ(r.err.rfind(c.err, 0), 0u) << r.err;
      EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
      EXPECT_EQ(r.err.back(), '\n');
      EXPECT_EQ(r.err.substr(r.err.size() - 2), ")\n") << r.err;
    }
    if (c.status == 0) {
      const Wav out = ReadWav(box.file("out.wav"));
      ASSERT_EQ(out.channels, 2);
      EXPECT_EQ(out.samples, pcm) << "the track's own samples";
    }
  }
}

}  // namespace
}  // namespace zonda::test
