// libombrel.so's five C exports: create_obj, destroy_obj, open, getsamples,
// close. The caller binds them by name; the object from create_obj goes back
// as the first argument. Only these names are visible (ombrel.map).
#include <new>

#include "platform/ombrel/OggVorbisObject.h"

#define OMBREL_EXPORT extern "C" __attribute__((visibility("default")))

// libc declares open and close (libstdc++ headers pull in unistd.h), so the
// C++ names differ and the symbols take the export names.
OMBREL_EXPORT int32_t OmbrelOpen(void* obj, const char* fileName, void* info) __asm__("open");
OMBREL_EXPORT void OmbrelClose(void* obj) __asm__("close");

namespace {
zonda::TOggVorbisObject* Object(void* obj) { return static_cast<zonda::TOggVorbisObject*>(obj); }
}  // namespace

OMBREL_EXPORT void* create_obj() { return new (std::nothrow) zonda::TOggVorbisObject(); }

OMBREL_EXPORT void destroy_obj(void* obj) { delete Object(obj); }

OMBREL_EXPORT int32_t OmbrelOpen(void* obj, const char* fileName, void* info) {
  if (!obj) return 0;
  return Object(obj)->Open(fileName, static_cast<zonda::StreamInfo*>(info));
}

OMBREL_EXPORT int32_t getsamples(void* obj, void* buffer, int32_t count, int32_t first) {
  if (!obj) return 0;
  return Object(obj)->GetSamples(buffer, count, first);
}

OMBREL_EXPORT void OmbrelClose(void* obj) {
  if (obj) Object(obj)->Close();
}
