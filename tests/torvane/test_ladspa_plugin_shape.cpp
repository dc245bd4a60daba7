// How LADSPA descriptors become stereo effects and editor controls, and how
// plug-in names cross the bridge. Synthetic descriptors, no library loaded.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>

#include "torvane/core/LadspaMoniker.h"
#include "torvane/core/LadspaPluginShape.h"
#include "torvane/core/SampleConversion.h"

namespace zonda {
namespace {

constexpr float kRate = 44100.0f;

LADSPA_Handle Instantiate(const LADSPA_Descriptor*, unsigned long) { return nullptr; }
void Connect(LADSPA_Handle, unsigned long, LADSPA_Data*) {}
void Run(LADSPA_Handle, unsigned long) {}

// A descriptor over caller-owned port tables.
struct TFakePlugin {
  std::vector<LADSPA_PortDescriptor> ports;
  std::vector<const char*> names;
  std::vector<LADSPA_PortRangeHint> hints;
  LADSPA_Descriptor descriptor{};

  explicit TFakePlugin(std::vector<LADSPA_PortDescriptor> p) : ports(std::move(p)) {
    names.assign(ports.size(), "port");
    hints.assign(ports.size(), LADSPA_PortRangeHint{0, 0.0f, 1.0f});
    descriptor.UniqueID = 7;
    descriptor.Name = "Fake";
    descriptor.PortCount = ports.size();
    descriptor.PortDescriptors = ports.data();
    descriptor.PortNames = names.data();
    descriptor.PortRangeHints = hints.data();
    descriptor.instantiate = Instantiate;
    descriptor.connect_port = Connect;
    descriptor.run = Run;
  }
};

constexpr LADSPA_PortDescriptor kAudioIn = LADSPA_PORT_INPUT | LADSPA_PORT_AUDIO;
constexpr LADSPA_PortDescriptor kAudioOut = LADSPA_PORT_OUTPUT | LADSPA_PORT_AUDIO;
constexpr LADSPA_PortDescriptor kControlIn = LADSPA_PORT_INPUT | LADSPA_PORT_CONTROL;
constexpr LADSPA_PortDescriptor kControlOut = LADSPA_PORT_OUTPUT | LADSPA_PORT_CONTROL;

TEST(LadspaPluginShape, AudioPortCountsDecideTheLayoutOrRefuse) {
  struct Case {
    std::vector<LADSPA_PortDescriptor> ports;
    std::optional<TLadspaLayout> layout;
  };
  const Case cases[] = {
      {{kAudioIn, kAudioOut, kAudioIn, kAudioOut}, TLadspaLayout::Stereo},
      {{kControlIn, kAudioIn, kAudioOut, kControlOut}, TLadspaLayout::PairedMono},
      {{kAudioIn, kAudioOut, kAudioOut}, TLadspaLayout::MonoToStereo},
      {{kAudioIn, kAudioIn, kAudioOut, kControlIn}, TLadspaLayout::StereoToMono},
      {{kAudioOut, kControlIn}, std::nullopt},                           // a generator
      {{kAudioIn, kControlOut}, std::nullopt},                           // a meter
      {{kAudioIn, kAudioIn, kAudioIn, kAudioOut, kAudioOut}, std::nullopt},  // side chain
      {{LADSPA_PORT_INPUT | LADSPA_PORT_OUTPUT | LADSPA_PORT_AUDIO, kAudioOut}, std::nullopt},
      {{LADSPA_PORT_INPUT, kAudioOut}, std::nullopt},                    // neither audio nor control
  };
  for (const Case& c : cases) {
    TFakePlugin plugin(c.ports);
    const auto shape = DescribeLadspaPlugin(plugin.descriptor, kRate);
    ASSERT_EQ(shape.has_value(), c.layout.has_value()) << "ports: " << c.ports.size();
    if (shape) {
      EXPECT_EQ(shape->Layout, *c.layout);
    }
  }
}

TEST(LadspaPluginShape, PortsAreSortedByKindInPortOrder) {
  TFakePlugin plugin({kControlIn, kAudioIn, kAudioOut, kControlOut, kAudioIn, kControlIn, kAudioOut});
  const auto shape = DescribeLadspaPlugin(plugin.descriptor, kRate);
  ASSERT_TRUE(shape);
  EXPECT_EQ(shape->AudioInputs, (std::vector<unsigned long>{1, 4}));
  EXPECT_EQ(shape->AudioOutputs, (std::vector<unsigned long>{2, 6}));
  EXPECT_EQ(shape->ControlInputs, (std::vector<unsigned long>{0, 5}));
  EXPECT_EQ(shape->ControlOutputs, (std::vector<unsigned long>{3}));
  EXPECT_EQ(shape->Controls.size(), 2u);
}

TEST(LadspaPluginShape, BrokenDescriptorsAreRefused) {
  TFakePlugin plugin({kAudioIn, kAudioOut});
  LADSPA_Descriptor d = plugin.descriptor;
  d.run = nullptr;
  EXPECT_FALSE(DescribeLadspaPlugin(d, kRate));
  d = plugin.descriptor;
  d.instantiate = nullptr;
  EXPECT_FALSE(DescribeLadspaPlugin(d, kRate));
  d = plugin.descriptor;
  d.PortNames = nullptr;
  EXPECT_FALSE(DescribeLadspaPlugin(d, kRate));
  d = plugin.descriptor;
  d.PortRangeHints = nullptr;
  EXPECT_FALSE(DescribeLadspaPlugin(d, kRate));
  d = plugin.descriptor;
  d.PortCount = 0;
  EXPECT_FALSE(DescribeLadspaPlugin(d, kRate));
  d = plugin.descriptor;
  d.PortCount = kMaxLadspaPorts + 1;
  EXPECT_FALSE(DescribeLadspaPlugin(d, kRate));
}

TEST(LadspaPluginShape, ControlHintsGiveBoundsAndDefaults) {
  constexpr int B = LADSPA_HINT_BOUNDED_BELOW | LADSPA_HINT_BOUNDED_ABOVE;
  struct Case {
    const char* what;
    LADSPA_PortRangeHint hint;
    float minimum, maximum, value;
  };
  const Case cases[] = {
      {"minimum", {B | LADSPA_HINT_DEFAULT_MINIMUM, 2, 10}, 2, 10, 2},
      {"low", {B | LADSPA_HINT_DEFAULT_LOW, 2, 10}, 2, 10, 4},
      {"middle", {B | LADSPA_HINT_DEFAULT_MIDDLE, 2, 10}, 2, 10, 6},
      {"high", {B | LADSPA_HINT_DEFAULT_HIGH, 2, 10}, 2, 10, 8},
      {"maximum", {B | LADSPA_HINT_DEFAULT_MAXIMUM, 2, 10}, 2, 10, 10},
      {"low, logarithmic", {B | LADSPA_HINT_DEFAULT_LOW | LADSPA_HINT_LOGARITHMIC, 1, 10000}, 1, 10000, 10},
      {"middle, logarithmic", {B | LADSPA_HINT_DEFAULT_MIDDLE | LADSPA_HINT_LOGARITHMIC, 1, 10000}, 1, 10000, 100},
      {"high, logarithmic", {B | LADSPA_HINT_DEFAULT_HIGH | LADSPA_HINT_LOGARITHMIC, 1, 10000}, 1, 10000, 1000},
      {"middle, logarithmic from 0 is linear", {B | LADSPA_HINT_DEFAULT_MIDDLE | LADSPA_HINT_LOGARITHMIC, 0, 10},
       0, 10, 5},
      {"0", {B | LADSPA_HINT_DEFAULT_0, -5, 5}, -5, 5, 0},
      {"1", {B | LADSPA_HINT_DEFAULT_1, -5, 5}, -5, 5, 1},
      {"100", {B | LADSPA_HINT_DEFAULT_100, 0, 1000}, 0, 1000, 100},
      {"440", {B | LADSPA_HINT_DEFAULT_440, 20, 20000}, 20, 20000, 440},
      {"440 above the bounds is clamped", {B | LADSPA_HINT_DEFAULT_440, 0, 100}, 0, 100, 100},
      {"no default: 0 inside the bounds", {B, 3, 7}, 3, 7, 3},
      {"sample rate bounds", {B | LADSPA_HINT_SAMPLE_RATE | LADSPA_HINT_DEFAULT_MAXIMUM, 0, 0.5f}, 0, 22050, 22050},
      {"sample rate, constant default not scaled",
       {B | LADSPA_HINT_SAMPLE_RATE | LADSPA_HINT_DEFAULT_440, 0, 0.5f}, 0, 22050, 440},
      {"integer rounds the default", {B | LADSPA_HINT_INTEGER | LADSPA_HINT_DEFAULT_MIDDLE, 0, 5}, 0, 5, 3},
      {"toggled", {LADSPA_HINT_TOGGLED | LADSPA_HINT_DEFAULT_1, 0, 0}, 0, 1, 1},
      {"toggled off", {LADSPA_HINT_TOGGLED, 0, 0}, 0, 1, 0},
      {"unbounded above", {LADSPA_HINT_BOUNDED_BELOW | LADSPA_HINT_DEFAULT_1, 0, 0}, 0, 10, 1},
      {"unbounded below", {LADSPA_HINT_BOUNDED_ABOVE | LADSPA_HINT_DEFAULT_0, 0, 4}, 0, 4, 0},
      {"unbounded below a negative top", {LADSPA_HINT_BOUNDED_ABOVE, 0, -10}, -100, -10, -10},
      {"unbounded both", {LADSPA_HINT_DEFAULT_100, 0, 0}, 0, 1000, 100},
      {"reversed bounds", {B | LADSPA_HINT_DEFAULT_MINIMUM, 10, 2}, 2, 10, 2},
      {"infinite bounds", {B | LADSPA_HINT_DEFAULT_1, -std::numeric_limits<float>::infinity(),
                           std::numeric_limits<float>::infinity()}, 0, 10, 1},
  };
  for (const Case& c : cases) {
    const TControlPortInfo port = LadspaControlPort("Cutoff", c.hint, kRate);
    EXPECT_EQ(port.name, "Cutoff");
    EXPECT_FLOAT_EQ(port.minimum, c.minimum) << c.what;
    EXPECT_FLOAT_EQ(port.maximum, c.maximum) << c.what;
    EXPECT_NEAR(port.defaultValue, c.value, std::fabs(c.value) * 1e-5f) << c.what;
  }
}

TEST(LadspaPluginShape, HintsBecomeEditorKinds) {
  const TControlPortInfo toggle = LadspaControlPort("On", {LADSPA_HINT_TOGGLED, 0, 0}, kRate);
  EXPECT_TRUE(toggle.toggled);
  const TControlPortInfo steps = LadspaControlPort("Steps", {LADSPA_HINT_INTEGER, 0, 0}, kRate);
  EXPECT_TRUE(steps.integer);
  const TControlPortInfo cutoff = LadspaControlPort("Hz", {LADSPA_HINT_LOGARITHMIC, 0, 0}, kRate);
  EXPECT_TRUE(cutoff.logarithmic);
  EXPECT_FALSE(cutoff.toggled || cutoff.integer);
}

TEST(LadspaPluginShape, NameFallsBackToLabelThenId) {
  TFakePlugin plugin({kAudioIn, kAudioOut});
  LADSPA_Descriptor d = plugin.descriptor;
  EXPECT_EQ(LadspaPluginName(d), "Fake");
  d.Name = nullptr;
  d.Label = "fake_label";
  EXPECT_EQ(LadspaPluginName(d), "fake_label");
  d.Label = "";
  EXPECT_EQ(LadspaPluginName(d), "LADSPA 7");
}

TEST(LadspaMoniker, MakesAndParsesNames) {
  EXPECT_EQ(MakeLadspaMoniker("/usr/lib/ladspa/filter.so", 1041), "ladspa:/usr/lib/ladspa/filter.so:1041");
  struct Case {
    const char* text;
    const char* path;  // null: refused
    unsigned long id;
  };
  const Case cases[] = {
      {"ladspa:/usr/lib/ladspa/filter.so:1041", "/usr/lib/ladspa/filter.so", 1041},
      {"ladspa:/opt/a:b/x.so:7", "/opt/a:b/x.so", 7},
      {"ladspa:/usr/lib/ladspa/filter.so:", nullptr, 0},
      {"ladspa:/usr/lib/ladspa/filter.so:10x", nullptr, 0},
      {"ladspa:/usr/lib/ladspa/filter.so:-1", nullptr, 0},
      {"ladspa:/usr/lib/ladspa/filter.so", nullptr, 0},
      {"ladspa:filter.so:1041", nullptr, 0},
      {"ladspa::1041", nullptr, 0},
      {"ladspa:", nullptr, 0},
      {"lv2:/usr/lib/ladspa/filter.so:1041", nullptr, 0},
      {"", nullptr, 0},
      {"ladspa:/x.so:99999999999999999999999", nullptr, 0},
  };
  for (const Case& c : cases) {
    const auto moniker = ParseLadspaMoniker(c.text);
    ASSERT_EQ(moniker.has_value(), c.path != nullptr) << c.text;
    if (!moniker) continue;
    EXPECT_EQ(moniker->LibraryPath, c.path);
    EXPECT_EQ(moniker->UniqueID, c.id);
  }
}

TEST(LadspaMoniker, WideTextsRoundTrip) {
  const std::string name = "ladspa:/home/d\xc3\xa9j\xc3\xa0/\xe2\x99\xab.so:12";
  const std::u16string wide = ToUtf16(name);
  EXPECT_EQ(wide.size(), std::string("ladspa:/home/deja/x.so:12").size());
  EXPECT_EQ(FromUtf16(wide.c_str()), name);
  EXPECT_EQ(FromUtf16(nullptr), "");
}

TEST(SampleConversion, ShortsAndFloatsAsTheBridgeConvertsThem) {
  struct Case {
    float in;
    int16_t out;
  };
  const Case cases[] = {
      {32767.0f / 32768.0f, 32766},  // full scale through an unchanged signal
      {-1.0f, -32767},
      {0.5f, 16384},                  // 16383.5 rounds away from zero
      {-0.5f, -16384},
      {0.0f, 0},
      {1.0f, 32767},
      {2.0f, 32767},
      {-2.0f, -32768},
      {std::numeric_limits<float>::infinity(), 32767},
      {std::numeric_limits<float>::quiet_NaN(), 0},
  };
  for (const Case& c : cases) EXPECT_EQ(FloatToShort(c.in), c.out) << c.in;
  // Every 16-bit value at several gains, and the halves between them, round as lround does.
  for (int s = -32768; s <= 32767; ++s) {
    for (const float gain : {1.0f, 0.5f, 0.999f, 1.001f}) {
      const float f = ShortToFloat(int16_t(s)) * gain;
      const long want = std::clamp(std::lround(f * 32767.0f), -32768l, 32767l);
      ASSERT_EQ(FloatToShort(f), want) << s << " x " << gain;
    }
    const float half = (float(s) + 0.5f) / 32767.0f;
    ASSERT_EQ(FloatToShort(half), std::clamp(std::lround(half * 32767.0f), -32768l, 32767l)) << s << ".5";
  }
  EXPECT_EQ(ShortToFloat(-32768), -1.0f);
  EXPECT_EQ(ShortToFloat(16384), 0.5f);
}

}  // namespace
}  // namespace zonda
