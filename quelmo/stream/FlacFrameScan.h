#pragma once
// FlacFrameScan: finds every frame of a native FLAC file by its header alone
// (sync code, header CRC-8 and the running frame number), much faster than
// packetising the stream. Used by TMediaStream to build its exact index for
// fixed-block-size FLAC; anything unusual (variable block size, a frame
// number out of sequence, a sum that disagrees with STREAMINFO) makes the
// scan give up, and the caller falls back to the demuxer.
//
// Any thread; works on the bytes handed to it by `read`.
#include <cstdint>
#include <functional>
#include <vector>

namespace zonda {

struct TFlacFrame {
  int64_t pos;      // byte offset of the frame header in the file
  int32_t samples;  // its block size
};

// read(buffer, size) -> bytes read (0 at the end, negative on error), from the
// start of the file on. True with every frame in order when the file scans
// cleanly.
bool ScanFlacFrames(const std::function<int(uint8_t*, int)>& read, std::vector<TFlacFrame>* frames);

}  // namespace zonda
