#include "tools/skingen/SkinSheet.h"

#include <QFontMetrics>
#include <QLinearGradient>
#include <QPainterPath>
#include <QRadialGradient>
#include <cmath>
#include <cstdio>
#include <fstream>

namespace zonda::skingen {

namespace {

constexpr int kSheetRows = 4096;
constexpr double kPi = 3.14159265358979323846;
// Knob strips: 32 positions over 360 degrees, of which a 270-degree knob uses 24.
constexpr int kKnobPositions = 32;
constexpr int kKnobFrames = 24;
constexpr double kKnobStep = 360.0 / kKnobPositions;

std::string Hex(QColor c) {
  char buf[8];
  std::snprintf(buf, sizeof buf, "#%02X%02X%02X", c.red(), c.green(), c.blue());
  return buf;
}

std::string Escape(const std::string& s) {
  std::string out;
  for (char ch : s) {
    switch (ch) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      default: out += ch;
    }
  }
  return out;
}

QColor Mix(QColor a, QColor b, double t) {
  return QColor(int(a.red() + (b.red() - a.red()) * t), int(a.green() + (b.green() - a.green()) * t),
                int(a.blue() + (b.blue() - a.blue()) * t));
}

// Screen angle in degrees, clockwise from the positive x axis.
QPointF Polar(QPointF c, double radius, double degrees) {
  const double a = degrees * kPi / 180.0;
  return c + QPointF(std::cos(a) * radius, std::sin(a) * radius);
}

void DrawGlyph(QPainter& p, QRectF r, Glyph g, QColor color) {
  p.save();
  p.setRenderHint(QPainter::Antialiasing);
  const double s = std::min(r.width(), r.height());
  const QPointF c = r.center();
  const double u = std::max(3.0, s * 0.36);
  QPainterPath path;
  auto tri = [&](QPointF a, QPointF b, QPointF d) {
    path.moveTo(a);
    path.lineTo(b);
    path.lineTo(d);
    path.closeSubpath();
  };
  p.setPen(Qt::NoPen);
  p.setBrush(color);
  switch (g) {
    case Glyph::Play:
      tri(c + QPointF(-u * 1.3, -u), c + QPointF(-u * 1.3, u), c + QPointF(-u * 0.1, 0));
      path.addRect(QRectF(c.x() + u * 0.35, c.y() - u, u * 0.35, 2 * u));
      path.addRect(QRectF(c.x() + u * 0.95, c.y() - u, u * 0.35, 2 * u));
      break;
    case Glyph::Prev:
      tri(c + QPointF(0, -u), c + QPointF(0, u), c + QPointF(-u, 0));
      tri(c + QPointF(u, -u), c + QPointF(u, u), c + QPointF(0, 0));
      break;
    case Glyph::Next:
      tri(c + QPointF(-u, -u), c + QPointF(-u, u), c + QPointF(0, 0));
      tri(c + QPointF(0, -u), c + QPointF(0, u), c + QPointF(u, 0));
      break;
    case Glyph::Left: tri(c + QPointF(u * 0.5, -u), c + QPointF(u * 0.5, u), c + QPointF(-u * 0.6, 0)); break;
    case Glyph::Right: tri(c + QPointF(-u * 0.5, -u), c + QPointF(-u * 0.5, u), c + QPointF(u * 0.6, 0)); break;
    case Glyph::Up: tri(c + QPointF(-u, u * 0.5), c + QPointF(u, u * 0.5), c + QPointF(0, -u * 0.6)); break;
    case Glyph::Down: tri(c + QPointF(-u, -u * 0.5), c + QPointF(u, -u * 0.5), c + QPointF(0, u * 0.6)); break;
    case Glyph::Top:
      tri(c + QPointF(u * 0.8, -u), c + QPointF(u * 0.8, u), c + QPointF(-u * 0.4, 0));
      path.addRect(QRectF(c.x() - u * 0.9, c.y() - u, u * 0.35, 2 * u));
      break;
    case Glyph::Eject:
      tri(c + QPointF(-u, u * 0.2), c + QPointF(u, u * 0.2), c + QPointF(0, -u));
      path.addRect(QRectF(c.x() - u, c.y() + u * 0.5, 2 * u, u * 0.4));
      break;
    case Glyph::Minus: path.addRect(QRectF(c.x() - u, c.y() - u * 0.18, 2 * u, u * 0.36)); break;
    case Glyph::Plus:
      path.addRect(QRectF(c.x() - u, c.y() - u * 0.18, 2 * u, u * 0.36));
      path.addRect(QRectF(c.x() - u * 0.18, c.y() - u, u * 0.36, 2 * u));
      break;
    case Glyph::Minimize: path.addRect(QRectF(c.x() - u, c.y() + u * 0.5, 2 * u, u * 0.4)); break;
    case Glyph::Maximize: {
      QPainterPath outer, inner;
      outer.addRect(QRectF(c.x() - u, c.y() - u, 2 * u, 2 * u));
      inner.addRect(QRectF(c.x() - u * 0.65, c.y() - u * 0.45, 1.3 * u, 1.45 * u));
      path = outer.subtracted(inner);
      break;
    }
    case Glyph::Close: {
      QPen pen(color, std::max(1.5, u * 0.38), Qt::SolidLine, Qt::RoundCap);
      p.setPen(pen);
      p.drawLine(c + QPointF(-u, -u), c + QPointF(u, u));
      p.drawLine(c + QPointF(-u, u), c + QPointF(u, -u));
      break;
    }
    case Glyph::Cue:
    case Glyph::None: break;
  }
  p.drawPath(path);
  p.restore();
}

}  // namespace

