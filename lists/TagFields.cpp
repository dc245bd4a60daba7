#include "lists/TagFields.h"

namespace zonda {

// No tag reader is linked into the lists: every file reads as untagged.
TTagFields ReadTagFields(const std::string&) { return {}; }

}  // namespace zonda
