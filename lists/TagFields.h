#pragma once
// The tag fields of a music file that the song rows use. ReadTagFields reads
// them; a file without tags gives empty fields, and its row shows the file name.
#include <string>

namespace zonda {

struct TTagFields {
  std::string Artist, Title, Album, Comment, Genre;
};

TTagFields ReadTagFields(const std::string& file);

}  // namespace zonda
