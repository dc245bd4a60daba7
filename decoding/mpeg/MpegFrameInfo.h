#pragma once
// What a frame header implies for decoding. Internal to the MPEG audio core.
#include <cstdint>

#include "decoding/mpeg/MpegAudioCore.h"

namespace zonda::mpeg {

struct TFrameInfo {
  int version = 0;     // 0 MPEG-1, 1 MPEG-2, 2 MPEG-2.5
  bool lsf = false;    // lower sampling frequencies (MPEG-2 and 2.5)
  int layer = 0;       // 1..3
  int rateSlot = 0;    // 0..8: index into the band tables
  int sampleRate = 0;  // Hz
  int bitrate = 0;     // bits per second (0: free format)
  int channels = 0;
  int mode = 0;
  int modeExtension = 0;
  bool crc = false;
  int frameBytes = 0;  // whole frame, padding slot included
  int samplesPerFrame = 0;
};

// Fills `info` from a parsed header; freeLength is the frame length without
// padding to use for free format. False for reserved values.
bool MakeFrameInfo(const TMpegHeader& h, int freeLength, TFrameInfo& info);

}  // namespace zonda::mpeg