SkinSheet::SkinSheet(const Theme& theme, int width, int height, int smallRows)
    : theme_(theme), width_(width), height_(height), scale_(double(width) / 1024.0),
      sheet_(width, kSheetRows, QImage::Format_RGB32) {
  shelves_[0].y = height + 2;
  shelves_[1].y = height + 2 + smallRows;
  sheet_.fill(Qt::black);
  QPainter p(&sheet_);
  // A faint vertical gradient behind the panels.
  QLinearGradient g(0, 0, 0, height);
  g.setColorAt(0, theme_.window.lighter(115));
  g.setColorAt(1, theme_.window.darker(115));
  p.fillRect(QRect(0, 0, width, height), g);
  char head[256];
  std::snprintf(head, sizeof head,
                "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                "<!-- Generated by zonda-skingen; edit the generator, not this file. -->\n"
                "<zondaskin targetversion=\"1\" screenwidth=\"%d\" screenheight=\"%d\" skinname=\"%s\">\n",
                width, height, Escape(theme_.skinName.toStdString()).c_str());
  xml_ = head;
}

int SkinSheet::S(int v) const { return int(std::lround(v * scale_)); }

QRect SkinSheet::R(int x, int y, int w, int h) const {
  return QRect(S(x), S(y), S(x + w) - S(x), S(y + h) - S(y));
}

static QRect Px(const SkinSheet& s, QRect d) { return s.R(d.x(), d.y(), d.width(), d.height()); }

QPoint SkinSheet::Allocate(int w, int h) {
  // Small pictures (button states, caps) and large ones (backgrounds, strips)
  // fill separate bands, so a tall picture does not leave a shelf half empty.
  Shelf& s = shelves_[h <= 32 ? 0 : 1];
  if (s.x + w > width_) {
    s.x = 0;
    s.y += s.h + 2;
    s.h = 0;
  }
  QPoint at(s.x, s.y);
  s.x += w + 2;
  s.h = std::max(s.h, h);
  return at;
}

int SkinSheet::SmallRowsUsed() const { return shelves_[0].y + shelves_[0].h + 2 - (height_ + 2); }

void SkinSheet::Open(const char* element) { xml_ += std::string("  <") + element; }
void SkinSheet::Close() { xml_ += "/>\n"; }
void SkinSheet::Attr(const char* name, int v) { xml_ += std::string(" ") + name + "=\"" + std::to_string(v) + "\""; }
void SkinSheet::Attr(const char* name, const std::string& v) {
  xml_ += std::string(" ") + name + "=\"" + Escape(v) + "\"";
}
void SkinSheet::AttrColor(const char* name, QColor c) { Attr(name, Hex(c)); }

int SkinSheet::FitPoints(const QString& family, int points, bool& bold, const QString& text, int width,
                         int height) const {
  const bool wantBold = bold;
  for (int pt = points; pt >= 5; --pt) {
    for (bool b : {wantBold, false}) {
      QFont f(family);
      f.setPixelSize(int(std::lround(pt * 96.0 / 72.0)));
      f.setBold(b);
      const QFontMetrics fm(f);
      // Centred text must not lose its top: the cell may exceed the area by one row.
      if (fm.horizontalAdvance(text) <= width - 2 && (height <= 0 || fm.height() <= height + 1)) {
        bold = b;
        return pt;
      }
    }
  }
  bold = false;
  return 5;
}

void SkinSheet::Panel(QRect design, const QString& title, bool accentTitle) {
  const QRect r = Px(*this, design);
  QPainter p(&sheet_);
  p.setRenderHint(QPainter::Antialiasing);
  QLinearGradient g(r.topLeft(), r.bottomLeft());
  g.setColorAt(0, theme_.panel.lighter(108));
  g.setColorAt(1, theme_.panel);
  p.setPen(QPen(theme_.panelEdge, 1));
  p.setBrush(theme_.panel);
  p.drawRoundedRect(QRectF(r).adjusted(0.5, 0.5, -0.5, -0.5), 5, 5);
  // A thin highlight along the top edge.
  p.setPen(QPen(theme_.panelEdge.lighter(140), 1));
  p.drawLine(QPointF(r.left() + 5, r.top() + 1.5), QPointF(r.right() - 5, r.top() + 1.5));
  if (!title.isEmpty()) {
    QFont f("DejaVu Sans Condensed");
    f.setBold(true);
    f.setPixelSize(std::max(8, S(10)));
    f.setLetterSpacing(QFont::AbsoluteSpacing, 1);
    p.setFont(f);
    p.setPen(accentTitle ? theme_.accent : theme_.textDim);
    p.drawText(r.adjusted(S(8), S(2), -S(8), 0), Qt::AlignLeft | Qt::AlignTop, title);
  }
}

void SkinSheet::Lcd(QRect design) {
  const QRect r = Px(*this, design);
  QPainter p(&sheet_);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(QPen(theme_.panelEdge.darker(150), 1));
  QLinearGradient g(r.topLeft(), r.bottomLeft());
  g.setColorAt(0, theme_.lcdBack.darker(130));
  g.setColorAt(1, theme_.lcdBack);
  p.setBrush(g);
  p.drawRoundedRect(QRectF(r).adjusted(0.5, 0.5, -0.5, -0.5), 2.5, 2.5);
  p.setPen(QPen(theme_.panelEdge.lighter(130), 1));
  p.drawLine(QPointF(r.left() + 2, r.bottom() + 0.5), QPointF(r.right() - 2, r.bottom() + 0.5));
}

