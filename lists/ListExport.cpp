#include "lists/ListExport.h"

#include "lists/SongListTemplate.h"

namespace zonda {

std::string HtmlEscape(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      default: out.push_back(c);
    }
  }
  return out;
}

std::string ListToHtml(const TLista& list, const std::string& listName, const TLanguageLookup& text) {
  const std::string nl = "\r\n";
  auto K = [&](const char* key) { return HtmlEscape(text(key)); };
  std::string o;
  o += "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.01 Transitional//EN\" "
       "\"http://www.w3.org/TR/html4/loose.dtd\">" + nl;
  o += "<html>" + nl + "<head>" + nl + "<title>" + K("main_exportedhtmltitle") + "</title>" + nl + "</head>" + nl +
       "<body>" + nl;
  o += "<font size=\"1\" face=\"Verdana\"><b>" + K("main_listname") + ": " + HtmlEscape(listName) +
       "</b></font> <hr>" + nl;
  o += "\t<table width=\"100%\" align=\"center\" border=\"2\" cellspacing=\"0\" cellpadding=\"2\">" + nl;
  o += "\t\t<tr align=\"left\" bgcolor=\"#d1d1d1\">" + nl;
  auto header = [&](const std::string& t) {
    o += "\t\t\t<td><font size=\"2\" face=\"Verdana\"><b>" + t + "</b></font></td>" + nl;
  };
  header(K("tag_number"));
  std::vector<int> columns;
  for (int c = ColName; c <= ColPath; ++c) {
    const TColoana* col = list.GetColumn(c);
    if (!col || !col->Visible) continue;
    columns.push_back(c);
    switch (c) {
      case ColName: header(K("tag_artist") + " - " + K("tag_title")); break;
      case ColBpm: header(K("tag_bpm")); break;
      case ColGenre: header(K("tag_genre")); break;
      case ColComment: header(K("tag_comment")); break;
      case ColAlbum: header(K("tag_album")); break;
      default: header(K("tag_filename")); break;
    }
  }
  o += "\t\t</tr>" + nl;
  for (int r = 1; r <= list.RowCount(); ++r) {
    o += std::string("\t\t<tr align=\"left\" bgcolor=\"") + (r % 2 ? "#ffffff" : "#f4f4f4") + "\">" + nl;
    o += "\t\t\t<td><font size=\"1\" face=\"Verdana\"><b> " + std::to_string(r) + "</b></font></td>" + nl;
    for (int c : columns) {
      const std::string_view cell = list.GetCell(r, c);
      o += "\t\t\t<td><font size=\"1\" face=\"Verdana\"><b>" + (cell.empty() ? std::string("&nbsp;") : HtmlEscape(cell)) +
           "</b></font></td>" + nl;
    }
    o += "\t\t</tr>" + nl;
  }
  o += "\t</table><hr>" + nl;
  o += std::string("\t<font size=\"1\" face=\"Verdana\"><b>") + kVendorAddress + "</b></font>" + nl;
  o += "</body>" + nl + "</html>" + nl;
  return o;
}

std::string ListToM3U8(const TLista& list) {
  std::string o = "#EXTM3U\n";
  for (int r = 1; r <= list.RowCount(); ++r) {
    const std::string_view path = list.GetCell(r, ColPath);
    if (path.empty()) continue;
    std::string name(list.GetCell(r, ColName));
    for (char& c : name)
      if (c == '\n' || c == '\r') c = ' ';
    o += "#EXTINF:-1," + name + "\n";
    o.append(path);
    o += "\n";
  }
  return o;
}

}  // namespace zonda
