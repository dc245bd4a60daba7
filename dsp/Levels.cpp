#include "dsp/Levels.h"

#include <cmath>

namespace zonda {

double DbToLevel(double dB) noexcept {
  const double level = std::pow(10.0, dB / 20.0) * kFullScale;
  return level >= 1.0 ? level : 1.0;  // also maps NaN to 1
}

double LevelToDb(double level) noexcept {
  if (!(level > 0.0)) return kSilenceDb;
  return 20.0 * std::log10(level / kFullScale);
}

double DbToGain(double dB) noexcept { return DbToLevel(dB) / kFullScale; }

}  // namespace zonda
