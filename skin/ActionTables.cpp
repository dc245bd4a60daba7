#include "skin/ActionTables.h"

#include <algorithm>
#include <set>
#include <type_traits>
#include <utility>

namespace zonda {
namespace {

// In the deck rows below, "#" stands for this deck's letter and "@" for the
// other deck's, in names, handler names and hints alike.
std::string ForDeck(std::string_view text, char deck) {
  std::string out(text);
  const char other = deck == 'A' ? 'B' : 'A';
  for (char& c : out) {
    if (c == '#') c = deck;
    else if (c == '@') c = other;
  }
  return out;
}

std::string Lower(std::string s) {
  for (char& c : s) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return s;
}

// Handlers of one button row; "" where the row calls nothing.
struct ButtonRow {
  const char* name;
  const char* hint;
  const char* leftDown;
  const char* rightDown;
  const char* leftUp;
  const char* rightUp;
  int tag;
  bool lit;
};

// "down both" and "down both, up both", the common shapes.
constexpr ButtonRow Down(const char* name, const char* hint, const char* handler, int tag = 0) {
  return {name, hint, handler, handler, "", "", tag, false};
}
constexpr ButtonRow DownUp(const char* name, const char* hint, const char* down, const char* up) {
  return {name, hint, down, down, up, up, 0, false};
}
// Left press does the row's job; right press leaves the loop.
constexpr ButtonRow LoopRow(const char* name, const char* hint, const char* left, int tag = 0) {
  return {name, hint, left, "ExitLOOP_#Click", "", "", tag, false};
}

constexpr ButtonRow kGlobalButtons[] = {
    Down("minimize", "Minimize", "Min_buttonClick"),
    Down("maximize", "Maximize", "Max_buttonClick"),
    Down("close", "Close", "ExitAppClick"),
    Down("insert", "Insert One Song", "InsertSong"),
    Down("insert_all", "Insert ALL Songs", "InsertAllSongs"),
    Down("list_new", "Create a New List", "NewList"),
    Down("list_delete", "Delete List", "DeleteList"),
    Down("list_edit", "Rename List", "EditList"),
    Down("list_export", "Export List", "ListExport"),
    Down("recording", "Start / Stop Recording", "recording1Click"),
    Down("add", "Add an MP3, OGG, WAV, CDA, WMA, AIF, AU or a M3U playlist to List", "LoadButtonClick"),
    Down("add_dir", "Add a Directory (Folder) to List", "AddDIR_to_plClick"),
    Down("remove", "Remove Song(s) from List", "RemoveButtonClick"),
    Down("clear", "Clear List", "ClearButtonClick"),
    Down("autodj_next", "Auto-Mix the Next Song", "play1Click"),
    Down("ss_preview", "Start / Stop the Preview Player", "StopPreviewClick"),
    Down("search_next", "Finds Next Match", "next_search_buttonUnClick"),
    Down("random", "Random Loading", ""),
    Down("autodj", "If Enabled, Zonda will Automatically Mix the\r\nCurrent List (using Beat-Matching where possible)",
         "auto_DJ_on_Click"),
    Down("drag_up", "Drag Song Up", "DragUpClick"),
    Down("drag_down", "Drag Song Down", "DragDownClick"),
    Down("autodj_more", "Change the Auto-DJ Mixing Time", "mix_time_moreClick"),
    Down("autodj_less", "Change the Auto-DJ Mixing Time", "mix_time_lessClick"),
    {"about", "Clich Here to View the About Box", "", "", "About1Click", "About1Click", 0, false},
    {"menu", "Zonda Configuration\r\nRight click to view About window", "", "", "Setup1Click", "About1Click", 0,
     false},
    DownUp("phones_split", "Split Signal in Headphones - Deck A on Left channel, Deck B on Right channel",
           "phones_split_click", "phones_split_unclick"),
    Down("talkover", "Lowers the Master signal", "SetTalkOver"),
    Down("onair", "Enables the Microphone", "SetOnAir"),
};

constexpr const char* kCueHintTail = "\r\nClick to select it as the current cue point\r\nRight click to erase it";

// Deck A rows (offset 0..53); deck B repeats them with its own handlers and,
// for the effect slots, tags 5 to 8.
constexpr ButtonRow kDeckButtons[] = {
    Down("sync", "Beat-Match Deck # with Deck @", "SyncBUTT_#Click"),
    DownUp("boost", "Boost Deck # Volume with 4 dB", "OpenLine#MouseDown", "OpenLine#MouseUp"),
    DownUp("mute", "Mute Deck #", "MuteLine#MouseDown", "MuteLine#MouseUp"),
    {"in_master", "If on, Deck # is Audible in the Master Output", "", "", "", "", 0, true},
    Down("edit_bpm", "Edit & Lock BPM", "EditBPM#"),
    Down("back_to_top", "Rewind (back to top)", "BackToTop#"),
    Down("scratch", "Set jog-wheel to scratch mode", "Deck#ScratchClick"),
    DownUp("prev", "Search in the track", "Deck#SearchPrevClick", "Deck#SearchPrevUnClick"),
    DownUp("next", "Search in the track", "Deck#SearchNextClick", "Deck#SearchNextUnClick"),
    DownUp("cue", "CUE or Set/Reset a CUE Point", "SetCUE_#Click", "SetCUE_#UnClick"),
    Down("play_pause", "Play / Pause Deck", "Play_but_#Click"),
    DownUp("bend_down", "Slow Down Deck", "bendDOWN_#Click", "bendDOWN_#UnClick"),
    DownUp("bend_up", "Speed Up Deck", "bendUP_#Click", "bendUP_#UnClick"),
    Down("reset_pitch", "One Click = Slow Pitch Reset; Another Click = Reset Pitch to 0%", "Reset_pitch_#Click"),
    Down("load", "Load the Next Song from the current list", "Load#"),
    LoopRow("loop_in_end", "Loop In/End", "Loop_In_End_#Click"),
    Down("loop_out", "Loop Out", "ExitLOOP_#Click"),
    LoopRow("loop_prev", "Change Loop's Start Point", "LOOP_PREV_#Click"),
    LoopRow("loop_next", "Change Loop's Start Point", "LOOP_NEXT_#Click"),
    LoopRow("loop_less", "Change Loop's Size", "LOOP_LESS_#Click"),
    LoopRow("loop_more", "Change Loop's Size", "LOOP_MORE_#Click"),
    // Loop lengths in half beats.
    LoopRow("loop_half", "Loop 1/2 beat", "loop1p2_#Click", 1),
    LoopRow("loop_1", "Loop 1 beat", "loop1p2_#Click", 2),
    LoopRow("loop_2", "Loop 2 beats", "loop1p2_#Click", 4),
    LoopRow("loop_4", "Loop 4 beats", "loop1p2_#Click", 8),
    LoopRow("loop_8", "Loop 8 beats", "loop1p2_#Click", 16),
    LoopRow("loop_16", "Loop 16 beats", "loop1p2_#Click", 32),
    Down("slow_bpm", "Detects BPM Less than 120\r\nUse it for slow, hip-hop, r&b, etc", "SlowBPM#"),
    Down("loop_song", "Loop Whole Song", "LoopSong#Click"),
    Down("reverse", "Play in Reverse", "ReversePlay#Click"),
    Down("brake", "Brake Deck", "Brake#Click"),
    Down("kill_low", "Kill Frequency (Cut)", "KILL_LOW_#Click"),
    Down("kill_mid", "Kill Frequency (Cut)", "KILL_MID_#Click"),
    Down("kill_high", "Kill Frequency (Cut)", "KILL_HIGH_#Click"),
    // cue1..cue8: hints are built below (slot number, AUTO-CUE for the eighth).
    {"cue1", "", "CUE_1_#Click", "CUE_1_#MouseDown", "", "", 1, false},
    {"cue2", "", "CUE_1_#Click", "CUE_1_#MouseDown", "", "", 2, false},
    {"cue3", "", "CUE_1_#Click", "CUE_1_#MouseDown", "", "", 3, false},
    {"cue4", "", "CUE_1_#Click", "CUE_1_#MouseDown", "", "", 4, false},
    {"cue5", "", "CUE_1_#Click", "CUE_1_#MouseDown", "", "", 5, false},
    {"cue6", "", "CUE_1_#Click", "CUE_1_#MouseDown", "", "", 6, false},
    {"cue7", "", "CUE_1_#Click", "CUE_1_#MouseDown", "", "", 7, false},
    {"cue8", "", "CUE_1_#Click", "CUE_1_#MouseDown", "", "", 8, false},
    // Effect slots 1 to 4 of the deck (tags shifted by 4 for deck B).
    Down("fx_edit1", "Edit Plugin's Parameters", "EditFX", 1),
    Down("fx_edit2", "Edit Plugin's Parameters", "EditFX", 2),
    Down("fx_edit3", "Edit Plugin's Parameters", "EditFX", 3),
    Down("fx_edit4", "Edit Plugin's Parameters", "EditFX", 4),
    Down("fx_load1", "Load a Plugin (Effect)", "LoadFX", 1),
    Down("fx_load2", "Load a Plugin (Effect)", "LoadFX", 2),
    Down("fx_load3", "Load a Plugin (Effect)", "LoadFX", 3),
    Down("fx_load4", "Load a Plugin (Effect)", "LoadFX", 4),
    Down("fx_on1", "Start / Stop Plugin", "OnFX", 1),
    Down("fx_on2", "Start / Stop Plugin", "OnFX", 2),
    Down("fx_on3", "Start / Stop Plugin", "OnFX", 3),
    Down("fx_on4", "Start / Stop Plugin", "OnFX", 4),
};
constexpr int kFirstDeckEffectButton = 42;  // offset of fx_edit1

struct SliderRow {
  const char* name;
  const char* hint;
  int minimum, maximum, initial, divisor;
  const char* onChange;
  const char* onTrack;
  const char* onRelease;
  int tag;  // deck B effect mixes add 4
  bool fine;
};

constexpr SliderRow kGlobalSliders[] = {
    {"preview", "Preview Position", 0, 100, 0, 1, "", "", "PREVIEW_POSTrack", 0, false},
    {"crossfader", "Crossfader", 0, 127, 63, 2, "CROSS_FADERChange", "CROSS_FADERTrack", "", 0, false},
    {"cue_pgm_mix", "Deck A - Deck B PFL mix", -100, 100, 0, 2, "CUEPGMmixChange", "CUEPGMmixChange", "", 0, false},
};

constexpr SliderRow kDeckSliders[] = {
    {"volume", "Deck # Volume", 0, 127, 127, 2, "Volume_#Change", "", "", 0, false},
    {"pitch", "Pitch", -9900, 9900, 0, 10, "Pitch_Mod_#Change", "pitch_#Track", "", 0, false},
    {"pos", "Song Position", 0, 10, 0, 1, "", "", "Position_#Track", 0, false},
    {"eq_low", "Eq Low", -12, 12, 0, 2, "sl0_#Change", "", "", 0, false},
    {"eq_mid", "Eq Mid", -12, 12, 0, 2, "sl1_#Change", "", "", 0, false},
    {"eq_high", "Eq High", -12, 12, 0, 2, "sl2_#Change", "", "", 0, false},
    {"cutoff_filter", "Cut-off Filter", -64, 63, 0, 2, "FILTER_#Change", "", "", 0, true},
    {"gain", "Gain", -12, 12, 0, 2, "Gain_#Change", "", "", 0, false},
    {"fx_mix1", "Dry-Wet Mix", 0, 100, 100, 4, "DryWetFxMixChange", "", "", 1, false},
    {"fx_mix2", "Dry-Wet Mix", 0, 100, 100, 4, "DryWetFxMixChange", "", "", 2, false},
    {"fx_mix3", "Dry-Wet Mix", 0, 100, 100, 4, "DryWetFxMixChange", "", "", 3, false},
    {"fx_mix4", "Dry-Wet Mix", 0, 100, 100, 4, "DryWetFxMixChange", "", "", 4, false},
    {"jw", "Jog-Wheel", 0, 95, 0, 4, "", "JogWheel#Track", "", 0, false},
};

struct TextRow {
  const char* name;
  const char* hint;
  const char* text;
  bool ellipsis;
  const char* handler;  // left and right down
  int tag;              // deck B effect names add 4
};

constexpr TextRow kGlobalReadouts[] = {
    {"time", "Time", "00:00:00", false, "", 0},
    {"auto_dj_time", "Mixing Time", "20.0", false, "", 0},
    {"record_time", "Recording Time", "00:00", false, "", 0},
};

constexpr TextRow kDeckReadouts[] = {
    {"bpm", "BPM (click to edit / lock)", "000.0", false, "EditBPM#", 0},
    {"pitch", "Pitch", "0.00", false, "", 0},
    {"elapsed", "Time Elapsed", "00:00.00", false, "", 0},
    {"remained", "Time Remained", "00:00.00", false, "", 0},
    {"songname", "Artist - Title", "DECK EMPTY", true, "", 0},
    {"cutoff", "Cut-off frequency", "FILTER OFF", false, "", 0},
    {"fx_name1", "Plugin Name (right click to load)", "EMPTY", true, "LoadFX", 1},
    {"fx_name2", "Plugin Name (right click to load)", "EMPTY", true, "LoadFX", 2},
    {"fx_name3", "Plugin Name (right click to load)", "EMPTY", true, "LoadFX", 3},
    {"fx_name4", "Plugin Name (right click to load)", "EMPTY", true, "LoadFX", 4},
    {"analogin", "", "", false, "", 0},
};

struct LabelRow {
  const char* name;
  const char* text;
};

constexpr LabelRow kGlobalLabels1[] = {
    {"sl_new", "NEW"},         {"sl_delete", "DELETE"},     {"sl_edit", "RENAME"},
    {"sl_export", "EXPORT"},   {"sl_add", "ADD"},           {"sl_adddir", "ADD DIR"},
    {"sl_remove", "REMOVE"},   {"sl_clear", "CLEAR"},       {"sl_ins", "MARK"},
    {"sl_insall", "ALL"},      {"sl_autodj_next", "AUTO-DJ NEXT"}, {"sl_autodj", "AUTO-DJ"},
    {"sl_random", "RANDOM"},   {"sl_preview", "PREVIEW"},   {"sl_next", "NEXT"},
    {"sl_cfg", "CFG"},         {"sl_about", "ABOUT"},       {"sl_onair", "ONAIR"},
    {"sl_talkover", "TALK"},   {"sl_split", "PFL MIX"},     {"sl_split2", "SPLIT"},
    {"sl_rec", "REC"},
};

constexpr LabelRow kDeckLabels1[] = {
    {"sl_pitch", "PITCH"},         {"sl_bpm", "BPM"},           {"sl_elapsed", "ELAPSED"},
    {"sl_remained", "LEFT"},       {"sl_smallbpm", "<120 BPM"}, {"sl_loopsong", "LOOP SONG"},
    {"sl_reverse", "REVERSE"},     {"sl_brake", "BRAKE"},       {"sl_cuepoints", "CUE-POINTS"},
};

constexpr LabelRow kGlobalLabels2[] = {
    {"sl_drag_up", "DRAG UP"},
    {"sl_drag_down", "DRAG DOWN"},
    {"sl_preview_pos", "POSITION"},
    {"sl_search", "SEARCH"},
};

constexpr LabelRow kDeckLabels2[] = {
    {"sl_loadnext", "LOAD"},    {"sl_prev", "PREV"},         {"sl_next", "NEXT"},
    {"sl_kill_low", "KILL"},    {"sl_kill_mid", "KILL"},     {"sl_kill_high", "KILL"},
    {"sl_eq_low", "LOW"},       {"sl_eq_mid", "MID"},        {"sl_eq_high", "HIGH"},
    {"sl_gain", "GAIN"},        {"sl_mute", "MUTE"},         {"sl_boost", "BOOST"},
    {"sl_cue", "CUE"},          {"sl_playpause", "PLAY-PAUSE"}, {"sl_bend", "BEND"},
    {"sl_reset_pitch", "RESET"}, {"sl_backtotop", "TOP"},    {"sl_loopinend", "LOOP IN/END"},
    {"sl_loopout", "LOOP OUT"}, {"sl_sync", "SYNC"},         {"sl_scratch", "SCRATCH"},
    {"sl_fx_edit1", "EDIT"},    {"sl_fx_edit2", "EDIT"},     {"sl_fx_edit3", "EDIT"},
    {"sl_fx_edit4", "EDIT"},    {"sl_fx_on1", "ON"},         {"sl_fx_on2", "ON"},
    {"sl_fx_on3", "ON"},        {"sl_fx_on4", "ON"},         {"sl_fx_load1", "LOAD"},
    {"sl_fx_load2", "LOAD"},    {"sl_fx_load3", "LOAD"},     {"sl_fx_load4", "LOAD"},
    {"sl_fx_mix1", "DRY-WET"},  {"sl_fx_mix2", "DRY-WET"},   {"sl_fx_mix3", "DRY-WET"},
    {"sl_fx_mix4", "DRY-WET"},
};

template <class Action>
int FindByName(const std::vector<Action>& actions, std::string_view name) {
  for (const Action& a : actions) {
    if (a.Name() == name) return a.Index();
  }
  return -1;
}

}  // namespace

TActionTables::TActionTables() {
  BuildButtons();
  BuildSliders();
  BuildBeatDisplays();
  BuildTexts();
}

void TActionTables::BuildButtons() {
  buttons_.reserve(kButtonCount);
  auto add = [this](const ButtonRow& row, std::string name, std::string hint, char deck, int tag) {
    TButtonAction& a = buttons_.emplace_back(static_cast<int>(buttons_.size()), std::move(name), std::move(hint), &words_);
    a.Handlers.OnLeftDown = TActionSlot(ForDeck(row.leftDown, deck));
    a.Handlers.OnRightDown = TActionSlot(ForDeck(row.rightDown, deck));
    a.Handlers.OnLeftUp = TActionSlot(ForDeck(row.leftUp, deck));
    a.Handlers.OnRightUp = TActionSlot(ForDeck(row.rightUp, deck));
    a.SetTag(tag);
    a.SetLit(row.lit);
  };
  for (const ButtonRow& row : kGlobalButtons) add(row, row.name, row.hint, 'A', row.tag);
  for (const char deck : {'A', 'B'}) {
    const std::string prefix = Lower(std::string("deck") + deck) + "_";
    for (int offset = 0; offset < static_cast<int>(std::size(kDeckButtons)); ++offset) {
      const ButtonRow& row = kDeckButtons[offset];
      std::string hint = ForDeck(row.hint, deck);
      if (offset >= 34 && offset <= 40) hint = "CUE Point " + std::to_string(offset - 33) + kCueHintTail;
      if (offset == 41) hint = std::string("AUTO-CUE Point") + kCueHintTail;
      const int tag = (deck == 'B' && offset >= kFirstDeckEffectButton) ? row.tag + 4 : row.tag;
      add(row, prefix + row.name, std::move(hint), deck, tag);
    }
  }
}

void TActionTables::BuildSliders() {
  sliders_.reserve(kSliderCount);
  auto add = [this](const SliderRow& row, std::string name, char deck, int tag) {
    TSliderAction& a = sliders_.emplace_back(static_cast<int>(sliders_.size()), std::move(name),
                                             ForDeck(row.hint, deck), row.minimum, row.maximum, row.initial,
                                             row.divisor, &words_);
    a.Handlers.OnChange = TActionSlot(ForDeck(row.onChange, deck));
    a.Handlers.OnTrack = TActionSlot(ForDeck(row.onTrack, deck));
    a.Handlers.OnRelease = TActionSlot(ForDeck(row.onRelease, deck));
    a.SetTag(tag);
    a.SetFineDrag(row.fine);
  };
  for (const SliderRow& row : kGlobalSliders) add(row, row.name, 'A', row.tag);
  for (const char deck : {'A', 'B'}) {
    const std::string prefix = Lower(std::string("deck") + deck) + "_";
    for (const SliderRow& row : kDeckSliders) {
      add(row, prefix + row.name, deck, (deck == 'B' && row.tag > 0) ? row.tag + 4 : row.tag);
    }
  }
}

void TActionTables::BuildBeatDisplays() {
  beatDisplays_.reserve(kBeatDisplayCount);
  for (const char deck : {'A', 'B'}) {
    TBeatDisplayAction& a = beatDisplays_.emplace_back(static_cast<int>(beatDisplays_.size()),
                                                       Lower(std::string("deck") + deck),
                                                       "Active Beat Display\r\n\r\nUse the mouse to SCRATCH and MUTE");
    a.Handlers.OnLeftDown = TActionSlot(ForDeck("KAVdisp#LeftClick", deck));
    a.Handlers.OnLeftUp = TActionSlot(ForDeck("KAVdisp#LeftUnClick", deck));
    a.Handlers.OnRightDown = TActionSlot(ForDeck("KAVdisp#RightClick", deck));
    a.Handlers.OnRightUp = TActionSlot(ForDeck("KAVdisp#RightUnClick", deck));
    a.Handlers.OnDrop = TPointSlot(ForDeck("DroppedOn#", deck));
    a.Handlers.OnDrag = TPointSlot(ForDeck("KAVdisp#MOVE", deck));
  }
}

void TActionTables::BuildTexts() {
  texts_.reserve(kTextCount);
  auto add = [this](std::string name, std::string hint, std::string text, bool ellipsis, std::string handler,
                    int tag) {
    TTextAction& a = texts_.emplace_back(static_cast<int>(texts_.size()), std::move(name), std::move(hint),
                                         std::move(text), ellipsis);
    a.Handlers.OnLeftDown = TActionSlot(handler);
    a.Handlers.OnRightDown = TActionSlot(handler);
    a.Handlers.OnLeftUp = TActionSlot("");
    a.Handlers.OnRightUp = TActionSlot("");
    a.SetTag(tag);
  };
  for (const TextRow& row : kGlobalReadouts) add(row.name, row.hint, row.text, row.ellipsis, row.handler, row.tag);
  for (const char deck : {'A', 'B'}) {
    const std::string prefix = Lower(std::string("deck") + deck) + "_";
    for (const TextRow& row : kDeckReadouts) {
      add(prefix + row.name, row.hint, row.text, row.ellipsis, ForDeck(row.handler, deck),
          (deck == 'B' && row.tag > 0) ? row.tag + 4 : row.tag);
    }
  }
  auto labels = [&add](const auto& rows, const char* suffix) {
    for (const LabelRow& row : rows) add(std::string(row.name) + suffix, "", row.text, false, "", 0);
  };
  labels(kGlobalLabels1, "");
  labels(kDeckLabels1, "_a");
  labels(kDeckLabels1, "_b");
  labels(kGlobalLabels2, "");
  labels(kDeckLabels2, "_a");
  labels(kDeckLabels2, "_b");
}

int TActionTables::FindButtonAction(std::string_view name) const { return FindByName(buttons_, name); }
int TActionTables::FindSliderAction(std::string_view name) const { return FindByName(sliders_, name); }
int TActionTables::FindBeatDisplayAction(std::string_view name) const { return FindByName(beatDisplays_, name); }
int TActionTables::FindTextAction(std::string_view name) const { return FindByName(texts_, name); }

// Calls f on every slot of every action (both slot types).
template <class F>
void TActionTables::ForEachSlot(F&& f) {
  for (TButtonAction& a : buttons_) {
    for (TActionSlot* s : {&a.Handlers.OnLeftDown, &a.Handlers.OnLeftUp, &a.Handlers.OnRightDown,
                           &a.Handlers.OnRightUp}) {
      f(*s);
    }
  }
  for (TSliderAction& a : sliders_) {
    for (TActionSlot* s : {&a.Handlers.OnChange, &a.Handlers.OnTrack, &a.Handlers.OnRelease}) f(*s);
  }
  for (TBeatDisplayAction& a : beatDisplays_) {
    for (TActionSlot* s : {&a.Handlers.OnLeftDown, &a.Handlers.OnLeftUp, &a.Handlers.OnRightDown,
                           &a.Handlers.OnRightUp}) {
      f(*s);
    }
    f(a.Handlers.OnDrop);
    f(a.Handlers.OnDrag);
  }
  for (TTextAction& a : texts_) {
    for (TActionSlot* s : {&a.Handlers.OnLeftDown, &a.Handlers.OnLeftUp, &a.Handlers.OnRightDown,
                           &a.Handlers.OnRightUp}) {
      f(*s);
    }
  }
}

template <class F>
void TActionTables::ForEachSlot(F&& f) const {
  const_cast<TActionTables*>(this)->ForEachSlot([&f](const auto& slot) { f(slot); });
}

int TActionTables::FillHandler(std::string_view handlerName, const TActionSlot::Function& fn) {
  int filled = 0;
  ForEachSlot([&](auto& slot) {
    if constexpr (std::is_same_v<std::decay_t<decltype(slot)>, TActionSlot>) {
      if (slot.Wanted() && slot.HandlerName() == handlerName) {
        slot.Fill(fn);
        ++filled;
      }
    }
  });
  return filled;
}

int TActionTables::FillHandler(std::string_view handlerName, const TPointSlot::Function& fn) {
  int filled = 0;
  ForEachSlot([&](auto& slot) {
    if constexpr (std::is_same_v<std::decay_t<decltype(slot)>, TPointSlot>) {
      if (slot.Wanted() && slot.HandlerName() == handlerName) {
        slot.Fill(fn);
        ++filled;
      }
    }
  });
  return filled;
}

std::vector<std::string> TActionTables::EmptyHandlerSlots() const {
  std::set<std::string> names;
  ForEachSlot([&](const auto& slot) {
    if (slot.Wanted() && slot.IsEmpty()) names.insert(slot.HandlerName());
  });
  return {names.begin(), names.end()};
}

void TActionTables::SetHintWords(std::string shortcuts, std::string none) {
  words_.Shortcuts = std::move(shortcuts);
  words_.None = std::move(none);
}

void TActionTables::ClearHints() {
  for (TButtonAction& a : buttons_) a.SetHintText("");
  for (TSliderAction& a : sliders_) a.SetHintText("");
  for (TBeatDisplayAction& a : beatDisplays_) a.SetHintText("");
  for (TTextAction& a : texts_) a.SetHintText("");
}

void TActionTables::RebuildHints() {
  for (TButtonAction& a : buttons_) a.RebuildHint();
  for (TSliderAction& a : sliders_) a.RebuildHint();
}

void TActionTables::UnbindAll() {
  for (TTextAction& a : texts_) a.Unbind();
  for (TBeatDisplayAction& a : beatDisplays_) a.Unbind();
  for (TSliderAction& a : sliders_) a.Unbind();
  for (TButtonAction& a : buttons_) a.Unbind();
}

}  // namespace zonda
