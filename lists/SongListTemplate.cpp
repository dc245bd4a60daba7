#include "lists/SongListTemplate.h"

namespace zonda {

void MakeSongListTemplate(TLista& list) {
  list.ClearAll();
  list.Font = TListFont{};
  list.Font.Color = ListRGB(200, 200, 200);
  list.GridLineColor = ListRGB(70, 70, 70);
  list.RowLineColor = ListRGB(50, 50, 50);
  list.ScrollBarWidth = 14;
  list.UpButtonHeight = 14;
  list.DownButtonHeight = 14;
  list.ThumbWidth = 10;
  list.MinThumbHeight = 12;
  list.HeaderTopPad = 1;
  list.HeaderBottomPad = 1;
  list.SetLineSpacing(2);
  for (auto& a : list.Areas) {
    a.FillColor = {ListRGB(24, 24, 24), ListRGB(48, 48, 48), ListRGB(72, 72, 72)};
    a.FrameColor = {ListRGB(80, 80, 80), ListRGB(120, 120, 120), ListRGB(160, 160, 160)};
  }
  list.Areas[0].Fill = {true, true, true};
  struct Col {
    const char* caption;
    int32_t width, minWidth;
    bool visible, numbered, fixed;
  };
  static constexpr Col cols[kSongColumns] = {
      {"No.", 44, 30, true, true, true},         {"Artist - Title", 300, 80, true, false, true},
      {"BPM", 44, 30, true, false, false},       {"Genre", 90, 30, true, false, false},
      {"Comment", 120, 30, false, false, false}, {"Album", 120, 30, false, false, false},
      {"File Name", 260, 40, true, false, false}};
  for (int i = 0; i < kSongColumns; ++i) {
    list.AddColumn();
    TColoana& c = *list.GetColumn(i + 1);
    c.Caption = cols[i].caption;
    c.Width = cols[i].width;
    c.MinWidth = cols[i].minWidth;
    c.Available = true;
    c.Visible = cols[i].visible;
    c.Numbered = cols[i].numbered;
    c.Fixed = cols[i].fixed;
    c.Alignment = cols[i].numbered ? 1 : 0;
    c.ArrowMode = 1;
    c.ArrowGap = 2;
    c.ArrowIndent = 2;
    c.Font = list.Font;
    c.HeaderHeight = 4 + 13;  // 10-point text height + 4
    c.HeaderArea.FillColor = {ListRGB(40, 40, 40), ListRGB(60, 60, 60), ListRGB(90, 90, 90)};
    c.HeaderArea.FrameColor = {ListRGB(80, 80, 80), ListRGB(120, 120, 120), ListRGB(160, 160, 160)};
    c.HeaderArea.Fill = {true, true, true};
  }
  list.HeaderHeight = 17;
  // Focus: a framed row; next-to-load: yellow text; marks: a filled row.
  list.Cursor(0).Fill = true;
  list.Cursor(0).UseColor = false;
  list.Cursor(0).Area.Fill = {false, false, false};
  list.Cursor(0).Area.FrameColor = {ListRGB(230, 230, 230), ListRGB(230, 230, 230), ListRGB(230, 230, 230)};
  list.Cursor(1).Fill = false;
  list.Cursor(1).UseColor = true;
  list.Cursor(1).Color = ListRGB(255, 255, 0);
  list.Cursor(2).Fill = false;
  list.Cursor(2).UseColor = false;
  list.Cursor(3).Fill = true;
  list.Cursor(3).UseColor = true;
  list.Cursor(3).Color = ListRGB(255, 255, 255);
  list.Cursor(3).Area.Fill = {true, true, true};
  list.Cursor(3).Area.Frame = {false, false, false};
  list.Cursor(3).Area.FillColor = {ListRGB(40, 70, 120), ListRGB(40, 70, 120), ListRGB(40, 70, 120)};
}

}  // namespace zonda