void SkinSheet::Engrave(QRect design, const QString& text, int pixelSize, QColor color, int flags, bool bold) {
  const QRect r = Px(*this, design);
  QPainter p(&sheet_);
  p.setRenderHint(QPainter::TextAntialiasing);
  QFont f("DejaVu Sans Condensed");
  f.setBold(bold);
  f.setPixelSize(std::max(7, S(pixelSize)));
  p.setFont(f);
  p.setPen(color);
  p.drawText(r, flags, text);
}

void SkinSheet::DrawPad(QPainter& p, QRect r, const QString& face, Glyph glyph, int state, bool selected,
                        QColor led) {
  p.save();
  p.setRenderHint(QPainter::Antialiasing);
  p.setRenderHint(QPainter::TextAntialiasing);
  // Panel colour behind the rounded corners.
  p.fillRect(r, theme_.panel);
  QColor base = theme_.face;
  if (selected) base = Mix(base, theme_.accentDeep, 0.55);
  if (state == 1) base = base.lighter(128);
  if (state == 2) base = base.darker(135);
  const QRectF f = QRectF(r).adjusted(0.5, 0.5, -0.5, -0.5);
  const double radius = std::min(3.5, r.height() / 4.0);
  QLinearGradient g(f.topLeft(), f.bottomLeft());
  g.setColorAt(0, state == 2 ? base.darker(110) : base.lighter(118));
  g.setColorAt(1, state == 2 ? base.lighter(105) : base.darker(112));
  QColor edge = theme_.faceEdge;
  if (state == 1) edge = theme_.accent;
  if (state == 2) edge = theme_.accent.darker(130);
  if (selected && state == 0) edge = theme_.accent.darker(115);
  p.setPen(QPen(edge, 1));
  p.setBrush(g);
  p.drawRoundedRect(f, radius, radius);
  const int shift = state == 2 ? 1 : 0;
  QRect content = r.adjusted(2 + shift, 2 + shift, -2 + shift, -2 + shift);
  if (led.isValid()) {
    // A switch LED along the top edge: bright while selected.
    const int lw = std::max(6, r.width() * 2 / 5), lh = std::max(2, r.height() / 7);
    QRectF l(r.center().x() - lw / 2.0 + shift, r.top() + 2.5 + shift, lw, lh);
    if (selected) {
      QColor glow = led;
      glow.setAlpha(90);
      p.setPen(Qt::NoPen);
      p.setBrush(glow);
      p.drawRoundedRect(l.adjusted(-2, -1, 2, 1), 2, 2);
      p.setBrush(led.lighter(125));
    } else {
      p.setPen(Qt::NoPen);
      p.setBrush(state == 1 ? led.darker(200) : led.darker(330));
    }
    p.drawRoundedRect(l, 1, 1);
    content.setTop(int(l.bottom()) - 1);
  }
  QColor text = selected ? theme_.accent.lighter(150) : (state == 1 ? QColor(Qt::white) : theme_.text);
  if (glyph != Glyph::None && glyph != Glyph::Cue) {
    DrawGlyph(p, QRectF(content), glyph, text);
  } else if (!face.isEmpty()) {
    QFont font("DejaVu Sans Condensed");
    font.setBold(true);
    int px = std::max(7, std::min(content.height() - 1, std::max(8, S(11))));
    for (; px > 7; --px) {
      font.setPixelSize(px);
      if (QFontMetrics(font).horizontalAdvance(face) <= content.width() - 2) break;
    }
    font.setPixelSize(px);
    p.setFont(font);
    p.setPen(text);
    p.drawText(content, Qt::AlignCenter, face);
  }
  p.restore();
}

void SkinSheet::Pad(const std::string& action, QRect design, const QString& face, bool isSwitch, Glyph glyph,
                    QColor led) {
  const QRect r = Px(*this, design);
  if (isSwitch && !led.isValid()) led = theme_.accent;
  const int w = r.width(), h = r.height();
  {
    QPainter p(&sheet_);
    DrawPad(p, r, face, glyph, 0, false, led);
  }
  const QPoint over = Allocate(w, h), down = Allocate(w, h);
  {
    QPainter p(&sheet_);
    DrawPad(p, QRect(over, r.size()), face, glyph, 1, false, led);
    DrawPad(p, QRect(down, r.size()), face, glyph, 2, false, led);
  }
  Open("button");
  Attr("action", action);
  Attr("posx", r.x());
  Attr("posy", r.y());
  Attr("width", w);
  Attr("height", h);
  Attr("overx", over.x());
  Attr("overy", over.y());
  Attr("downx", down.x());
  Attr("downy", down.y());
  if (isSwitch) {
    const QPoint sel = Allocate(w, h), oversel = Allocate(w, h), downsel = Allocate(w, h);
    QPainter p(&sheet_);
    DrawPad(p, QRect(sel, r.size()), face, glyph, 0, true, led);
    DrawPad(p, QRect(oversel, r.size()), face, glyph, 1, true, led);
    DrawPad(p, QRect(downsel, r.size()), face, glyph, 2, true, led);
    Attr("isswitch", "YES");
    Attr("selx", sel.x());
    Attr("sely", sel.y());
    Attr("overselx", oversel.x());
    Attr("oversely", oversel.y());
    Attr("downselx", downsel.x());
    Attr("downsely", downsel.y());
  }
  Close();
}

