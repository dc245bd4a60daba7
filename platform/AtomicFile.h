#pragma once
// Whole-file reads and crash-safe whole-file writes (list files, shortcut files).
//
// WriteFileAtomically writes to a temporary file in the same folder, flushes
// it to the disk, then renames it over the target (and flushes the folder), so
// after a crash or power loss the target is either its old or its new
// content, never a mixture. Any thread; no shared state.
#include <cstdint>
#include <string>
#include <string_view>

namespace zonda {

bool WriteFileAtomically(const std::string& path, std::string_view bytes, std::string* error = nullptr);

// Reads the whole file; false (with a reason) when it cannot be opened, read,
// or is larger than maxBytes.
bool ReadWholeFile(const std::string& path, std::string& out, std::string* error = nullptr,
                   uint64_t maxBytes = uint64_t{1} << 31);

}  // namespace zonda
