// libquelmo.so's six C exports. The caller binds them by name with dlsym; the
// object pointer it gets from create_obj goes back as the first argument.
// Only these names are visible (quelmo.map), and nothing in this library calls
// the libc functions that share two of the names.
#include <atomic>
#include <new>

#include "quelmo/QTSoundExtractor.h"

#include "quelmo/FFmpegRuntime.h"

#define QUELMO_EXPORT extern "C" __attribute__((visibility("default")))

// libc declares open and close (libstdc++ headers pull in unistd.h), so the
// C++ names differ and the symbols take the export names.
QUELMO_EXPORT int32_t QuelmoOpen(void* obj, const char* fileName, void* info) __asm__("open");
QUELMO_EXPORT void QuelmoClose(void* obj) __asm__("close");

namespace {

// Objects alive in the process; FFmpeg's logging is quietened with the first.
std::atomic<int> gLiveObjects{0};

zonda::QTSoundExtractor* Object(void* obj) { return static_cast<zonda::QTSoundExtractor*>(obj); }

}  // namespace

QUELMO_EXPORT int32_t check_quicktime() { return zonda::FFmpegRuntimeUsable() ? 1 : 0; }

QUELMO_EXPORT void* create_obj() {
  auto* obj = new (std::nothrow) zonda::QTSoundExtractor();
  if (!obj) return nullptr;
  if (!zonda::FFmpegRuntimeUsable()) return obj;  // not counted: FFmpeg stays unused for it
  if (gLiveObjects.fetch_add(1) == 0) zonda::QuietFFmpegLog();
  return obj;
}

QUELMO_EXPORT void destroy_obj(void* obj) {
  if (!obj) return;
  Object(obj)->Close();
  delete Object(obj);
  int live = gLiveObjects.load();
  while (live > 0 && !gLiveObjects.compare_exchange_weak(live, live - 1)) {
  }
}

QUELMO_EXPORT int32_t QuelmoOpen(void* obj, const char* fileName, void* info) {
  if (!obj || !zonda::FFmpegRuntimeUsable()) return 0;
  return Object(obj)->Open(fileName, static_cast<zonda::StreamInfo*>(info));
}

QUELMO_EXPORT int32_t getsamples(void* obj, void* buffer, int32_t count, int32_t first) {
  if (!obj) return 0;
  return Object(obj)->GetSamples(buffer, count, first);
}

QUELMO_EXPORT void QuelmoClose(void* obj) {
  if (obj) Object(obj)->Close();
}