void SkinSheet::Lamp(const std::string& action, QRect design) {
  // A round lamp: dark normally, glowing while lit (lit buttons show the over picture).
  const QRect r = Px(*this, design);
  auto draw = [&](QPainter& p, QRect at, bool on) {
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.fillRect(at, theme_.panel);
    const QPointF c = QRectF(at).center();
    const double rad = std::min(at.width(), at.height()) / 2.0 - 1;
    if (on) {
      QRadialGradient glow(c, rad + 1);
      glow.setColorAt(0, theme_.accent.lighter(160));
      glow.setColorAt(0.55, theme_.accent);
      glow.setColorAt(1, theme_.panel);
      p.setPen(Qt::NoPen);
      p.setBrush(glow);
      p.drawEllipse(c, rad + 1, rad + 1);
    }
    p.setPen(QPen(theme_.faceEdge.darker(120), 1));
    QRadialGradient g(c - QPointF(rad * 0.3, rad * 0.3), rad);
    g.setColorAt(0, on ? QColor(Qt::white) : theme_.face.lighter(130));
    g.setColorAt(1, on ? theme_.accent : theme_.face.darker(150));
    p.setBrush(g);
    p.drawEllipse(c, rad * 0.62, rad * 0.62);
    p.restore();
  };
  const QPoint over = Allocate(r.width(), r.height());
  QPainter p(&sheet_);
  draw(p, r, false);
  draw(p, QRect(over, r.size()), true);
  Open("button");
  Attr("action", action);
  Attr("posx", r.x());
  Attr("posy", r.y());
  Attr("width", r.width());
  Attr("height", r.height());
  Attr("overx", over.x());
  Attr("overy", over.y());
  Attr("downx", over.x());
  Attr("downy", over.y());
  Close();
}

void SkinSheet::DrawKnobFrame(QPainter& p, QRect r, double angle, bool bipolar, bool hovered) {
  p.save();
  p.setRenderHint(QPainter::Antialiasing);
  p.fillRect(r, theme_.panel);
  const QPointF c = QRectF(r).center();
  const double R = r.width() / 2.0;
  const double ringW = std::max(2.0, R / 6.0);
  const double ringR = R - ringW / 2.0 - 0.5;
  const QRectF ring(c.x() - ringR, c.y() - ringR, 2 * ringR, 2 * ringR);
  // Track of the whole range, then the value arc (from the centre for bipolar knobs).
  p.setPen(QPen(theme_.panel.darker(170), ringW, Qt::SolidLine, Qt::FlatCap));
  p.drawArc(ring, -135 * 16, -270 * 16);
  const double theta = 135.0 + angle;
  const double from = bipolar ? 270.0 : 135.0;
  QColor arc = hovered ? theme_.accent.lighter(135) : theme_.accent;
  p.setPen(QPen(arc, ringW, Qt::SolidLine, Qt::FlatCap));
  if (std::fabs(theta - from) > 0.5) p.drawArc(ring, int(-from * 16), int(-(theta - from) * 16));
  // Body.
  const double bodyR = R - ringW - std::max(1.5, R / 10.0);
  QRadialGradient g(c - QPointF(bodyR * 0.35, bodyR * 0.45), bodyR * 1.5);
  g.setColorAt(0, theme_.face.lighter(hovered ? 190 : 165));
  g.setColorAt(1, theme_.face.darker(140));
  p.setPen(QPen(QColor(0, 0, 0, 160), 1));
  p.setBrush(g);
  p.drawEllipse(c, bodyR, bodyR);
  // Pointer.
  p.setPen(QPen(hovered ? theme_.accent.lighter(170) : QColor(235, 240, 245), std::max(1.5, R / 9.0),
                Qt::SolidLine, Qt::RoundCap));
  p.drawLine(Polar(c, bodyR * 0.25, theta), Polar(c, bodyR * 0.88, theta));
  p.restore();
}

void SkinSheet::Knob(const std::string& action, QRect design, bool bipolar, const std::string& strip) {
  const QRect r = Px(*this, design);
  const int n = std::min(r.width(), r.height());
  const std::string key = strip + (bipolar ? "-bi-" : "-uni-") + std::to_string(n);
  auto it = strips_.find(key);
  if (it == strips_.end()) {
    // Two rows: normal frames, then hovered frames.
    Shelf& band = shelves_[1];
    if (band.x != 0) {
      band.x = 0;
      band.y += band.h + 2;
      band.h = 0;
    }
    const QPoint at(0, band.y);
    band.y += 2 * n + 2;
    QPainter p(&sheet_);
    for (int k = 0; k < kKnobFrames; ++k) {
      // Frame k shows the angles that round to k + 1 steps; frame 0 also the minimum.
      const double a = k == 0 ? 0.0 : std::min(270.0, (k + 1) * kKnobStep);
      DrawKnobFrame(p, QRect(at.x() + k * n, at.y(), n, n), a, bipolar, false);
      DrawKnobFrame(p, QRect(at.x() + k * n, at.y() + n, n, n), a, bipolar, true);
    }
    it = strips_.emplace(key, at).first;
  }
  const QPoint at = it->second;
  {
    QPainter p(&sheet_);
    DrawKnobFrame(p, QRect(r.topLeft(), QSize(n, n)), bipolar ? 135.0 : 0.0, bipolar, false);
  }
  Open("roundslider");
  Attr("action", action);
  Attr("posx", r.x());
  Attr("posy", r.y());
  Attr("size", n);
  Attr("upx", at.x());
  Attr("upy", at.y());
  Attr("overx", at.x());
  Attr("overy", at.y() + n);
  Attr("positions", kKnobPositions);
  Attr("startangle", 135);
  Attr("rotation", 270);
  Attr("aliasing", 1);
  Close();
}

