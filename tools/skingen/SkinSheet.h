#pragma once
// SkinSheet: builds one skin, its picture sheet and its description, while the
// layout code places controls in design units of a 1024 x 768 window.
//
// The sheet starts with the window background (the controls' normal pictures
// sit at their own window position, as the format's defaults expect); every
// further picture (hovered, pressed and selected states, fader caps and their
// masks, knob frame strips, icons) is packed below it. Coordinates are scaled
// to the skin's real size here, so the compact skin is drawn at its own
// resolution with crisp text rather than shrunk.
#include <QColor>
#include <QFont>
#include <QImage>
#include <QPainter>
#include <QRect>
#include <QString>
#include <map>
#include <memory>
#include <string>

namespace zonda::skingen {

struct Theme {
  QString skinName;
  QColor window;      // outside the panels
  QColor panel;       // panel body
  QColor panelEdge;   // panel border
  QColor face;        // control faces
  QColor faceEdge;
  QColor text;        // engraved text
  QColor textDim;     // labels
  QColor accent;      // lit state
  QColor accentDeep;  // dimmed accent
  QColor lcdBack;
  QColor lcdText;
  QColor deckB;       // second deck's colour (beat display data)
};

enum class Glyph { None, Play, Cue, Prev, Next, Minus, Plus, Close, Minimize, Maximize, Eject, Top, Left, Right, Up, Down };

class SkinSheet {
 public:
  // smallRows: rows kept below the background for the small pictures; run
  // the layout once to learn SmallRowsUsed(), then again with it.
  SkinSheet(const Theme& theme, int width, int height, int smallRows = 1200);
  int SmallRowsUsed() const;

  double Scale() const { return scale_; }
  QRect R(int x, int y, int w, int h) const;  // design units to pixels
  int S(int v) const;
  const Theme& Th() const { return theme_; }

  // Background decoration.
  void Panel(QRect design, const QString& title = {}, bool accentTitle = false);
  void Lcd(QRect design);
  void Engrave(QRect design, const QString& text, int pixelSize, QColor color, int flags = Qt::AlignCenter,
               bool bold = true);

  // Controls.
  void Pad(const std::string& action, QRect design, const QString& face, bool isSwitch, Glyph glyph = Glyph::None,
           QColor led = {});
  void Lamp(const std::string& action, QRect design);
  void Knob(const std::string& action, QRect design, bool bipolar, const std::string& strip);
  void Jog(const std::string& action, QRect design);
  void Fader(const std::string& action, QRect design, int capLength, bool thin, QColor markerColor = {});
  void Text(const std::string& action, QRect design, const QString& font, int points, bool bold, const char* align,
            QColor color, bool transparent = true, QColor back = {});
  void Label(const std::string& action, const QString& defaultText, QRect design, const char* align = "center",
             QColor color = {});
  void BeatDisplay(const std::string& action, QRect design, QColor data);
  void Meter(const std::string& action, QRect design);
  void List(QRect design);
  void Search(QRect design);
  void ListsView(QRect design);

  // Writes base + ".bmp" and base + ".xml"; false on failure.
  bool Save(const std::string& basePath) const;
  // The window-sized part of the sheet, for checking the artwork.
  QImage Background() const { return sheet_.copy(0, 0, width_, height_); }

 private:
  QPoint Allocate(int w, int h);
  void Attr(const char* name, int v);
  void Attr(const char* name, const std::string& v);
  void AttrColor(const char* name, QColor c);
  void Open(const char* element);
  void Close();
  void DrawPad(QPainter& p, QRect r, const QString& face, Glyph glyph, int state, bool selected, QColor led);
  void DrawKnobFrame(QPainter& p, QRect r, double angle, bool bipolar, bool hovered);
  void DrawFaderTrack(QPainter& p, QRect r, bool vertical, bool thin, bool hovered);
  void DrawFaderCap(QPainter& p, QRect r, bool vertical, bool thin, bool hovered);
  int FitPoints(const QString& family, int points, bool& bold, const QString& text, int width, int height = 0) const;
  void TextPx(const std::string& action, QRect r, const QString& font, int points, bool bold, const char* align,
              QColor color, bool transparent, QColor back);

  Theme theme_;
  int width_, height_;
  double scale_;
  QImage sheet_;
  struct Shelf {
    int x = 0, y = 0, h = 0;
  };
  Shelf shelves_[2];  // small pictures, large pictures
  std::map<std::string, QPoint> strips_;  // knob frame strips by kind and size
  std::string xml_;
};

}  // namespace zonda::skingen
