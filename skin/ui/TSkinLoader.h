#pragma once
// TSkinLoader: the skin folder listing, and loading and unloading one skin
// onto the main window.
//
// A skin is base + ".xml" (the description) and base + ".bmp" (one picture
// sheet for everything). LoadSkin reads the sheet into SkinImage, scans the
// description, creates the controls it lists as children of the host window
// (buttons, linear and round sliders, beat displays, text areas), binds each
// to the action its "action" attribute names, and places and colours the
// window's fixed controls (four level meters; the song list, search box and
// lists browser placements are kept for the list views). UnloadSkin unbinds
// every action (so values, texts and switch states survive a skin change)
// and destroys the controls.
//
//   TSkinLoader skins(&window, actions);
//   auto found = TSkinLoader::ListSkins(zonda::ProgramPath("/skins"));
//   skins.LoadSkin(found[0].BasePath);
//
// The loader owns the controls; destroy it before the host widget. The action
// tables must outlive it (unloading copies the controls' state back into them).
// Main thread only.
#include <QImage>
#include <QRect>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "skin/ActionTables.h"
#include "skin/ui/SkinPaint.h"
#include "skin/ui/TKAVLevel.h"
#include "skin/ui/TSKINBeatDisplay.h"
#include "skin/ui/TSKINButton.h"
#include "skin/ui/TSKINRoundSlider.h"
#include "skin/ui/TSKINSlider.h"
#include "skin/ui/TSKINTextArea.h"

class QWidget;

namespace zonda {

class TXmlParser;

// One entry of the skin list.
struct TDataSkin {
  std::string DisplayText;  // "name (WxH)", " - (EMULATED)" when scaled
  int Width = 800, Height = 600;
  std::string BasePath;  // folder + "/" + base name, no extension
};

// Placement and style of the song list view ("list"; the last one counts).
struct TSkinListPlacement {
  bool Placed = false;
  QRect Rect;
  std::string FontName = "Arial";
  int FontSize = -1;
  TColor FontColor = 0, CursorFontColor = 0, InsertedColor = 0, NextSongColor = 0;
  int BetweenLines = -1, BeforeHeader = -1, AfterHeader = -1;
  TColor GridColor = 0, CursorColor = 0, GeneralOverColor = 0, SliderColor = 0;
  TColor HeaderColor = 0, HeaderBorderColor = 0, HeaderOverColor = 0;
};

// Placement and style of the search box ("search").
struct TSkinSearchPlacement {
  bool Placed = false;
  QRect Rect;
  TColor BackColor = 0, FontColor = 0;
  std::string FontName = "Arial";
  int FontSize = -1;
  bool Bold = false, Italic = false;
};

// The lists browser's element ("listsview"; only the first one counts).
struct TSkinListsViewParams {
  bool Placed = false;
  QRect Rect;
  QPoint Up, Over;
  TColor LinesColor = 0, TextColor = 0, TextSelectedColor = 0, TextFocusedColor = 0;
  TColor CursorColor = 0, CursorFocusedColor = 0, ScrollSliderColor = 0, ScrollSliderBorderColor = 0;
  std::string FontName = "Arial";
  int FontSize = -1;
  bool Bold = false, Italic = false;
  QPoint Icons;  // iconx, icony
};

class TSkinLoader {
 public:
  static constexpr int kMaxSkins = 100;
  static constexpr int kMaxButtons = 270;
  static constexpr int kMaxSliders = 56;
  static constexpr int kMaxRoundSliders = 56;
  static constexpr int kMaxBeatDisplays = 2;
  static constexpr int kMaxTextAreas = 284;
  // The four fixed meters, in this order.
  enum Meter { VUmeterDeckA, VUmeterDeckB, VUmeterMasterL, VUmeterMasterR };

  TSkinLoader(QWidget* host, TActionTables& actions);
  ~TSkinLoader();
  TSkinLoader(const TSkinLoader&) = delete;
  TSkinLoader& operator=(const TSkinLoader&) = delete;

  // The usable skins of a folder (both files, root "zondaskin", target
  // version 1), in enumeration order, at most 100.
  static std::vector<TDataSkin> ListSkins(const std::string& folder);

  // True when the description was read to its end. Missing files: false and
  // nothing changes. A wrong root or a stray start tag: false after the old
  // skin was removed.
  bool LoadSkin(const std::string& basePath);
  void UnloadSkin();

  const QImage& SkinImage() const { return skinImage_; }
  double SkinScale() const { return skinScale_; }
  int SkinWidth() const { return skinWidth_; }
  int SkinHeight() const { return skinHeight_; }
  bool SkinLoaded() const { return skinLoaded_; }
  bool SkinChanging() const { return skinChanging_; }
  void SetSkinChanging(bool changing) { skinChanging_ = changing; }

  const std::vector<std::unique_ptr<TSKINButton>>& Buttons() const { return buttons_; }
  const std::vector<std::unique_ptr<TSKINSlider>>& Sliders() const { return sliders_; }
  const std::vector<std::unique_ptr<TSKINRoundSlider>>& RoundSliders() const { return roundSliders_; }
  const std::vector<std::unique_ptr<TSKINBeatDisplay>>& BeatDisplays() const { return beatDisplays_; }
  const std::vector<std::unique_ptr<TSKINTextArea>>& TextAreas() const { return textAreas_; }
  TKAVLevel& VUmeter(Meter which) { return *meters_[which]; }
  const TSkinListPlacement& ListPlacement() const { return list_; }
  const TSkinSearchPlacement& SearchPlacement() const { return search_; }
  const TSkinListsViewParams& ListsView() const { return listsView_; }
  // Runs after every skin load that reached the end of its description
  // (the host places the list view, search box and browser then).
  std::function<void()> OnSkinLoaded;

 private:
  void DestroyControls();
  void ReadButton(const TXmlParser& xml);
  void ReadSlider(const TXmlParser& xml);
  void ReadRoundSlider(const TXmlParser& xml);
  void ReadBeatDisplay(const TXmlParser& xml);
  void ReadTextArea(const TXmlParser& xml);
  void ReadListsView(const TXmlParser& xml);
  void ReadList(const TXmlParser& xml);
  void ReadSearch(const TXmlParser& xml);
  void ReadMeter(const TXmlParser& xml);
  int I(const TXmlParser& xml, const char* name) const;
  QPoint Origin(const TXmlParser& xml, const char* x, const char* y, QPoint fallback) const;
  template <class Control>
  void Place(Control& c, QRect r);

  QWidget* host_;
  TActionTables& actions_;
  QImage skinImage_;
  double skinScale_ = 1.0;
  int skinWidth_ = 800, skinHeight_ = 600;
  bool skinLoaded_ = false, skinChanging_ = false;
  std::vector<std::unique_ptr<TSKINButton>> buttons_;
  std::vector<std::unique_ptr<TSKINSlider>> sliders_;
  std::vector<std::unique_ptr<TSKINRoundSlider>> roundSliders_;
  std::vector<std::unique_ptr<TSKINBeatDisplay>> beatDisplays_;
  std::vector<std::unique_ptr<TSKINTextArea>> textAreas_;
  std::unique_ptr<TKAVLevel> meters_[4];
  TSkinListPlacement list_;
  TSkinSearchPlacement search_;
  TSkinListsViewParams listsView_;
};

}  // namespace zonda