void SkinSheet::Jog(const std::string& action, QRect design) {
  const QRect r = Px(*this, design);
  const int n = std::min(r.width(), r.height());
  auto draw = [&](QPainter& p, QRect at, bool hovered) {
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.fillRect(at, theme_.panel);
    const QPointF c = QRectF(at).center();
    const double R = n / 2.0 - 1;
    // Rubber rim with grip notches.
    QRadialGradient rim(c, R);
    rim.setColorAt(0.80, QColor(40, 44, 50));
    rim.setColorAt(0.93, QColor(22, 24, 28));
    rim.setColorAt(1.0, QColor(10, 11, 13));
    p.setPen(QPen(hovered ? theme_.accent : theme_.faceEdge, hovered ? 2 : 1));
    p.setBrush(rim);
    p.drawEllipse(c, R, R);
    p.setPen(QPen(QColor(60, 66, 74), 1));
    for (int i = 0; i < 48; ++i) p.drawLine(Polar(c, R * 0.86, i * 7.5), Polar(c, R * 0.97, i * 7.5));
    // Platter with grooves.
    const double pr = R * 0.80;
    QRadialGradient plate(c - QPointF(pr * 0.3, pr * 0.4), pr * 1.6);
    plate.setColorAt(0, theme_.face.lighter(150));
    plate.setColorAt(1, theme_.face.darker(160));
    p.setPen(QPen(QColor(0, 0, 0, 180), 1));
    p.setBrush(plate);
    p.drawEllipse(c, pr, pr);
    p.setBrush(Qt::NoBrush);
    for (double g = 0.42; g < 0.95; g += 0.09) {
      p.setPen(QPen(QColor(255, 255, 255, 14), 1));
      p.drawEllipse(c, pr * g, pr * g);
    }
    // Centre cap with the accent ring.
    p.setPen(QPen(hovered ? theme_.accent.lighter(130) : theme_.accent, std::max(1.5, n / 60.0)));
    p.setBrush(theme_.panel.darker(130));
    p.drawEllipse(c, pr * 0.32, pr * 0.32);
    QFont f("DejaVu Sans Condensed");
    f.setBold(true);
    f.setPixelSize(std::max(7, int(pr * 0.15)));
    p.setFont(f);
    p.setPen(theme_.textDim);
    p.drawText(QRectF(c.x() - pr * 0.3, c.y() - pr * 0.3, pr * 0.6, pr * 0.6), Qt::AlignCenter, "ZONDA");
    p.restore();
  };
  const QPoint over = Allocate(n, n);
  QPainter p(&sheet_);
  draw(p, QRect(r.topLeft(), QSize(n, n)), false);
  draw(p, QRect(over, QSize(n, n)), true);
  Open("roundslider");
  Attr("action", action);
  Attr("posx", r.x());
  Attr("posy", r.y());
  Attr("size", n);
  Attr("overx", over.x());
  Attr("overy", over.y());
  Attr("radius", int(std::lround(n / 2.0 * 0.80 * 0.66)));
  Attr("cursorsize", std::max(6, n / 13));
  Attr("startangle", 270);
  Attr("rotation", 360);
  Attr("continuous", "YES");
  AttrColor("cursorcolor", theme_.accent.lighter(130));
  AttrColor("focusedcursorcolor", QColor(Qt::white));
  Close();
}

void SkinSheet::DrawFaderTrack(QPainter& p, QRect r, bool vertical, bool thin, bool hovered) {
  p.save();
  p.fillRect(r, theme_.panel);
  p.setRenderHint(QPainter::Antialiasing);
  const int len = vertical ? r.height() : r.width();
  const int across = vertical ? r.width() : r.height();
  const double groove = thin ? std::max(3.0, across / 3.0) : std::max(3.0, across / 7.0);
  QRectF gr = vertical ? QRectF(r.center().x() + 0.5 - groove / 2, r.top() + 3, groove, len - 6)
                       : QRectF(r.left() + 3, r.center().y() + 0.5 - groove / 2, len - 6, groove);
  if (!thin) {
    // Scale ticks on both sides.
    p.setPen(QPen(hovered ? theme_.accent.darker(120) : theme_.textDim.darker(140), 1));
    for (int i = 0; i <= 10; ++i) {
      const double t = 6 + (len - 12) * i / 10.0;
      const double tl = (i % 5 == 0) ? across * 0.22 : across * 0.14;
      if (vertical) {
        const double y = r.top() + t;
        p.drawLine(QPointF(r.left() + 1, y), QPointF(r.left() + 1 + tl, y));
        p.drawLine(QPointF(r.right() - tl, y), QPointF(r.right(), y));
      } else {
        const double x = r.left() + t;
        p.drawLine(QPointF(x, r.top() + 1), QPointF(x, r.top() + 1 + tl));
        p.drawLine(QPointF(x, r.bottom() - tl), QPointF(x, r.bottom()));
      }
    }
  }
  p.setPen(QPen(hovered ? theme_.accent : theme_.faceEdge, 1));
  p.setBrush(QColor(5, 7, 9));
  p.drawRoundedRect(gr, groove / 2, groove / 2);
  p.restore();
}

