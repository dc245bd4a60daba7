#pragma once
// TMixerPreviewSource: what the mixer's monitor mix needs from the preview
// player (TPreviewMonitor implements it; tests put their own sources in).
#include <cstdint>

namespace zonda {

class TMixerPreviewSource {
 public:
  virtual ~TMixerPreviewSource() = default;
  // Audio thread: the next block of the preview, or silence.
  virtual void ReadPreview(int16_t* destination, int32_t bytes) noexcept = 0;
};

}  // namespace zonda
