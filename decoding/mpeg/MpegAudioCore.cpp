#include "decoding/mpeg/MpegAudioCore.h"

#include <cstring>

#include "decoding/mpeg/MpegFrameInfo.h"
#include "decoding/mpeg/MpegLayer12.h"
#include "decoding/mpeg/MpegLayer3.h"
#include "decoding/mpeg/MpegSynthesis.h"
#include "decoding/mpeg/MpegTables.h"

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#endif

namespace zonda::mpeg {
namespace {

// The one decoder state of the process (see the header: callers serialise).
struct TCoreState {
  bool initialised = false;
  TMpegHeader header;
  TFrameInfo info;
  int freeLength = 0;
  TMpegOutputInfo output;
  uint32_t features = 0;
  TMpegSynthesis synthesis;
  TMpegLayer3 layer3;
  alignas(16) float subbands[2][36][32];
  alignas(16) float pcm[2][1152];
};

TCoreState& State() {
  static TCoreState state;
  return state;
}

bool Unpack(const uint8_t* b, TMpegHeader& h) {
  if (b[0] != 0xFF || (b[1] & 0xE0) != 0xE0) return false;
  h.syncKind = (b[1] & 0x10) ? 1 : 2;
  h.id = (b[1] >> 3) & 1;
  h.layerCode = (b[1] >> 1) & 3;
  h.protectionBit = b[1] & 1;
  h.bitrateIndex = b[2] >> 4;
  h.sampleRateIndex = (b[2] >> 2) & 3;
  h.paddingBit = (b[2] >> 1) & 1;
  h.privateBit = b[2] & 1;
  h.mode = b[3] >> 6;
  h.modeExtension = (b[3] >> 4) & 3;
  h.copyright = (b[3] >> 3) & 1;
  h.original = (b[3] >> 2) & 1;
  h.emphasis = b[3] & 3;
  return true;
}

int VersionOf(const TMpegHeader& h) { return h.id ? 0 : (h.syncKind == 1 ? 1 : 2); }

// Frame length without padding for a non-free-format header.
int LengthFor(int version, int layer, int bitrate, int rate) {
  if (rate <= 0) return 0;
  if (layer == 1) return 4 * (12 * bitrate / rate);
  if (layer == 3 && version != 0) return 72 * bitrate / rate;
  return 144 * bitrate / rate;
}

bool SameStream(const uint8_t* a, const uint8_t* b) {
  // Same sync, version, layer, sample rate; bitrate index 0 too (free format).
  return b[0] == 0xFF && (b[1] & 0xFE) == (a[1] & 0xFE) && (b[2] & 0xFC) == (a[2] & 0xFC);
}

}  // namespace

bool MakeFrameInfo(const TMpegHeader& h, int freeLength, TFrameInfo& info) {
  if (h.layerCode < 1 || h.layerCode > 3) return false;
  if (h.syncKind == 2 && h.id == 1) return false;
  if (h.sampleRateIndex < 0 || h.sampleRateIndex > 2 || h.bitrateIndex < 0 || h.bitrateIndex > 14) return false;
  info.version = VersionOf(h);
  info.lsf = info.version != 0;
  info.layer = 4 - h.layerCode;
  info.rateSlot = info.version * 3 + h.sampleRateIndex;
  info.sampleRate = kSampleRateHz[info.version][h.sampleRateIndex];
  info.bitrate = kBitrateKbps[info.lsf ? 1 : 0][info.layer - 1][h.bitrateIndex] * 1000;
  info.channels = h.mode == 3 ? 1 : 2;
  info.mode = h.mode;
  info.modeExtension = h.modeExtension;
  info.crc = h.protectionBit == 0;
  int length = h.bitrateIndex == 0 ? freeLength : LengthFor(info.version, info.layer, info.bitrate, info.sampleRate);
  if (length <= 0) return false;
  info.frameBytes = length + (h.paddingBit ? (info.layer == 1 ? 4 : 1) : 0);
  info.samplesPerFrame = info.layer == 1 ? 384 : (info.layer == 3 && info.lsf ? 576 : 1152);
  return true;
}

int32_t ParseHeader(const uint8_t* bytes, int32_t available, TMpegHeader& header) {
  if (!bytes || available < 4) return 0;
  TMpegHeader h;
  if (!Unpack(bytes, h)) return 0;
  header = h;
  if (h.layerCode == 0) return 0;
  if (h.syncKind == 2 && h.id == 1) return 0;
  if (h.bitrateIndex == 15 || h.sampleRateIndex == 3) return 0;
  const int version = VersionOf(h);
  const int layer = 4 - h.layerCode;
  const int rate = kSampleRateHz[version][h.sampleRateIndex];
  if (h.bitrateIndex != 0) {
    const int bitrate = kBitrateKbps[version ? 1 : 0][layer - 1][h.bitrateIndex] * 1000;
    return LengthFor(version, layer, bitrate, rate);
  }
  // Free format: the next header with the same first bytes, confirmed by the one after.
  const int limit = available < 10000 ? available : 10000;
  const int slot = layer == 1 ? 4 : 1;
  for (int k = 24; k <= 2000 && k + 4 <= limit; ++k) {
    if (!SameStream(bytes, bytes + k)) continue;
    const int length = k - (h.paddingBit ? slot : 0);
    if (length <= 0) continue;
    const int nextPadding = (bytes[k + 2] >> 1) & 1;
    const int third = k + length + (nextPadding ? slot : 0);
    if (third + 4 <= limit && !SameStream(bytes, bytes + third)) continue;
    return length;
  }
  return 0;
}

int32_t FindFrame(const uint8_t* bytes, int32_t available, TMpegHeader& header, int32_t& bitrate, int32_t& skipped) {
  bitrate = 0;
  skipped = 0;
  if (!bytes) return 0;
  for (int32_t i = 0; i + 1 < available; ++i) {
    if (bytes[i] != 0xFF || bytes[i + 1] < 0xE0) continue;
    skipped = i;
    const int32_t length = ParseHeader(bytes + i, available - i, header);
    if (length > 0) {
      const int version = VersionOf(header);
      const int layer = 4 - header.layerCode;
      const int rate = kSampleRateHz[version][header.sampleRateIndex];
      if (header.bitrateIndex != 0) {
        bitrate = kBitrateKbps[version ? 1 : 0][layer - 1][header.bitrateIndex] * 1000;
      } else {
        const int samples = layer == 1 ? 384 : (layer == 3 && version ? 576 : 1152);
        bitrate = int32_t(int64_t(length) * 8 * rate / samples);
      }
    }
    return length;
  }
  return 0;
}

int32_t InitDecoder(const TMpegHeader& header, int32_t frameLength, int32_t reduction, int32_t transform,
                    int32_t conversion, int32_t frequencyLimitHz) {
  (void)frequencyLimitHz;  // every supported rate is at most 48000 Hz: the full band is kept
  TCoreState& s = State();
  s.initialised = false;
  if (reduction != 0 || transform != 0 || conversion != 0) return 0;
  TFrameInfo info;
  if (!MakeFrameInfo(header, frameLength, info)) return 0;
  s.header = header;
  s.info = info;
  s.freeLength = header.bitrateIndex == 0 ? frameLength : 0;
  s.synthesis.Reset();
  s.layer3.Reset();
  s.output.channels = info.channels;
  s.output.outputValues = info.samplesPerFrame * info.channels;
  s.output.sampleRate = info.sampleRate;
  s.output.bitsPerSample = 16;
  s.output.frameBytes = s.output.outputValues * 2;
  s.output.type = 0;
  s.initialised = true;
  return 1;
}

void GetOutputInfo(TMpegOutputInfo& info) { info = State().output; }

TDecodeResult DecodeFrame(const uint8_t* frame, int32_t available, int16_t* output) {
  TCoreState& s = State();
  TDecodeResult result;
  if (!s.initialised || !frame || !output || available < 4) return result;
  TMpegHeader h;
  if (!Unpack(frame, h)) return result;
  if (h.id != s.header.id || h.syncKind != s.header.syncKind || h.layerCode != s.header.layerCode ||
      h.sampleRateIndex != s.header.sampleRateIndex)
    return result;
  if ((h.bitrateIndex == 0) != (s.header.bitrateIndex == 0)) return result;
  TFrameInfo info;
  if (!MakeFrameInfo(h, s.freeLength, info)) return result;
  if (info.frameBytes > available) return result;

  bool ok;
  int slots;
  switch (info.layer) {
    case 1:
      ok = DecodeLayer1(info, frame, s.subbands);
      slots = 12;
      break;
    case 2:
      ok = DecodeLayer2(info, frame, s.subbands);
      slots = 36;
      break;
    default:
      ok = s.layer3.Decode(info, frame, s.subbands);
      slots = info.lsf ? 18 : 36;
      break;
  }
  if (!ok) return result;
  const int outChannels = s.output.channels;
  const int samples = slots * 32;
  s.synthesis.Run(0, s.subbands[0], slots, s.pcm[0]);
  if (outChannels == 2) {
    // A mono frame inside a stereo stream: both outputs carry it.
    if (info.channels == 2) s.synthesis.Run(1, s.subbands[1], slots, s.pcm[1]);
    TMpegSynthesis::ToPcm16(s.pcm[0], info.channels == 2 ? s.pcm[1] : s.pcm[0], samples, output);
  } else {
    TMpegSynthesis::ToPcm16(s.pcm[0], nullptr, samples, output);
  }
  result.bytesConsumed = info.frameBytes;
  result.bytesProduced = slots * 32 * outChannels * 2;
  return result;
}

int32_t SetProcessorFeatures(uint32_t features) {
  State().features = features;
  return 0;
}

uint32_t ProcessorFeatures() { return State().features; }

uint32_t ProbeProcessorFeatures() {
  static const uint32_t probed = [] {
    uint32_t f = kCpuFpu;
#if defined(__x86_64__) || defined(__i386__)
    unsigned a = 0, b = 0, c = 0, d = 0;
    if (__get_cpuid(0, &a, &b, &c, &d)) {
      char vendor[13];
      std::memcpy(vendor, &b, 4);
      std::memcpy(vendor + 4, &d, 4);
      std::memcpy(vendor + 8, &c, 4);
      vendor[12] = 0;
      if (!std::strcmp(vendor, "GenuineIntel")) f |= kCpuVendorIntel;
      else if (!std::strcmp(vendor, "AuthenticAMD")) f |= kCpuVendorAmd;
      else if (!std::strcmp(vendor, "CyrixInstead")) f |= kCpuVendorCyrix;
      else if (!std::strcmp(vendor, "CentaurHauls")) f |= kCpuVendorCentaur;
      else f |= kCpuVendorOther;
    }
    if (__get_cpuid(1, &a, &b, &c, &d)) {
      const unsigned family = (a >> 8) & 15;
      f |= family <= 4 ? kCpuFamily486 : family == 5 ? kCpuFamily586 : kCpuFamily686;
      if (!(d & 1)) f &= ~kCpuFpu;
      if (d & (1u << 23)) f |= kCpuMmx;
      if (d & (1u << 15)) f |= kCpuCmov;
      if (d & (1u << 25)) f |= kCpuSse | kCpuMmxExt;  // SSE implies the extended integer instructions
    }
    if (__get_cpuid(0x80000000u, &a, &b, &c, &d) && a >= 0x80000001u && __get_cpuid(0x80000001u, &a, &b, &c, &d)) {
      if (d & (1u << 31)) f |= kCpu3DNow;
      if ((d & (1u << 30)) && (f & kCpu3DNow)) f |= kCpu3DNowExt;
      if (d & (1u << 22)) f |= kCpuMmxExt;
    }
#else
    f |= kCpuVendorOther;
#endif
    return f;
  }();
  return probed;
}

}  // namespace zonda::mpeg
