#include "quelmo/stream/VorbisBlocks.h"

extern "C" {
#include <libavcodec/vorbis_parser.h>
}

namespace zonda {

TVorbisBlocks::~TVorbisBlocks() { av_vorbis_parse_free(&parser_); }

bool TVorbisBlocks::Init(const uint8_t* extradata, int size) {
  av_vorbis_parse_free(&parser_);
  primed_ = false;
  if (!extradata || size <= 0) return false;
  parser_ = av_vorbis_parse_init(extradata, size);
  return parser_ != nullptr;
}

int32_t TVorbisBlocks::Frames(const uint8_t* data, int size) {
  if (!parser_ || !data || size <= 0) return 0;
  int flags = 0;
  // The parser follows the previous block itself, so every packet goes through it.
  const int d = av_vorbis_parse_frame_flags(parser_, data, size, &flags);
  if (d < 0 || (flags & VORBIS_FLAG_HEADER)) return 0;
  const bool first = !primed_;
  primed_ = true;
  return first ? 0 : d;
}

}  // namespace zonda
