#pragma once
// Layers I and II: bit allocation, scale factors and requantisation into
// subband samples. Stateless. Internal to the MPEG audio core.
#include "decoding/mpeg/MpegFrameInfo.h"

namespace zonda::mpeg {

// Fill subbands[ch][slot][sb] (12 slots for layer I, 36 for layer II) from the
// frame at `frame` (header included). False for a damaged frame.
bool DecodeLayer1(const TFrameInfo& info, const uint8_t* frame, float (*subbands)[36][32]);
bool DecodeLayer2(const TFrameInfo& info, const uint8_t* frame, float (*subbands)[36][32]);

}  // namespace zonda::mpeg
