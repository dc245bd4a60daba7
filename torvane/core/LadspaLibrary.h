#pragma once
// TLadspaLibrary: one LADSPA plug-in library opened with dlopen
// (RTLD_NOW | RTLD_LOCAL, so a library with unresolved symbols fails here
// rather than in the audio thread) and its ladspa_descriptor entry point.
// Closed on destruction, unless opened to run plug-ins (see Open).
//
//   auto library = TLadspaLibrary::Open(path);          // nothing when it cannot load
//   for (unsigned long i = 0; const LADSPA_Descriptor* d = library->Descriptor(i); ++i) ...
//
// Main thread.
#include <ladspa.h>

#include <memory>
#include <string>

namespace zonda {

// A library listing more descriptors than this is taken for a broken one.
inline constexpr unsigned long kMaxLadspaDescriptors = 10000;

class TLadspaLibrary {
 public:
  // Nothing when dlopen fails or the library has no ladspa_descriptor.
  // forRunning: the library will instantiate plug-ins, so it stays mapped for
  // the rest of the process (their static state, such as FFT plans, must not
  // point into an unmapped library); a library only listed is unmapped again.
  static std::unique_ptr<TLadspaLibrary> Open(const std::string& path, bool forRunning = false);
  ~TLadspaLibrary();
  TLadspaLibrary(const TLadspaLibrary&) = delete;
  TLadspaLibrary& operator=(const TLadspaLibrary&) = delete;

  // Descriptor `index`, or null past the last (and from kMaxLadspaDescriptors on).
  const LADSPA_Descriptor* Descriptor(unsigned long index) const;
  // The descriptor with this unique id, or null.
  const LADSPA_Descriptor* FindDescriptor(unsigned long uniqueId) const;
  // Closes the library now; false when dlclose reports an error.
  bool Close();

 private:
  TLadspaLibrary(void* handle, LADSPA_Descriptor_Function entry) : handle_(handle), entry_(entry) {}
  void* handle_;
  LADSPA_Descriptor_Function entry_;
};

}  // namespace zonda
