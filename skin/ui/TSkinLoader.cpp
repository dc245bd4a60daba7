#include "skin/ui/TSkinLoader.h"

#include <QWidget>
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "skin/XmlParser.h"
#include "skin/ui/SkinAttributes.h"

namespace zonda {

namespace fs = std::filesystem;

namespace {

bool FileExists(const std::string& path) {
  std::error_code ec;
  return fs::is_regular_file(path, ec);
}

bool EndsWithXml(const std::string& name) {
  if (name.size() < 4) return false;
  std::string ext = name.substr(name.size() - 4);
  for (char& c : ext)
    if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
  return ext == ".xml";
}

// Moves to the first start tag; false when the document has none.
bool FirstStartTag(TXmlParser& xml) {
  while (xml.NextPart())
    if (xml.PartKind() == TPartKind::StartTag) return true;
  return false;
}

// Largest control side: bigger ones are cut to it (their pictures are composed off-screen).
constexpr int kMaxControlSide = 8192;

QSize ControlSize(int w, int h) { return QSize(std::clamp(w, 0, kMaxControlSide), std::clamp(h, 0, kMaxControlSide)); }

// Window sizes: absent (or unusable) gives the default; kept as 16-bit values.
int WindowSize(int v, int fallback) {
  if (v < 1) return fallback;
  return std::min(v, 32767);
}

}  // namespace

TSkinLoader::TSkinLoader(QWidget* host, TActionTables& actions) : host_(host), actions_(actions) {
  for (auto& m : meters_) {
    m = std::make_unique<TKAVLevel>(host);
    m->hide();
  }
}

TSkinLoader::~TSkinLoader() {
  UnloadSkin();
  DestroyControls();
}

std::vector<TDataSkin> TSkinLoader::ListSkins(const std::string& folder) {
  std::vector<TDataSkin> skins;
  std::error_code ec;
  fs::directory_iterator it(folder, ec), end;
  for (; !ec && it != end && int(skins.size()) < kMaxSkins; it.increment(ec)) {
    std::error_code dec;
    if (it->is_directory(dec)) continue;
    const std::string name = it->path().filename().string();
    if (!EndsWithXml(name)) continue;
    const std::string base = folder + "/" + name.substr(0, name.size() - 4);
    if (!FileExists(base + ".xml")) continue;
    TXmlParser xml;
    if (!xml.OpenDocument(base + ".xml")) continue;
    xml.RewindScan();
    if (!FirstStartTag(xml) || xml.PartName() != "zondaskin") continue;
    if (ReadSkinInteger(xml, "targetversion") != 1 || !FileExists(base + ".bmp")) continue;
    TDataSkin skin;
    skin.Width = WindowSize(ReadSkinInteger(xml, "screenwidth"), 800);
    skin.Height = WindowSize(ReadSkinInteger(xml, "screenheight"), 600);
    skin.DisplayText = ReadSkinText(xml, "skinname") + " (" + std::to_string(skin.Width) + "x" +
                       std::to_string(skin.Height) + ")";
    if (ReadSkinInteger(xml, "convertintegersfromwidth") != -1) skin.DisplayText += " - (EMULATED)";
    skin.BasePath = base;
    skins.push_back(std::move(skin));
  }
  return skins;
}

// Coordinates, sizes, angles and counts are kept to 16-bit values, as on the
// platform the format was drawn for; a hostile file cannot overflow the
// arithmetic of the controls.
int TSkinLoader::I(const TXmlParser& xml, const char* name) const {
  const int v = ReadSkinInteger(xml, name, skinScale_);
  return std::clamp(v, -32768, 32767);
}

QPoint TSkinLoader::Origin(const TXmlParser& xml, const char* x, const char* y, QPoint fallback) const {
  int vx = I(xml, x), vy = I(xml, y);
  return QPoint(vx == -1 ? fallback.x() : vx, vy == -1 ? fallback.y() : vy);
}

template <class Control>
void TSkinLoader::Place(Control& c, QRect r) {
  c.setGeometry(r);
  c.show();
}

bool TSkinLoader::LoadSkin(const std::string& basePath) {
  const std::string bmp = basePath + ".bmp", xmlPath = basePath + ".xml";
  if (!FileExists(bmp) || !FileExists(xmlPath)) return false;
  // Also clears what a load stopped half-way left behind.
  UnloadSkin();
  DestroyControls();

  QImage image(QString::fromStdString(bmp));
  if (image.isNull()) {
    std::fprintf(stderr, "Zonda: cannot read the skin picture %s\n", bmp.c_str());
    skinImage_ = QImage();
    return false;
  }
  skinImage_ = image.convertToFormat(QImage::Format_RGB32);

  TXmlParser xml;
  if (!xml.OpenDocument(xmlPath)) return false;
  xml.RewindScan();
  if (!FirstStartTag(xml) || xml.PartName() != "zondaskin") {
    if (host_) host_->update();
    return false;
  }
  skinWidth_ = WindowSize(ReadSkinInteger(xml, "screenwidth"), 800);
  skinHeight_ = WindowSize(ReadSkinInteger(xml, "screenheight"), 600);
  const int from = ReadSkinInteger(xml, "convertintegersfromwidth");
  skinScale_ = from > 0 ? double(skinWidth_) / double(from) : 1.0;
  if (host_) host_->resize(skinWidth_, skinHeight_);

  while (xml.NextPart()) {
    if (xml.PartKind() == TPartKind::StartTag) {
      // Another start tag: the load stops here; what was read stays shown.
      if (host_) host_->update();
      return false;
    }
    if (xml.PartKind() != TPartKind::EmptyElementTag) continue;
    const std::string& name = xml.PartName();
    if (name == "button")
      ReadButton(xml);
    else if (name == "slider")
      ReadSlider(xml);
    else if (name == "roundslider")
      ReadRoundSlider(xml);
    else if (name == "beatdisplay")
      ReadBeatDisplay(xml);
    else if (name == "textarea")
      ReadTextArea(xml);
    else if (name == "listsview")
      ReadListsView(xml);
    else if (name == "list")
      ReadList(xml);
    else if (name == "search")
      ReadSearch(xml);
    else if (name == "vumeter")
      ReadMeter(xml);
  }
  skinLoaded_ = true;
  if (host_) host_->update();
  if (OnSkinLoaded) OnSkinLoaded();
  return true;
}

void TSkinLoader::UnloadSkin() {
  if (!skinLoaded_) return;
  skinLoaded_ = false;
  listsView_ = TSkinListsViewParams();
  list_.Placed = false;
  search_.Placed = false;
  for (auto& m : meters_) m->hide();
  actions_.UnbindAll();
  DestroyControls();
}

void TSkinLoader::DestroyControls() {
  // A stopped load leaves bound controls behind: unbind before destroying.
  if (!skinLoaded_ && (!buttons_.empty() || !sliders_.empty() || !roundSliders_.empty() || !beatDisplays_.empty() ||
                       !textAreas_.empty()))
    actions_.UnbindAll();
  auto destroy = [](auto& table) {
    while (!table.empty()) table.pop_back();
  };
  destroy(textAreas_);
  destroy(beatDisplays_);
  destroy(roundSliders_);
  destroy(sliders_);
  destroy(buttons_);
}

void TSkinLoader::ReadButton(const TXmlParser& xml) {
  if (int(buttons_.size()) >= kMaxButtons) return;
  const int w = I(xml, "width"), h = I(xml, "height");
  if (w <= 0 || h <= 0) return;
  const QPoint pos(I(xml, "posx"), I(xml, "posy"));
  TSKINButtonParams p;
  p.up = Origin(xml, "upx", "upy", pos);
  p.over = Origin(xml, "overx", "overy", p.up);
  p.down = Origin(xml, "downx", "downy", p.over);
  p.isSwitch = ReadSkinFlag(xml, "isswitch");
  p.sel = Origin(xml, "selx", "sely", pos);
  p.overSel = Origin(xml, "overselx", "oversely", p.sel);
  p.downSel = Origin(xml, "downselx", "downsely", p.overSel);
  p.showLabel = ReadSkinFlag(xml, "showlabel");
  p.fontColor = ReadSkinColor(xml, "fontcolor");
  const std::string font = ReadSkinText(xml, "fontname");
  if (!font.empty()) p.fontName = font;
  p.fontSize = ReadSkinSize(xml, "fontsize", skinScale_);
  if (p.fontSize <= 3) p.fontSize = 5;
  auto button = std::make_unique<TSKINButton>(host_, &skinImage_, p);
  Place(*button, QRect(pos, ControlSize(w, h)));
  buttons_.push_back(std::move(button));
  const int action = actions_.FindButtonAction(ReadSkinText(xml, "action"));
  if (action >= 0) actions_.Button(action).Bind(int(buttons_.size()) - 1, *buttons_.back());
}

void TSkinLoader::ReadSlider(const TXmlParser& xml) {
  if (int(sliders_.size()) >= kMaxSliders) return;
  const QRect r(I(xml, "posx"), I(xml, "posy"), I(xml, "width"), I(xml, "height"));
  TSKINSliderParams p;
  p.size = ControlSize(r.width(), r.height());
  p.up = Origin(xml, "upx", "upy", r.topLeft());
  p.over = Origin(xml, "overx", "overy", p.up);
  p.cursor = ControlSize(I(xml, "cursorwidth"), I(xml, "cursorheight"));
  p.cursorUp = QPoint(I(xml, "cursorupx"), I(xml, "cursorupy"));
  p.cursorOver = Origin(xml, "cursoroverx", "cursorovery", p.cursorUp);
  p.markerColor = ReadSkinColor(xml, "markercolor");
  const int mx = I(xml, "maskx"), my = I(xml, "masky");
  p.hasMask = mx != -1 && my != -1;
  p.mask = QPoint(mx, my);
  auto slider = std::make_unique<TSKINSlider>(host_, &skinImage_, p);
  Place(*slider, QRect(r.topLeft(), p.size));
  sliders_.push_back(std::move(slider));
  const int action = actions_.FindSliderAction(ReadSkinText(xml, "action"));
  if (action >= 0) actions_.Slider(action).Bind(int(sliders_.size()) - 1, *sliders_.back());
}

void TSkinLoader::ReadRoundSlider(const TXmlParser& xml) {
  if (int(roundSliders_.size()) >= kMaxRoundSliders) return;
  const int size = std::min(I(xml, "size"), kMaxControlSide);
  if (size <= 0) return;
  const QPoint pos(I(xml, "posx"), I(xml, "posy"));
  TSKINRoundSliderParams p;
  p.size = size;
  p.up = Origin(xml, "upx", "upy", pos);
  p.over = Origin(xml, "overx", "overy", p.up);
  p.positions = I(xml, "positions");
  p.radius = I(xml, "radius");
  p.cursorSize = I(xml, "cursorsize");
  const int start = I(xml, "startangle"), rotation = I(xml, "rotation");
  p.startAngle = start == -1 ? 135 : start;
  p.rotation = rotation == -1 ? 270 : rotation;
  p.cursorColor = ReadSkinColor(xml, "cursorcolor");
  p.focusedCursorColor = ReadSkinColor(xml, "focusedcursorcolor");
  p.continuous = ReadSkinFlag(xml, "continuous");
  const int space = I(xml, "spacebetweenpositions"), aliasing = I(xml, "aliasing");
  p.spaceBetweenPositions = space == -1 ? 0 : space;
  p.aliasing = aliasing == -1 ? 1 : aliasing;
  p.rowWidth = skinWidth_;
  auto knob = std::make_unique<TSKINRoundSlider>(host_, &skinImage_, p);
  Place(*knob, QRect(pos, QSize(size, size)));
  roundSliders_.push_back(std::move(knob));
  const int action = actions_.FindSliderAction(ReadSkinText(xml, "action"));
  if (action >= 0) actions_.Slider(action).Bind(int(roundSliders_.size()) - 1, *roundSliders_.back());
}

void TSkinLoader::ReadBeatDisplay(const TXmlParser& xml) {
  if (int(beatDisplays_.size()) >= kMaxBeatDisplays) return;
  const QRect r(QPoint(I(xml, "posx"), I(xml, "posy")), ControlSize(I(xml, "width"), I(xml, "height")));
  TSKINBeatDisplayParams p;
  p.up = Origin(xml, "upx", "upy", r.topLeft());
  p.over = Origin(xml, "overx", "overy", p.up);
  p.dataColor = ReadSkinColor(xml, "datacolor");
  p.loopColor = ReadSkinColor(xml, "loopcolor");
  p.cueColor = ReadSkinColor(xml, "cuecolor");
  p.cursorColor = ReadSkinColor(xml, "cursorcolor");
  p.beatDiffVisible = ReadSkinFlag(xml, "beatdiffvisible");
  p.beatDiff = QPoint(I(xml, "beatdiffx"), I(xml, "beatdiffy"));
  auto display = std::make_unique<TSKINBeatDisplay>(host_, &skinImage_, p);
  display->resize(r.size());
  Place(*display, r);
  beatDisplays_.push_back(std::move(display));
  const int action = actions_.FindBeatDisplayAction(ReadSkinText(xml, "action"));
  if (action >= 0) actions_.BeatDisplay(action).Bind(int(beatDisplays_.size()) - 1, *beatDisplays_.back());
}

void TSkinLoader::ReadTextArea(const TXmlParser& xml) {
  if (int(textAreas_.size()) >= kMaxTextAreas) return;
  const QRect r(QPoint(I(xml, "posx"), I(xml, "posy")), ControlSize(I(xml, "width"), I(xml, "height")));
  TSKINTextAreaParams p;
  p.size = r.size();
  p.backColor = ReadSkinColor(xml, "backcolor");
  p.fontColor = ReadSkinColor(xml, "fontcolor");
  const std::string font = ReadSkinText(xml, "fontname");
  if (!font.empty()) p.fontName = font;
  p.fontSize = ReadSkinSize(xml, "fontsize", skinScale_);
  if (p.fontSize < 1) p.fontSize = 8;  // absent: a readable default
  p.bold = ReadSkinFlag(xml, "fontbold");
  p.italic = ReadSkinFlag(xml, "fontitalic");
  const int align = ReadSkinAlign(xml, "fontalign");
  p.align = align == 1 ? TSkinAlign::Center : align == 2 ? TSkinAlign::Right : TSkinAlign::Left;
  p.borderVisible = ReadSkinFlag(xml, "bordervisible");
  p.transparent = ReadSkinFlag(xml, "transparent");
  auto area = std::make_unique<TSKINTextArea>(host_, &skinImage_, p);
  Place(*area, r);
  textAreas_.push_back(std::move(area));
  const int action = actions_.FindTextAction(ReadSkinText(xml, "action"));
  if (action >= 0) actions_.Text(action).Bind(int(textAreas_.size()) - 1, *textAreas_.back());
}

void TSkinLoader::ReadListsView(const TXmlParser& xml) {
  if (listsView_.Placed) return;
  TSkinListsViewParams& v = listsView_;
  v.Placed = true;
  v.Rect = QRect(I(xml, "posx"), I(xml, "posy"), I(xml, "width"), I(xml, "height"));
  v.Up = Origin(xml, "upx", "upy", v.Rect.topLeft());
  v.Over = Origin(xml, "overx", "overy", v.Up);
  v.LinesColor = ReadSkinColor(xml, "linescolor");
  v.TextColor = ReadSkinColor(xml, "textcolor");
  v.TextSelectedColor = ReadSkinColor(xml, "textselectedcolor");
  v.TextFocusedColor = ReadSkinColor(xml, "textfocusedcolor");
  v.CursorColor = ReadSkinColor(xml, "cursorcolor");
  v.CursorFocusedColor = ReadSkinColor(xml, "cursorfocusedcolor");
  v.ScrollSliderColor = ReadSkinColor(xml, "scrollslidercolor");
  v.ScrollSliderBorderColor = ReadSkinColor(xml, "scrollsliderbordercolor");
  const std::string font = ReadSkinText(xml, "fontname");
  if (!font.empty()) v.FontName = font;
  v.FontSize = ReadSkinSize(xml, "fontsize", skinScale_);
  v.Bold = ReadSkinFlag(xml, "fontbold");
  v.Italic = ReadSkinFlag(xml, "fontitalic");
  v.Icons = QPoint(I(xml, "iconx"), I(xml, "icony"));
}

void TSkinLoader::ReadList(const TXmlParser& xml) {
  TSkinListPlacement& l = list_;
  l.Placed = true;
  l.Rect = QRect(I(xml, "posx"), I(xml, "posy"), I(xml, "width"), I(xml, "height"));
  const std::string font = ReadSkinText(xml, "fontname");
  l.FontName = font.empty() ? "Arial" : font;
  l.FontSize = ReadSkinSize(xml, "fontsize", skinScale_);
  l.FontColor = ReadSkinColor(xml, "fontcolor");
  l.CursorFontColor = ReadSkinColor(xml, "cursorfontcolor");
  l.InsertedColor = ReadSkinColor(xml, "insertedcolor");
  l.NextSongColor = ReadSkinColor(xml, "nextsongcolor");
  l.BetweenLines = I(xml, "betweenlines");
  l.BeforeHeader = I(xml, "beforeheader");
  l.AfterHeader = I(xml, "afterheader");
  l.GridColor = ReadSkinColor(xml, "gridcolor");
  l.CursorColor = ReadSkinColor(xml, "cursorcolor");
  l.GeneralOverColor = ReadSkinColor(xml, "generalovercolor");
  l.SliderColor = ReadSkinColor(xml, "slidercolor");
  l.HeaderColor = ReadSkinColor(xml, "headercolor");
  l.HeaderBorderColor = ReadSkinColor(xml, "headerbordercolor");
  l.HeaderOverColor = ReadSkinColor(xml, "headerovercolor");
}

void TSkinLoader::ReadSearch(const TXmlParser& xml) {
  TSkinSearchPlacement& s = search_;
  s.Placed = true;
  s.Rect = QRect(I(xml, "posx"), I(xml, "posy"), I(xml, "width"), I(xml, "height"));
  s.BackColor = ReadSkinColor(xml, "backcolor");
  const std::string font = ReadSkinText(xml, "fontname");
  s.FontName = font.empty() ? "Arial" : font;
  s.FontSize = ReadSkinSize(xml, "fontsize", skinScale_);
  s.FontColor = ReadSkinColor(xml, "fontcolor");
  s.Bold = ReadSkinFlag(xml, "fontbold");
  s.Italic = ReadSkinFlag(xml, "fontitalic");
}

void TSkinLoader::ReadMeter(const TXmlParser& xml) {
  const std::string action = ReadSkinText(xml, "action");
  int which;
  if (action == "decka")
    which = VUmeterDeckA;
  else if (action == "deckb")
    which = VUmeterDeckB;
  else if (action == "masterl")
    which = VUmeterMasterL;
  else if (action == "masterr")
    which = VUmeterMasterR;
  else
    return;
  const QRect r(QPoint(I(xml, "posx"), I(xml, "posy")), ControlSize(I(xml, "width"), I(xml, "height")));
  if (r.width() < 1 || r.height() < 1) return;
  TKAVLevel& m = *meters_[which];
  m.setGeometry(r);
  m.SetColor(TKAVLevel::Color1, ReadSkinColor(xml, "colorlow"));
  m.SetColor(TKAVLevel::Color2, ReadSkinColor(xml, "colormid"));
  m.SetColor(TKAVLevel::Color3, ReadSkinColor(xml, "colorhigh"));
  m.SetColor(TKAVLevel::Color4, ReadSkinColor(xml, "colormid2"));
  m.SetColor(TKAVLevel::Color1D, ReadSkinColor(xml, "backcolorlow"));
  m.SetColor(TKAVLevel::Color2D, ReadSkinColor(xml, "backcolormid"));
  m.SetColor(TKAVLevel::Color3D, ReadSkinColor(xml, "backcolorhigh"));
  m.SetColor(TKAVLevel::Color4D, ReadSkinColor(xml, "backcolormid2"));
  m.show();
}

}  // namespace zonda
