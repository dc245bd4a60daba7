#pragma once
// The MPEG audio decoding core: ISO/IEC 11172-3 layers I, II and III, the
// lower sampling frequencies of ISO/IEC 13818-3 and the MPEG-2.5 extension
// (8000, 11025 and 12000 Hz), decoded to interleaved 16-bit PCM.
//
// The core keeps its state (layer III bit reservoir, hybrid filter-bank
// overlap, synthesis history) in ONE process-wide instance. Callers must
// serialise every call; in Zonda the decoder lock of decoding/core/DecoderLock.h
// does (all calls come from deck workers and the preview refill under it).
// Because of that shared state a reader never relies on what the core did
// before: it calls InitDecoder at the first frame after every seek.
//
//   TMpegHeader h;
//   int32_t len = ParseHeader(p, n, h);            // 0: no frame here
//   if (len > 0 && InitDecoder(h, len, 0, 0, 0, 24000)) {
//     TMpegOutputInfo info; GetOutputInfo(info);
//     TDecodeResult r = DecodeFrame(p, n, pcm);     // r.bytesConsumed < 1: damaged
//   }
//
// The first layer III frames after InitDecoder may lack bit-reservoir data and
// come out silent or incomplete; decode a few frames ahead of any wanted position.
#include <cstdint>

namespace zonda::mpeg {

// The 4-byte frame header, one field per value (13 signed 32-bit fields).
struct TMpegHeader {
  int32_t syncKind = 0;       // 1: FFF sync of MPEG-1/2; 2: FFE sync of MPEG-2.5
  int32_t id = 0;             // 1: MPEG-1; 0: MPEG-2 or 2.5
  int32_t layerCode = 0;      // 3: layer I, 2: layer II, 1: layer III (as coded)
  int32_t protectionBit = 0;  // 0: a 16-bit CRC follows the header
  int32_t bitrateIndex = 0;
  int32_t sampleRateIndex = 0;
  int32_t paddingBit = 0;
  int32_t privateBit = 0;
  int32_t mode = 0;  // 0 stereo, 1 joint stereo, 2 dual channel, 3 mono
  int32_t modeExtension = 0;
  int32_t copyright = 0;
  int32_t original = 0;
  int32_t emphasis = 0;
};

struct TMpegOutputInfo {
  int32_t channels = 0;      // 1 or 2
  int32_t outputValues = 0;  // samples per frame x channels (384, 1152 or 576 samples per frame)
  int32_t sampleRate = 0;    // Hz
  int32_t bitsPerSample = 0;  // 16
  int32_t frameBytes = 0;     // output bytes of one frame
  int32_t type = 0;           // 0
};

struct TDecodeResult {
  int32_t bytesConsumed = 0;  // < 1: the frame cannot be decoded; discard the output
  int32_t bytesProduced = 0;
};

// Processor feature bits (SetProcessorFeatures / ProbeProcessorFeatures).
enum : uint32_t {
  kCpuFpu = 1u << 0,
  kCpuMmx = 1u << 1,
  kCpu3DNow = 1u << 2,
  kCpuSse = 1u << 3,
  kCpuCmov = 1u << 4,
  kCpu3DNowExt = 1u << 5,
  kCpuMmxExt = 1u << 6,
  kCpuVendorIntel = 1u << 8,
  kCpuVendorAmd = 1u << 9,
  kCpuVendorCyrix = 1u << 10,
  kCpuVendorCentaur = 1u << 11,
  kCpuVendorOther = 1u << 15,
  kCpuFamily486 = 1u << 20,
  kCpuFamily586 = 1u << 21,
  kCpuFamily686 = 1u << 22,
};

// Reads the header at `bytes`. 0 when there is no sync, the layer code is 0 or
// a field is reserved; otherwise the frame length in bytes WITHOUT the padding
// slot. Free format (bitrate index 0) is measured from the next syncs within
// `available` (at most 10000 bytes looked at); 0 if none.
int32_t ParseHeader(const uint8_t* bytes, int32_t available, TMpegHeader& header);

// First FF followed by a byte >= E0 in the range: skipped = its offset, the
// result = ParseHeader there, bitrate = bits per second (for free format the
// one the measured length implies). 0 when no sync is found.
int32_t FindFrame(const uint8_t* bytes, int32_t available, TMpegHeader& header, int32_t& bitrate,
                  int32_t& skipped);

// Prepares the process-wide state for a stream; 1 on success, 0 for a stream
// the core cannot decode. Only reduction 0, transform 0 and conversion 0
// (16-bit, channels as in the stream) are offered; the frequency limit is
// accepted and the full band always kept.
int32_t InitDecoder(const TMpegHeader& header, int32_t frameLengthWithoutPadding, int32_t reduction, int32_t transform,
                    int32_t conversion, int32_t frequencyLimitHz);

// The output information for the last successful InitDecoder.
void GetOutputInfo(TMpegOutputInfo& info);

// Decodes the whole frame at `frame` (header included; `available` bytes may be
// read) into interleaved 16-bit samples, at most TMpegOutputInfo::frameBytes.
// A frame whose layer, version or sample rate differ from the initialised
// stream, that is truncated or damaged, gives bytesConsumed 0.
TDecodeResult DecodeFrame(const uint8_t* frame, int32_t available, int16_t* output);

// Chooses inner-loop variants; a single portable implementation serves all
// feature sets here, so this only records the set. Returns 0.
int32_t SetProcessorFeatures(uint32_t features);
uint32_t ProcessorFeatures();

// Probes the processor once (vendor, family and the feature bits above).
uint32_t ProbeProcessorFeatures();

}  // namespace zonda::mpeg
