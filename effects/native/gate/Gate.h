#pragma once
// TGate ("Gate"): a noise gate. The louder channel's peak envelope opens the
// gate when it reaches `Threshold` and closes it when it falls 4 dB below
// (the gap keeps a signal near the threshold from chattering) and has stayed
// there for kHoldMs. The gain glides to 1 in about `Attack` and to 0 in
// about `Release`, and settles exactly, so an open gate passes samples
// unchanged and a closed one gives true silence. It starts closed.
//
// Threads: as TNativeEffect.
#include <cstdint>

#include "effects/native/NativeEffect.h"

namespace zonda::fx {

class TGate : public TNativeEffect {
 public:
  static constexpr const char* kName = "Gate";
  enum Parameter { kThreshold, kAttack, kRelease };
  static const TParameterInfo kParameterInfo[3];
  static constexpr float kHysteresisDb = 4.0f;
  static constexpr float kHoldMs = 30.0f;
  // The envelope's fall. With the hold it bridges the troughs of a tone down
  // to 40 Hz (peaks every 12.5 ms), so a steady tone never chatters.
  static constexpr float kEnvelopeMs = 10.0f;

  TGate();

 protected:
  void Reset() noexcept override;
  void Render(int16_t* block, int32_t frames, double tempoBpm) noexcept override;

 private:
  float envelope_ = 0.0f;
  float gain_ = 0.0f;
  bool open_ = false;
  int32_t holdLeft_ = 0;  // frames the gate stays open below the closing level
};

}  // namespace zonda::fx
