#pragma once
// TDecoderLibrary: the process-wide binding of one run-time decoding library
// (libquelmo.so or libombrel.so) and its five C entry points.
//
// Bound once, on first use: when ProgramDir + "/lib<name>.so" exists it is
// loaded (RTLD_LOCAL, so its exports named open/close never shadow libc's)
// and create_obj, destroy_obj, open, getsamples and close are looked up by
// name; Available only when the library loaded and all five were found. A
// missing library disables only the formats it serves. The library stays
// loaded until the process ends (decoder objects may outlive any static).
//
// Thread: Quelmo()/Ombrel() may be called from any thread (the binding is made
// under std::call_once); the entry points themselves only under the decoder lock.
#include <cstdint>
#include <string>

namespace zonda {

struct TDecoderLibrary {
  using CreateFn = void* (*)();
  using DestroyFn = void (*)(void*);
  using OpenFn = int32_t (*)(void*, const char*, void*);
  using GetSamplesFn = int32_t (*)(void*, void*, int32_t, int32_t);
  using CloseFn = void (*)(void*);

  bool Available = false;
  void* Handle = nullptr;
  CreateFn create_obj = nullptr;
  DestroyFn destroy_obj = nullptr;
  OpenFn open = nullptr;
  GetSamplesFn getsamples = nullptr;
  CloseFn close = nullptr;

  // libquelmo.so (the QuickTime library) and libombrel.so (the Ogg library).
  static const TDecoderLibrary& Quelmo();
  static const TDecoderLibrary& Ombrel();

  // Loads fileSuffix ("/libquelmo.so") from ProgramDir; never throws.
  static TDecoderLibrary Bind(const std::string& fileSuffix);
};

}  // namespace zonda
