#include "tools/skingen/SkinLayout.h"

#include <string>

namespace zonda::skingen {

namespace {

const QString kMono = "DejaVu Sans Mono";
const QString kSans = "DejaVu Sans";
const QString kCond = "DejaVu Sans Condensed";

QRect D(int x, int y, int w, int h) { return QRect(x, y, w, h); }

// A pad with its label (a static-label text area) on the strip above it.
void LabelledPad(SkinSheet& s, const std::string& label, const QString& text, const std::string& action, QRect pad,
                 bool isSwitch, Glyph glyph = Glyph::None, QColor led = {}, const QString& face = {}) {
  s.Label(label, text, D(pad.x() - 3, pad.y() - 11, pad.width() + 6, 10));
  s.Pad(action, pad, face, isSwitch, glyph, led);
}

void Deck(SkinSheet& s, int ox, int oy, char deck) {
  const std::string d = std::string("deck") + deck + "_";
  const std::string sfx = std::string("_") + deck;
  const Theme& t = s.Th();
  const QColor red(255, 70, 60);
  s.Panel(D(ox, oy, 386, 492), deck == 'a' ? "DECK A" : "DECK B", true);

  // Song name, beat display, position.
  s.Lcd(D(ox + 62, oy + 5, 318, 18));
  s.Text(d + "songname", D(ox + 66, oy + 7, 310, 15), kSans, 9, true, "left", t.lcdText);
  s.BeatDisplay(deck == 'a' ? "decka" : "deckb", D(ox + 6, oy + 28, 374, 62), deck == 'a' ? t.accent : t.deckB);
  s.Fader(d + "pos", D(ox + 6, oy + 94, 374, 12), 10, true);

  // Read-outs.
  struct Readout {
    int x, w;
    const char* label;
    const char* text;
    const char* action;
    int points;
  };
  for (const Readout& r : {Readout{6, 92, "sl_bpm", "BPM", "bpm", 13}, Readout{102, 86, "sl_pitch", "PITCH", "pitch", 11},
                           Readout{192, 92, "sl_elapsed", "ELAPSED", "elapsed", 11},
                           Readout{288, 92, "sl_remained", "LEFT", "remained", 11}}) {
    s.Lcd(D(ox + r.x, oy + 112, r.w, 38));
    s.Label(r.label + sfx, r.text, D(ox + r.x + 2, oy + 114, r.w - 4, 10));
    s.Text(d + r.action, D(ox + r.x + 2, oy + 124, r.w - 4, 24), kMono, r.points, true, "center", t.lcdText);
  }

  // Jog wheel, transport grid, pitch fader.
  s.Jog(d + "jw", D(ox + 6, oy + 158, 148, 148));
  const int gx = ox + 164;
  auto cell = [&](int col, int row) { return D(gx + col * 56, oy + 170 + row * 28, 50, 15); };
  LabelledPad(s, "sl_loadnext" + sfx, "LOAD", d + "load", cell(0, 0), false, Glyph::Eject);
  LabelledPad(s, "sl_backtotop" + sfx, "TOP", d + "back_to_top", cell(1, 0), false, Glyph::Top);
  LabelledPad(s, "sl_sync" + sfx, "SYNC", d + "sync", cell(2, 0), false, Glyph::None, {}, "SYNC");
  LabelledPad(s, "sl_prev" + sfx, "PREV", d + "prev", cell(0, 1), false, Glyph::Prev);
  LabelledPad(s, "sl_next" + sfx, "NEXT", d + "next", cell(1, 1), false, Glyph::Next);
  LabelledPad(s, "sl_scratch" + sfx, "SCRATCH", d + "scratch", cell(2, 1), true);
  LabelledPad(s, "sl_reverse" + sfx, "REVERSE", d + "reverse", cell(0, 2), true);
  LabelledPad(s, "sl_brake" + sfx, "BRAKE", d + "brake", cell(1, 2), true);
  LabelledPad(s, "sl_loopsong" + sfx, "LOOP SONG", d + "loop_song", cell(2, 2), true);
  s.Engrave(D(gx - 2, oy + 243, 54, 10), "BPM", 8, t.textDim);
  s.Pad(d + "edit_bpm", cell(0, 3), "EDIT", true);
  LabelledPad(s, "sl_smallbpm" + sfx, "<120 BPM", d + "slow_bpm", cell(1, 3), true);
  s.Label("sl_bend" + sfx, "BEND", D(gx + 110, oy + 243, 54, 10));
  s.Pad(d + "bend_down", D(gx + 112, oy + 254, 23, 15), {}, false, Glyph::Minus);
  s.Pad(d + "bend_up", D(gx + 139, oy + 254, 23, 15), {}, false, Glyph::Plus);
  LabelledPad(s, "sl_reset_pitch" + sfx, "RESET", d + "reset_pitch", D(gx + 112, oy + 289, 50, 15), false,
              Glyph::None, {}, "0%");
  s.Fader(d + "pitch", D(ox + 340, oy + 158, 40, 148), 18, false, QColor(255, 176, 32));

  // Cue and play, hot cues.
  LabelledPad(s, "sl_cue" + sfx, "CUE", d + "cue", D(ox + 6, oy + 324, 64, 28), false, Glyph::None, {}, "CUE");
  LabelledPad(s, "sl_playpause" + sfx, "PLAY-PAUSE", d + "play_pause", D(ox + 76, oy + 324, 64, 28), true,
              Glyph::Play, QColor(80, 230, 110));
  s.Label("sl_cuepoints" + sfx, "CUE-POINTS", D(ox + 148, oy + 312, 232, 10));
  for (int k = 0; k < 8; ++k)
    s.Pad(d + "cue" + std::to_string(k + 1), D(ox + 148 + k * 29, oy + 324, 26, 28),
          k == 7 ? QString("A") : QString::number(k + 1), false);

  // Loops.
  LabelledPad(s, "sl_loopinend" + sfx, "LOOP IN/END", d + "loop_in_end", D(ox + 6, oy + 371, 64, 18), false,
              Glyph::None, {}, "IN / END");
  LabelledPad(s, "sl_loopout" + sfx, "LOOP OUT", d + "loop_out", D(ox + 76, oy + 371, 64, 18), false, Glyph::None,
              {}, "OUT");
  s.Engrave(D(ox + 146, oy + 360, 48, 10), "MOVE", 8, t.textDim);
  s.Pad(d + "loop_prev", D(ox + 148, oy + 371, 21, 18), {}, false, Glyph::Left);
  s.Pad(d + "loop_next", D(ox + 172, oy + 371, 21, 18), {}, false, Glyph::Right);
  s.Engrave(D(ox + 194, oy + 360, 48, 10), "SIZE", 8, t.textDim);
  s.Pad(d + "loop_less", D(ox + 197, oy + 371, 21, 18), {}, false, Glyph::Minus);
  s.Pad(d + "loop_more", D(ox + 221, oy + 371, 21, 18), {}, false, Glyph::Plus);
  s.Engrave(D(ox + 248, oy + 360, 132, 10), "BEATS", 8, t.textDim);
  const char* beats[] = {"half", "1", "2", "4", "8", "16"};
  const char* faces[] = {"\u00BD", "1", "2", "4", "8", "16"};
  for (int k = 0; k < 6; ++k)
    s.Pad(d + "loop_" + beats[k], D(ox + 248 + k * 22, oy + 371, 20, 18), QString::fromUtf8(faces[k]), false);

  // Effect slots, two by two.
  for (int k = 0; k < 4; ++k) {
    const int sx = ox + 6 + (k % 2) * 189, sy = oy + 400 + (k / 2) * 46;
    const std::string n = std::to_string(k + 1);
    s.Lcd(D(sx, sy, 146, 16));
    s.Text(d + "fx_name" + n, D(sx + 3, sy + 1, 140, 14), kCond, 8, true, "left", t.lcdText);
    LabelledPad(s, "sl_fx_load" + n + sfx, "LOAD", d + "fx_load" + n, D(sx, sy + 29, 44, 14), false, Glyph::Eject);
    LabelledPad(s, "sl_fx_on" + n + sfx, "ON", d + "fx_on" + n, D(sx + 51, sy + 29, 44, 14), true);
    LabelledPad(s, "sl_fx_edit" + n + sfx, "EDIT", d + "fx_edit" + n, D(sx + 102, sy + 29, 44, 14), false,
                Glyph::None, {}, "\u2026");
    s.Knob(d + "fx_mix" + n, D(sx + 153, sy, 28, 28), false, "fx");
    s.Label("sl_fx_mix" + n + sfx, "DRY-WET", D(sx + 146, sy + 31, 42, 10));
  }
  (void)red;
}

void ChannelStrip(SkinSheet& s, int sx, char deck) {
  const std::string d = std::string("deck") + deck + "_";
  const std::string sfx = std::string("_") + deck;
  const Theme& t = s.Th();
  const QColor red(255, 70, 60);
  s.Label("sl_gain" + sfx, "GAIN", D(sx, 52, 42, 10));
  s.Knob(d + "gain", D(sx + 6, 62, 30, 30), true, "big");
  s.Engrave(D(sx + 48, 52, 44, 10), "FILTER", 8, t.textDim);
  s.Knob(d + "cutoff_filter", D(sx + 55, 62, 30, 30), true, "big");
  s.Lcd(D(sx, 96, 92, 16));
  s.Text(d + "cutoff", D(sx + 2, 97, 88, 14), kCond, 7, true, "center", t.lcdText);
  struct Band {
    const char* name;
    const char* label;
    int y;
  };
  for (const Band& b : {Band{"high", "HIGH", 118}, Band{"mid", "MID", 154}, Band{"low", "LOW", 190}}) {
    s.Label(std::string("sl_eq_") + b.name + sfx, b.label, D(sx, b.y, 42, 10));
    s.Knob(d + "eq_" + b.name, D(sx + 8, b.y + 10, 26, 26), true, "eq");
    LabelledPad(s, std::string("sl_kill_") + b.name + sfx, "KILL", d + "kill_" + b.name, D(sx + 48, b.y + 17, 44, 16),
                true, Glyph::None, red);
  }
  s.Fader(d + "volume", D(sx + 2, 238, 38, 148), 20, false);
  s.Meter(deck == 'a' ? "decka" : "deckb", D(sx + 46, 240, 8, 144));
  LabelledPad(s, "sl_boost" + sfx, "BOOST", d + "boost", D(sx + 60, 252, 32, 16), false);
  LabelledPad(s, "sl_mute" + sfx, "MUTE", d + "mute", D(sx + 60, 286, 32, 16), false);
  s.Engrave(D(sx + 58, 310, 36, 10), "MASTER", 7, t.textDim);
  s.Lamp(d + "in_master", D(sx + 66, 322, 20, 20));
}

void Mixer(SkinSheet& s) {
  const Theme& t = s.Th();
  s.Panel(D(398, 34, 228, 492), "MIXER");
  ChannelStrip(s, 404, 'a');
  ChannelStrip(s, 530, 'b');
  s.Engrave(D(498, 226, 30, 10), "MST", 7, t.textDim);
  s.Meter("masterl", D(502, 240, 8, 144));
  s.Meter("masterr", D(514, 240, 8, 144));
  s.Engrave(D(498, 386, 16, 10), "L", 7, t.textDim);
  s.Engrave(D(510, 386, 16, 10), "R", 7, t.textDim);

  // Headphones and microphone.
  s.Label("sl_split", "PFL MIX", D(404, 400, 56, 10));
  s.Knob("cue_pgm_mix", D(416, 410, 30, 30), true, "big");
  LabelledPad(s, "sl_split2", "SPLIT", "phones_split", D(466, 418, 46, 18), false);
  LabelledPad(s, "sl_talkover", "TALK", "talkover", D(518, 418, 46, 18), true);
  LabelledPad(s, "sl_onair", "ONAIR", "onair", D(570, 418, 46, 18), true, Glyph::None, QColor(255, 70, 60));

  // Crossfader.
  s.Engrave(D(404, 452, 14, 26), "A", 10, t.accent);
  s.Engrave(D(606, 452, 14, 26), "B", 10, t.deckB);
  s.Fader("crossfader", D(420, 450, 184, 30), 18, false);
  s.Engrave(D(404, 488, 216, 30), t.skinName, 9, t.panelEdge.lighter(150));
}

void Library(SkinSheet& s) {
  const Theme& t = s.Th();
  s.Panel(D(6, 532, 1012, 232));
  s.ListsView(D(12, 540, 180, 218));
  s.Label("sl_search", "SEARCH", D(198, 538, 190, 10), "left");
  s.Search(D(198, 549, 190, 16));
  LabelledPad(s, "sl_next", "NEXT", "search_next", D(392, 549, 40, 16), false, Glyph::Next);
  struct Item {
    const char* label;
    const char* text;
    const char* action;
    Glyph glyph;
  };
  int x = 442;
  for (const Item& i : {Item{"sl_new", "NEW", "list_new", Glyph::Plus}, Item{"sl_delete", "DELETE", "list_delete", Glyph::Close},
                        Item{"sl_edit", "RENAME", "list_edit", Glyph::None}, Item{"sl_export", "EXPORT", "list_export", Glyph::Right},
                        Item{"sl_add", "ADD", "add", Glyph::Plus}, Item{"sl_adddir", "ADD DIR", "add_dir", Glyph::Plus},
                        Item{"sl_remove", "REMOVE", "remove", Glyph::Minus}, Item{"sl_clear", "CLEAR", "clear", Glyph::Close}}) {
    LabelledPad(s, i.label, i.text, i.action, D(x, 549, 44, 16), false, i.glyph, {},
                i.glyph == Glyph::None ? QString("Aa") : QString());
    x += 50;
    if (x == 642) x += 6;  // gap between list and song commands
  }
  s.List(D(198, 572, 646, 186));

  // Marks and order, Auto-DJ, preview, recording.
  LabelledPad(s, "sl_ins", "MARK", "insert", D(849, 549, 29, 16), false, Glyph::Plus);
  LabelledPad(s, "sl_insall", "ALL", "insert_all", D(884, 549, 26, 16), false, Glyph::None, {}, "ALL");
  LabelledPad(s, "sl_drag_up", "DRAG UP", "drag_up", D(916, 549, 42, 16), false, Glyph::Up);
  LabelledPad(s, "sl_drag_down", "DRAG DOWN", "drag_down", D(964, 549, 48, 16), false, Glyph::Down);

  LabelledPad(s, "sl_autodj", "AUTO-DJ", "autodj", D(852, 588, 44, 18), true);
  LabelledPad(s, "sl_autodj_next", "AUTO-DJ NEXT", "autodj_next", D(902, 588, 60, 18), false, Glyph::Next);
  LabelledPad(s, "sl_random", "RANDOM", "random", D(968, 588, 44, 18), true);
  s.Engrave(D(852, 612, 160, 10), "MIX TIME (s)", 8, t.textDim, Qt::AlignLeft | Qt::AlignVCenter);
  s.Pad("autodj_less", D(852, 625, 24, 20), {}, false, Glyph::Minus);
  s.Lcd(D(880, 624, 100, 22));
  s.Text("auto_dj_time", D(882, 625, 96, 20), kMono, 10, true, "center", t.lcdText);
  s.Pad("autodj_more", D(984, 625, 28, 20), {}, false, Glyph::Plus);

  LabelledPad(s, "sl_preview", "PREVIEW", "ss_preview", D(852, 670, 56, 18), true, Glyph::Play);
  s.Label("sl_preview_pos", "POSITION", D(912, 659, 100, 10));
  s.Fader("preview", D(914, 672, 98, 14), 8, true);

  LabelledPad(s, "sl_rec", "REC", "recording", D(852, 712, 56, 22), true, Glyph::None, QColor(255, 60, 50),
              QString::fromUtf8("\u25CF"));
  s.Lcd(D(914, 710, 98, 26));
  s.Text("record_time", D(916, 711, 94, 24), kMono, 11, true, "center", t.lcdText);
  s.Engrave(D(852, 740, 160, 16), "ZONDA \u00B7 2-DECK MIXING", 8, t.panelEdge.lighter(150));
}

void TopBar(SkinSheet& s) {
  const Theme& t = s.Th();
  s.Panel(D(6, 3, 1012, 27));
  s.Engrave(D(16, 4, 90, 24), "ZONDA", 17, t.accent, Qt::AlignLeft | Qt::AlignVCenter);
  s.Engrave(D(98, 4, 200, 24), t.skinName, 9, t.textDim, Qt::AlignLeft | Qt::AlignVCenter, false);
  s.Lcd(D(452, 6, 120, 21));
  s.Text("time", D(454, 7, 116, 19), kMono, 11, true, "center", t.lcdText);
  s.Label("sl_cfg", "CFG", D(770, 11, 30, 10), "right");
  s.Pad("menu", D(804, 8, 40, 17), QString::fromUtf8("\u2261"), false);
  s.Label("sl_about", "ABOUT", D(850, 11, 40, 10), "right");
  s.Pad("about", D(894, 8, 30, 17), "?", false);
  s.Pad("minimize", D(944, 8, 22, 17), {}, false, Glyph::Minimize);
  s.Pad("maximize", D(968, 8, 22, 17), {}, false, Glyph::Maximize);
  s.Pad("close", D(992, 8, 22, 17), {}, false, Glyph::Close);
}

}  // namespace

void LayoutDefaultSkin(SkinSheet& s) {
  TopBar(s);
  Deck(s, 6, 34, 'a');
  Mixer(s);
  Deck(s, 632, 34, 'b');
  Library(s);
}

Theme Zc2000Blue() {
  Theme t;
  t.skinName = "ZC2000 BLUE";
  t.window = QColor(0x0a, 0x0e, 0x13);
  t.panel = QColor(0x15, 0x1b, 0x23);
  t.panelEdge = QColor(0x2a, 0x34, 0x41);
  t.face = QColor(0x24, 0x2d, 0x39);
  t.faceEdge = QColor(0x3b, 0x47, 0x57);
  t.text = QColor(0xc8, 0xd3, 0xdf);
  t.textDim = QColor(0x84, 0x95, 0xaa);
  t.accent = QColor(0x3a, 0xa0, 0xff);
  t.accentDeep = QColor(0x14, 0x3e, 0x69);
  t.lcdBack = QColor(0x07, 0x11, 0x1b);
  t.lcdText = QColor(0x95, 0xd6, 0xff);
  t.deckB = QColor(0xff, 0xa8, 0x3a);
  return t;
}

Theme OrvelGreen() {
  Theme t;
  t.skinName = "Orvel green";
  t.window = QColor(0x0a, 0x0f, 0x0b);
  t.panel = QColor(0x14, 0x1c, 0x16);
  t.panelEdge = QColor(0x29, 0x3a, 0x2d);
  t.face = QColor(0x22, 0x2e, 0x25);
  t.faceEdge = QColor(0x3a, 0x4e, 0x3f);
  t.text = QColor(0xc9, 0xdb, 0xcd);
  t.textDim = QColor(0x83, 0x9f, 0x89);
  t.accent = QColor(0x46, 0xd3, 0x6b);
  t.accentDeep = QColor(0x16, 0x4f, 0x29);
  t.lcdBack = QColor(0x07, 0x13, 0x0a);
  t.lcdText = QColor(0x9c, 0xf5, 0xb2);
  t.deckB = QColor(0xd9, 0xe6, 0x5a);
  return t;
}

}  // namespace zonda::skingen