void SkinSheet::DrawFaderCap(QPainter& p, QRect r, bool vertical, bool thin, bool hovered) {
  p.save();
  p.setRenderHint(QPainter::Antialiasing);
  p.fillRect(r, Qt::black);
  const QRectF f = QRectF(r).adjusted(0.5, 0.5, -0.5, -0.5);
  QLinearGradient g(vertical ? f.topLeft() : f.topLeft(), vertical ? f.bottomLeft() : f.topRight());
  const QColor body = thin ? theme_.accent : QColor(150, 156, 164);
  g.setColorAt(0, body.lighter(hovered ? 150 : 125));
  g.setColorAt(0.5, body.darker(hovered ? 100 : 115));
  g.setColorAt(1, body.darker(hovered ? 130 : 160));
  p.setPen(QPen(QColor(0, 0, 0), 1));
  p.setBrush(g);
  p.drawRoundedRect(f, thin ? 1.5 : 3, thin ? 1.5 : 3);
  if (!thin) {
    p.setPen(QPen(hovered ? theme_.accent.lighter(150) : theme_.accent.lighter(110), 2));
    if (vertical)
      p.drawLine(QPointF(f.left() + 3, f.center().y()), QPointF(f.right() - 3, f.center().y()));
    else
      p.drawLine(QPointF(f.center().x(), f.top() + 3), QPointF(f.center().x(), f.bottom() - 3));
  }
  p.restore();
}

void SkinSheet::Fader(const std::string& action, QRect design, int capLength, bool thin, QColor markerColor) {
  const QRect r = Px(*this, design);
  const bool vertical = r.height() >= r.width();
  const int cap = std::max(4, S(capLength));
  const QSize capSize = vertical ? QSize(r.width(), cap) : QSize(cap, r.height());
  const QPoint over = Allocate(r.width(), r.height());
  const QPoint cup = Allocate(capSize.width(), capSize.height());
  const QPoint cover = Allocate(capSize.width(), capSize.height());
  const QPoint mask = Allocate(capSize.width(), capSize.height());
  {
    QPainter p(&sheet_);
    DrawFaderTrack(p, r, vertical, thin, false);
    DrawFaderTrack(p, QRect(over, r.size()), vertical, thin, true);
    DrawFaderCap(p, QRect(cup, capSize), vertical, thin, false);
    DrawFaderCap(p, QRect(cover, capSize), vertical, thin, true);
    // Mask: black shows the cap, white the track behind its rounded corners.
    p.fillRect(QRect(mask, capSize), Qt::white);
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::black);
    p.drawRoundedRect(QRectF(QRect(mask, capSize)).adjusted(0, 0, 0, 0), thin ? 1.5 : 3, thin ? 1.5 : 3);
  }
  Open("slider");
  Attr("action", action);
  Attr("posx", r.x());
  Attr("posy", r.y());
  Attr("width", r.width());
  Attr("height", r.height());
  Attr("overx", over.x());
  Attr("overy", over.y());
  Attr("cursorwidth", capSize.width());
  Attr("cursorheight", capSize.height());
  Attr("cursorupx", cup.x());
  Attr("cursorupy", cup.y());
  Attr("cursoroverx", cover.x());
  Attr("cursorovery", cover.y());
  Attr("maskx", mask.x());
  Attr("masky", mask.y());
  AttrColor("markercolor", markerColor.isValid() ? markerColor : theme_.accent.lighter(150));
  Close();
}

void SkinSheet::Text(const std::string& action, QRect design, const QString& font, int points, bool bold,
                     const char* align, QColor color, bool transparent, QColor back) {
  // Read-outs shrink with the skin, but stay legible.
  const int pt = scale_ < 1.0 ? std::max(6, int(std::lround(points * scale_ * 1.04))) : points;
  TextPx(action, Px(*this, design), font, pt, bold, align, color, transparent, back);
}

void SkinSheet::TextPx(const std::string& action, QRect r, const QString& font, int points, bool bold,
                       const char* align, QColor color, bool transparent, QColor back) {
  Open("textarea");
  Attr("action", action);
  Attr("posx", r.x());
  Attr("posy", r.y());
  Attr("width", r.width());
  Attr("height", r.height());
  Attr("fontname", font.toStdString());
  Attr("fontsize", points);
  if (bold) Attr("fontbold", "YES");
  Attr("fontalign", align);
  AttrColor("fontcolor", color);
  if (transparent)
    Attr("transparent", "YES");
  else
    AttrColor("backcolor", back);
  Close();
}

void SkinSheet::Label(const std::string& action, const QString& defaultText, QRect design, const char* align,
                      QColor color) {
  // Fonts are chosen for the label row's nominal height, so every label of a
  // row size gets the same font whatever the rounding of its place.
  const QRect r = Px(*this, design);
  const QString family = "DejaVu Sans Condensed";
  const int base = std::max(6, int(std::lround(7 * std::max(scale_, 0.86))));
  bool bold = true;
  const int pt = FitPoints(family, base, bold, defaultText, r.width(), S(design.height()));
  TextPx(action, r, family, pt, bold, align, color.isValid() ? color : theme_.textDim, true, {});
}

