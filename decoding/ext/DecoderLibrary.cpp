#include "decoding/ext/DecoderLibrary.h"

#include <dlfcn.h>

#include <filesystem>
#include <mutex>

#include "platform/ProgramDir.h"

namespace zonda {

TDecoderLibrary TDecoderLibrary::Bind(const std::string& fileSuffix) {
  TDecoderLibrary lib;
  const std::string path = ProgramPath(fileSuffix);
  std::error_code ec;
  if (!std::filesystem::is_regular_file(path, ec)) return lib;
  void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!handle) return lib;
  lib.Handle = handle;
  lib.create_obj = reinterpret_cast<CreateFn>(dlsym(handle, "create_obj"));
  lib.destroy_obj = reinterpret_cast<DestroyFn>(dlsym(handle, "destroy_obj"));
  lib.open = reinterpret_cast<OpenFn>(dlsym(handle, "open"));
  lib.getsamples = reinterpret_cast<GetSamplesFn>(dlsym(handle, "getsamples"));
  lib.close = reinterpret_cast<CloseFn>(dlsym(handle, "close"));
  lib.Available = lib.create_obj && lib.destroy_obj && lib.open && lib.getsamples && lib.close;
  return lib;
}

const TDecoderLibrary& TDecoderLibrary::Quelmo() {
  static std::once_flag once;
  static TDecoderLibrary lib;
  std::call_once(once, [] { lib = Bind("/libquelmo.so"); });
  return lib;
}

const TDecoderLibrary& TDecoderLibrary::Ombrel() {
  static std::once_flag once;
  static TDecoderLibrary lib;
  std::call_once(once, [] { lib = Bind("/libombrel.so"); });
  return lib;
}

}  // namespace zonda
