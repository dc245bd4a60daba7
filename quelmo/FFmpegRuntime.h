#pragma once
// The FFmpeg run-time checks of libquelmo.so, apart from the exports so that
// FFmpeg's headers (which declare libc's close) stay out of that file.
namespace zonda {

// True when the loaded libavformat, libavcodec and libswresample have the
// major versions this library was built against.
bool FFmpegRuntimeUsable();

// Only errors from FFmpeg's own log (damaged files would flood it otherwise).
void QuietFFmpegLog();

}  // namespace zonda