void SkinSheet::BeatDisplay(const std::string& action, QRect design, QColor data) {
  const QRect r = Px(*this, design);
  auto draw = [&](QPainter& p, QRect at, bool hovered) {
    p.save();
    p.fillRect(at, QColor(4, 6, 9));
    // Faint second grid.
    p.setPen(QColor(255, 255, 255, 10));
    for (int x = at.left() + at.width() % 50 / 2; x < at.right(); x += 50) p.drawLine(x, at.top() + 1, x, at.bottom() - 1);
    p.setPen(QColor(255, 255, 255, 22));
    p.drawLine(at.left() + 1, at.center().y(), at.right() - 1, at.center().y());
    p.setPen(hovered ? theme_.accent : theme_.panelEdge.lighter(115));
    p.setBrush(Qt::NoBrush);
    p.drawRect(at.adjusted(0, 0, -1, -1));
    p.restore();
  };
  const QPoint over = Allocate(r.width(), r.height());
  QPainter p(&sheet_);
  draw(p, r, false);
  draw(p, QRect(over, r.size()), true);
  Open("beatdisplay");
  Attr("action", action);
  Attr("posx", r.x());
  Attr("posy", r.y());
  Attr("width", r.width());
  Attr("height", r.height());
  Attr("overx", over.x());
  Attr("overy", over.y());
  AttrColor("datacolor", data);
  AttrColor("loopcolor", QColor(255, 176, 32));
  AttrColor("cuecolor", QColor(255, 64, 72));
  AttrColor("cursorcolor", QColor(245, 248, 250));
  Attr("beatdiffvisible", "YES");
  Attr("beatdiffx", r.width() - 46);
  Attr("beatdiffy", 4);
  Close();
}

void SkinSheet::Meter(const std::string& action, QRect design) {
  const QRect r = Px(*this, design);
  {
    QPainter p(&sheet_);
    p.fillRect(r.adjusted(-2, -2, 2, 2), theme_.panelEdge.darker(140));
    p.fillRect(r, Qt::black);
  }
  const bool green = theme_.accent.green() > theme_.accent.blue();
  const QColor low = green ? QColor(40, 210, 70) : QColor(30, 150, 255);
  const QColor mid = green ? QColor(190, 240, 40) : QColor(150, 225, 255);
  const QColor mid2 = QColor(255, 200, 40);
  const QColor high = QColor(255, 52, 44);
  auto dim = [](QColor c) { return QColor(c.red() / 5, c.green() / 5, c.blue() / 5); };
  Open("vumeter");
  Attr("action", action);
  Attr("posx", r.x());
  Attr("posy", r.y());
  Attr("width", r.width());
  Attr("height", r.height());
  AttrColor("colorlow", low);
  AttrColor("colormid", mid);
  AttrColor("colormid2", mid2);
  AttrColor("colorhigh", high);
  AttrColor("backcolorlow", dim(low));
  AttrColor("backcolormid", dim(mid));
  AttrColor("backcolormid2", dim(mid2));
  AttrColor("backcolorhigh", dim(high));
  Close();
}

void SkinSheet::List(QRect design) {
  const QRect r = Px(*this, design);
  {
    QPainter p(&sheet_);
    p.fillRect(r, theme_.lcdBack.darker(115));
    p.setPen(theme_.panelEdge);
    p.drawRect(r.adjusted(0, 0, -1, -1));
  }
  Open("list");
  Attr("posx", r.x());
  Attr("posy", r.y());
  Attr("width", r.width());
  Attr("height", r.height());
  Attr("fontname", "DejaVu Sans");
  Attr("fontsize", scale_ < 0.9 ? 7 : 8);
  AttrColor("fontcolor", theme_.text);
  AttrColor("cursorfontcolor", QColor(Qt::white));
  AttrColor("insertedcolor", theme_.accent.lighter(130));
  AttrColor("nextsongcolor", QColor(255, 200, 40));
  Attr("betweenlines", 4);
  Attr("beforeheader", 2);
  Attr("afterheader", 2);
  AttrColor("gridcolor", theme_.panelEdge);
  AttrColor("cursorcolor", theme_.accentDeep);
  AttrColor("generalovercolor", theme_.accent);
  AttrColor("slidercolor", theme_.face.lighter(130));
  AttrColor("headercolor", theme_.panel.lighter(125));
  AttrColor("headerbordercolor", theme_.panelEdge);
  AttrColor("headerovercolor", theme_.face.lighter(120));
  Close();
}

void SkinSheet::Search(QRect design) {
  const QRect r = Px(*this, design);
  Lcd(design);
  Open("search");
  Attr("posx", r.x() + 2);
  Attr("posy", r.y() + 2);
  Attr("width", r.width() - 4);
  Attr("height", r.height() - 4);
  AttrColor("backcolor", theme_.lcdBack);
  Attr("fontname", "DejaVu Sans");
  Attr("fontsize", 8);
  AttrColor("fontcolor", theme_.lcdText);
  Close();
}

