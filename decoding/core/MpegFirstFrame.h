#pragma once
// Where the first MPEG audio frame of a file begins.
//
// A file may start with one or more ID3v2 tags (possibly with footers); they
// are skipped whole. After them the first byte offset is taken whose 4 bytes
// form a valid MPEG audio header AND whose following frame also starts with a
// valid header of the same version, layer and sample rate (a frame that ends
// exactly at the end of the data, or at an ID3v1 "TAG", also counts). That
// pairing keeps stray FF Ex bytes in tag padding or album art from being taken
// for audio. Free-format frames (bitrate index 0) are not accepted.
//
//   int64_t pos = zonda::MpegFirstFramePos("/music/a.mp3");  // -1: none
//
// Any thread; no shared state. The file is read only within the first
// kMpegFirstFrameScanBytes after the tags, so a large non-MPEG file costs little.
#include <cstddef>
#include <cstdint>
#include <span>

namespace zonda {

// How far past the ID3v2 tags a sync is looked for.
inline constexpr int64_t kMpegFirstFrameScanBytes = 1 << 20;

// Length in bytes (padding slot included) of the frame whose header is the 4
// bytes at `header`; 0 when they are no valid header for this scan (bad sync,
// reserved version/layer/sample rate, free format or bitrate 15, emphasis 2).
int MpegFrameLength(const uint8_t* header);

// Total size of the ID3v2 tag beginning at data[0] (header, body, footer);
// 0 when data does not start with one. May exceed data.size().
int64_t Id3v2TagSize(std::span<const uint8_t> data);

// The scan over a buffer holding the start of a file (or all of it): byte
// offset into `data` of the first frame, or -1.
int64_t MpegFirstFrameInMemory(std::span<const uint8_t> data);

// The scan over a file; fileName is UTF-8, zero-terminated. -1 when the file
// cannot be opened or holds no pair of frames in the scanned range.
int64_t MpegFirstFramePos(const char* fileName);

}  // namespace zonda
