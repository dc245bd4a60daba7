#include "torvane/core/LadspaLibrary.h"

#include <dlfcn.h>

namespace zonda {

std::unique_ptr<TLadspaLibrary> TLadspaLibrary::Open(const std::string& path, bool forRunning) {
  void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL | (forRunning ? RTLD_NODELETE : 0));
  if (!handle) return nullptr;
  auto entry = reinterpret_cast<LADSPA_Descriptor_Function>(dlsym(handle, "ladspa_descriptor"));
  if (!entry) {
    dlclose(handle);
    return nullptr;
  }
  return std::unique_ptr<TLadspaLibrary>(new TLadspaLibrary(handle, entry));
}

TLadspaLibrary::~TLadspaLibrary() { Close(); }

const LADSPA_Descriptor* TLadspaLibrary::Descriptor(unsigned long index) const {
  if (!handle_ || index >= kMaxLadspaDescriptors) return nullptr;
  return entry_(index);
}

const LADSPA_Descriptor* TLadspaLibrary::FindDescriptor(unsigned long uniqueId) const {
  for (unsigned long i = 0;; ++i) {
    const LADSPA_Descriptor* d = Descriptor(i);
    if (!d || d->UniqueID == uniqueId) return d;
  }
}

bool TLadspaLibrary::Close() {
  if (!handle_) return true;
  const int status = dlclose(handle_);
  handle_ = nullptr;
  return status == 0;
}

}  // namespace zonda