void SkinSheet::ListsView(QRect design) {
  const QRect r = Px(*this, design);
  auto draw = [&](QPainter& p, QRect at, bool hovered) {
    p.fillRect(at, theme_.lcdBack.darker(115));
    p.setPen(hovered ? theme_.accent.darker(110) : theme_.panelEdge);
    p.drawRect(at.adjusted(0, 0, -1, -1));
  };
  const QPoint over = Allocate(r.width(), r.height());
  // Icon strip: nine 16 x 16 pictures on black, their masks 25 rows below.
  const QPoint icons = Allocate(9 * 16, 41);
  {
    QPainter p(&sheet_);
    draw(p, r, false);
    draw(p, QRect(over, r.size()), true);
    for (int i = 0; i < 9; ++i) {
      QImage icon(16, 16, QImage::Format_ARGB32_Premultiplied);
      icon.fill(Qt::transparent);
      QPainter ip(&icon);
      ip.setRenderHint(QPainter::Antialiasing);
      const QColor a = theme_.accent, t = theme_.text;
      switch (i) {
        case 0:  // root
          ip.setPen(QPen(a, 1.5));
          ip.setBrush(Qt::NoBrush);
          ip.drawEllipse(QRectF(2, 2, 12, 12));
          ip.drawLine(QPointF(2, 8), QPointF(14, 8));
          ip.drawEllipse(QRectF(5, 2, 6, 12));
          break;
        case 1:  // drive
        case 7:  // CD-ROM
          if (i == 1) {
            ip.setPen(QPen(t, 1));
            ip.setBrush(theme_.face.lighter(140));
            ip.drawRoundedRect(QRectF(1.5, 5.5, 13, 6), 1.5, 1.5);
            ip.setPen(Qt::NoPen);
            ip.setBrush(a);
            ip.drawRect(QRectF(11, 8, 2, 1.5));
          } else {
            ip.setPen(QPen(t, 1));
            ip.setBrush(theme_.face.lighter(160));
            ip.drawEllipse(QRectF(1.5, 1.5, 13, 13));
            ip.setBrush(Qt::black);
            ip.drawEllipse(QRectF(6, 6, 4, 4));
          }
          break;
        case 2:  // folder
        case 3:  // folder with sub-folders
        case 4:  // open folder
          ip.setPen(QPen(QColor(200, 160, 60), 1));
          ip.setBrush(QColor(230, 185, 80));
          ip.drawRect(QRectF(1.5, 3.5, 6, 3));
          ip.drawRect(QRectF(1.5, 5.5, 13, 8));
          if (i == 3) {
            ip.setPen(QPen(QColor(120, 90, 30), 1));
            ip.drawLine(QPointF(4, 9.5), QPointF(12, 9.5));
          }
          if (i == 4) {
            ip.setBrush(QColor(250, 215, 120));
            ip.drawPolygon(QPolygonF({QPointF(3.5, 8.5), QPointF(15, 8.5), QPointF(12.5, 13.5), QPointF(1.5, 13.5)}));
          }
          break;
        case 5:  // database
          ip.setPen(QPen(t, 1));
          ip.setBrush(a.darker(130));
          ip.drawRect(QRectF(3.5, 4, 9, 8));
          ip.drawEllipse(QRectF(3.5, 11, 9, 3));
          ip.setBrush(a);
          ip.drawEllipse(QRectF(3.5, 2.5, 9, 3));
          break;
        case 6:  // play list
        case 8:  // lists
          ip.setPen(QPen(i == 6 ? a : t, 1.4));
          for (int k = 0; k < 3; ++k) ip.drawLine(QPointF(2, 4.5 + k * 3.5), QPointF(i == 6 ? 10 : 14, 4.5 + k * 3.5));
          if (i == 6) {
            ip.setPen(Qt::NoPen);
            ip.setBrush(a);
            ip.drawEllipse(QRectF(10, 9, 4.5, 4.5));
            ip.drawRect(QRectF(13, 3, 1.5, 8));
          }
          break;
      }
      ip.end();
      const QPoint at = icons + QPoint(i * 16, 0);
      p.fillRect(QRect(at, QSize(16, 16)), Qt::black);
      p.drawImage(at, icon);
      for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x)
          sheet_.setPixel(at.x() + x, at.y() + 25 + y, qAlpha(icon.pixel(x, y)) > 40 ? qRgb(0, 0, 0) : qRgb(255, 255, 255));
    }
  }
  Open("listsview");
  Attr("posx", r.x());
  Attr("posy", r.y());
  Attr("width", r.width());
  Attr("height", r.height());
  Attr("overx", over.x());
  Attr("overy", over.y());
  AttrColor("linescolor", theme_.panelEdge);
  AttrColor("textcolor", theme_.text);
  AttrColor("textselectedcolor", QColor(Qt::white));
  AttrColor("textfocusedcolor", theme_.accent.lighter(150));
  AttrColor("cursorcolor", theme_.accentDeep);
  AttrColor("cursorfocusedcolor", theme_.face.lighter(120));
  AttrColor("scrollslidercolor", theme_.face.lighter(130));
  AttrColor("scrollsliderbordercolor", theme_.panelEdge.lighter(130));
  Attr("fontname", "DejaVu Sans");
  Attr("fontsize", scale_ < 0.9 ? 7 : 8);
  Attr("iconx", icons.x());
  Attr("icony", icons.y());
  Close();
}

bool SkinSheet::Save(const std::string& basePath) const {
  const int used = std::min(kSheetRows, std::max(shelves_[0].y + shelves_[0].h, shelves_[1].y + shelves_[1].h) + 2);
  if (!sheet_.copy(0, 0, width_, used).save(QString::fromStdString(basePath + ".bmp"), "BMP")) return false;
  std::ofstream out(basePath + ".xml", std::ios::binary | std::ios::trunc);
  out << xml_ << "</zondaskin>\n";
  return bool(out);
}

}  // namespace zonda::skingen
