#pragma once
// TVorbisBlocks: how many sample frames each Vorbis audio packet decodes to,
// from the block sizes alone (no decoding). A packet gives a quarter of the
// previous block plus a quarter of its own; the stream's first packet gives
// nothing. The packets must come in stream order, each once. Used by
// TMediaStream's index scan (the caller's thread).
#include <cstdint>

struct AVVorbisParseContext;

namespace zonda {

class TVorbisBlocks {
 public:
  TVorbisBlocks() = default;
  ~TVorbisBlocks();
  TVorbisBlocks(const TVorbisBlocks&) = delete;
  TVorbisBlocks& operator=(const TVorbisBlocks&) = delete;

  // The three headers, Xiph-laced as FFmpeg keeps them. False when damaged.
  bool Init(const uint8_t* extradata, int size);
  // Frames the next packet decodes to; 0 for the first audio packet and for
  // one that is not audio or cannot be parsed.
  int32_t Frames(const uint8_t* data, int size);

 private:
  AVVorbisParseContext* parser_ = nullptr;
  bool primed_ = false;  // an audio packet has been seen
};

}  // namespace zonda
