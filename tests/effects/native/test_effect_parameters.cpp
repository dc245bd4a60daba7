// The parameter block of the native effects: ranges kept, slider positions
// mapped both ways, values shown as the editor shows them.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <limits>

#include "effects/native/EffectParameters.h"

namespace zonda::fx {
namespace {

constexpr std::array<const char*, 3> kChoices = {"1/4 beat", "1/2 beat", "1 beat"};
const TParameterInfo kParameterInfo[] = {
    {"Mix", "%", 0.0f, 1.0f, 0.5f, TParameterScale::Linear, {}},
    {"Rate", "Hz", 0.05f, 5.0f, 0.25f, TParameterScale::Logarithmic, {}},
    {"Bits", "bits", 1.0f, 16.0f, 8.0f, TParameterScale::Steps, {}},
    {"Delay", "", 0, 0, 1.0f, TParameterScale::Steps, kChoices},
    {"Threshold", "dB", -80.0f, 0.0f, -40.0f, TParameterScale::Linear, {}},
};

TEST(EffectParameters, StartAtTheirInitialValuesAndStayInRange) {
  TEffectParameters p(kParameterInfo);
  ASSERT_EQ(p.Count(), 5);
  for (int i = 0; i < p.Count(); ++i) EXPECT_EQ(p.Value(i), kParameterInfo[i].initial) << kParameterInfo[i].name;

  struct Case {
    int index;
    float written, read;
  };
  const Case cases[] = {
      {0, 2.0f, 1.0f},   {0, -1.0f, 0.0f}, {0, std::numeric_limits<float>::quiet_NaN(), 0.5f},
      {1, 100.0f, 5.0f}, {1, 0.0f, 0.05f}, {2, 7.6f, 8.0f},
      {2, 40.0f, 16.0f}, {3, 2.4f, 2.0f},  {3, 9.0f, 2.0f},
      {3, -3.0f, 0.0f},  {4, 12.0f, 0.0f}, {4, std::numeric_limits<float>::infinity(), 0.0f},
  };
  for (const Case& c : cases) {
    p.SetValue(c.index, c.written);
    EXPECT_EQ(p.Value(c.index), c.read) << kParameterInfo[c.index].name << " written " << c.written;
  }
  p.SetValue(-1, 3.0f);
  p.SetValue(5, 3.0f);
  EXPECT_EQ(p.Value(5), 0.0f) << "out of range reads 0";
  EXPECT_EQ(p.Index(3), 0);
}

TEST(EffectParameters, SliderPositionsMapBothWays) {
  EXPECT_EQ(SliderSteps(kParameterInfo[2]), 15);
  EXPECT_EQ(SliderSteps(kParameterInfo[3]), 2);
  for (const TParameterInfo& info : kParameterInfo) {
    SCOPED_TRACE(info.name);
    const int steps = SliderSteps(info);
    EXPECT_EQ(ValueAtSliderPosition(info, 0), info.choices.empty() ? info.minimum : 0.0f);
    EXPECT_EQ(ValueAtSliderPosition(info, -5), ValueAtSliderPosition(info, 0));
    EXPECT_EQ(ValueAtSliderPosition(info, steps + 5), ValueAtSliderPosition(info, steps));
    for (int pos = 0; pos <= steps; pos += std::max(1, steps / 37)) {
      EXPECT_EQ(SliderPositionOfValue(info, ValueAtSliderPosition(info, pos)), pos);
    }
  }
  // A logarithmic slider's middle is the geometric mean: 0.5 Hz between 0.05 and 5.
  EXPECT_NEAR(ValueAtSliderPosition(kParameterInfo[1], SliderSteps(kParameterInfo[1]) / 2), 0.5f, 1e-4f);
}

TEST(EffectParameters, ValuesShowAsTheEditorShowsThem) {
  struct Case {
    int index;
    float value;
    const char* shown;
  };
  const Case cases[] = {{0, 0.45f, "45 %"},    {1, 0.25f, "0.25 Hz"}, {1, 5.0f, "5.00 Hz"},   {2, 8.0f, "8 bits"},
                        {3, 1.0f, "1/2 beat"}, {3, 7.0f, "1 beat"},   {4, -40.0f, "-40.0 dB"}};
  for (const Case& c : cases) EXPECT_EQ(FormatParameterValue(kParameterInfo[c.index], c.value), c.shown);
}

}  // namespace
}  // namespace zonda::fx
