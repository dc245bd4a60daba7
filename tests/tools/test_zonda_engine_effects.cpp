// Effects through zonda-engine: --list-effects against the installed
// LADSPA and LV2 plug-ins and the shipped native effects, a low-pass of each
// kind measured on two tones, and the dry/wet knob's fully dry end matching a
// run without the effect sample for sample.
#include <gtest/gtest.h>

#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/EngineSandbox.h"
#include "tests/support/Require.h"
#include "tests/support/ToneAnalysis.h"

namespace zonda {
namespace {

using test::EngineSandbox;
using test::ReadWav;
using test::ToneDb;

struct Effect {
  std::string ident, kind, name;
};

std::vector<Effect> ListEffects(const EngineSandbox& box) {
  const auto r = box.RunTool("zonda-engine", "--list-effects");
  EXPECT_EQ(r.status, 0) << r.err;
  std::vector<Effect> effects;
  std::istringstream lines(r.out);
  std::string line;
  while (std::getline(lines, line)) {
    const size_t a = line.find('\t');
    const size_t b = a == std::string::npos ? a : line.find('\t', a + 1);
    EXPECT_NE(b, std::string::npos) << "not identifier TAB kind TAB name: " << line;
    if (b == std::string::npos) continue;
    effects.push_back({line.substr(0, a), line.substr(a + 1, b - a - 1), line.substr(b + 1)});
  }
  return effects;
}

const Effect* Find(const std::vector<Effect>& effects, const std::string& kind, const std::string& name) {
  for (const Effect& e : effects)
    if (e.kind == kind && e.name == name) return &e;
  return nullptr;
}

// Levels of 100 Hz and 8 kHz on the left master channel from 1.0 to 1.8 s of a
// run that plays both tones with `effect` loaded into slot 1 of deck A and on.
std::pair<double, double> LowAndHigh(const EngineSandbox& box, const std::string& effect, const std::string& out) {
  std::string script = "at 0 load a tones.wav\nat 0 play a\n";
  if (!effect.empty()) script += "at 0 fx a 1 load " + effect + "\nat 0 fx a 1 on\n";
  script += "at 2 end\n";
  const auto r = box.Run("--offline --master-only --out " + out, script);
  EXPECT_EQ(r.status, 0) << r.err;
  const auto x = ReadWav(box.file(out)).Channel(0, 1.0, 1.8);
  return {ToneDb(x, 100), ToneDb(x, 8000)};
}

TEST(ZondaEngineEffects, ListsEveryKindAndHonoursTheExclusionLists) {
  EngineSandbox box;
  const auto effects = ListEffects(box);
  std::map<std::string, int> kinds;
  for (const Effect& e : effects) ++kinds[e.kind];
  EXPECT_EQ(kinds.size(), 3u) << "native, ladspa and lv2";
  // The shipped native effects, by their path in the effects folder.
  for (const char* name : {"Echo", "Ping-Pong Delay", "Flanger", "Phaser", "Reverb", "Filter Sweep", "Bit Crusher", "Gate"}) {
    const Effect* e = Find(effects, "native", name);
    ASSERT_NE(e, nullptr) << name;
    EXPECT_NE(e->ident.find("/effects/"), std::string::npos) << e->ident;
  }
  if (Find(effects, "ladspa", "Simple Low Pass Filter") == nullptr)
    ZONDA_SKIP_OR_FAIL("the cmt LADSPA plug-ins are not installed");
  // Generators and meters are excluded by the shipped lists.
  EXPECT_EQ(Find(effects, "ladspa", "Sine Oscillator (Freq:control, Amp:control)"), nullptr);
  EXPECT_EQ(Find(effects, "lv2", "EBU R128 Meter"), nullptr);
  // Identifiers number each list from 0 in order.
  int ladspa = 0, lv2 = 0;
  for (const Effect& e : effects) {
    if (e.kind == "ladspa") {
      EXPECT_EQ(e.ident, "*" + std::to_string(ladspa++));
    } else if (e.kind == "lv2") {
      EXPECT_EQ(e.ident, "#" + std::to_string(lv2++));
    }
  }
}

TEST(ZondaEngineEffects, ALowPassOfEachKindKeepsTheBassAndCutsTheTreble) {
  EngineSandbox box;
  const auto effects = ListEffects(box);
  const Effect* ladspa = Find(effects, "ladspa", "Simple Low Pass Filter");  // cmt, one pole at 440 Hz
  const Effect* lv2 = Find(effects, "lv2", "Invada Low Pass Filter (stereo)");  // 1 kHz
  if (ladspa == nullptr || lv2 == nullptr) ZONDA_SKIP_OR_FAIL("cmt (LADSPA) or invada-studio-plugins-lv2 (LV2) is not installed");
  test::WriteTones(box.file("tones.wav"), 3, {{100, 0.3}, {8000, 0.3}});
  const auto [low, high] = LowAndHigh(box, "", "dry.wav");
  EXPECT_NEAR(low, high, 1.0);
  for (const Effect* e : {ladspa, lv2}) {
    const auto [fLow, fHigh] = LowAndHigh(box, e->ident, "fx.wav");
    EXPECT_NEAR(fLow, low, 1.5) << e->name;
    EXPECT_LT(fHigh, high - 18) << e->name;
  }
}

TEST(ZondaEngineEffects, DryKnobMatchesARunWithoutTheEffect) {
  EngineSandbox box;
  test::WriteTones(box.file("tones.wav"), 3, {{440, 0.4}});
  const std::string play = "at 0 load a tones.wav\nat 0 play a\n";
  ASSERT_EQ(box.Run("--offline --master-only --out plain.wav", play + "at 2 end\n").status, 0);
  // Loaded by file name only: found in the effects folder.
  const auto r = box.Run("--offline --master-only --out dry.wav",
                         play + "at 0 fx a 2 load echo.so\nat 0 fx a 2 drywet 1\nat 0 fx a 2 on\nat 2 end\n");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err.find("could not be loaded"), std::string::npos) << r.err;
  EXPECT_EQ(ReadWav(box.file("dry.wav")).samples, ReadWav(box.file("plain.wav")).samples);
}

TEST(ZondaEngineEffects, ScriptFaultsAreReportedAndABadEffectLeavesTheSlotEmpty) {
  EngineSandbox box;
  for (const char* bad : {"at 0 fx a 5 on\n", "at 0 fx c 1 on\n", "at 0 fx a 1 bogus\n", "at 0 fx a 1 drywet 101\n",
                          "at 0 fx a 1 load\n"}) {
    const auto r = box.Run("--check", bad);
    EXPECT_EQ(r.status, 2) << bad;
    EXPECT_NE(r.err.find("script.txt:1:"), std::string::npos) << r.err;
  }
  test::WriteTones(box.file("tones.wav"), 1, {{440, 0.4}});
  const auto r = box.Run("--offline --master-only --out out.wav",
                         "at 0 load a tones.wav\nat 0 play a\nat 0 fx a 1 load *99999\nat 0 fx a 1 load missing.so\n"
                         "at 0 fx a 1 on\nat 0.5 end\n");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.err.find("'*99999' could not be loaded"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("the slot is empty"), std::string::npos) << r.err;
}

}  // namespace
}  // namespace zonda
