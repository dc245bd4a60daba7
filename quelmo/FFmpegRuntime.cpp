#include "quelmo/FFmpegRuntime.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/log.h>
#include <libswresample/swresample.h>
}

namespace zonda {

bool FFmpegRuntimeUsable() {
  return AV_VERSION_MAJOR(avformat_version()) == LIBAVFORMAT_VERSION_MAJOR &&
         AV_VERSION_MAJOR(avcodec_version()) == LIBAVCODEC_VERSION_MAJOR &&
         AV_VERSION_MAJOR(swresample_version()) == LIBSWRESAMPLE_VERSION_MAJOR;
}

void QuietFFmpegLog() {
  if (av_log_get_level() > AV_LOG_ERROR) av_log_set_level(AV_LOG_ERROR);
}

}  // namespace zonda
