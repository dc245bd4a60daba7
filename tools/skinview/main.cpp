// zonda-skinview SKIN_BASE_PATH [--screenshot out.png] [--demo] [--set action=value ...]
//
// Loads a skin into a skin window (the main window without its program) with the action tables bound and no engine,
// optionally sets action states and values, and shows the window or saves a
// screenshot (works with QT_QPA_PLATFORM=offscreen).
//
// --set NAME=VALUE, where NAME may carry a kind prefix:
//   button:NAME=on|off|lit|unlit   switch state or lamp
//   slider:NAME=INTEGER            value (clamped by the control)
//   text:NAME=TEXT                 read-out text
//   meter:decka|deckb|masterl|masterr=DB   level in dB
// Without a prefix the button, slider and text tables are tried in that order
// (a button takes on/off/lit/unlit, a slider an integer).
// --demo fills read-outs, displays and meters with sample content.
#include <QApplication>
#include <QMessageBox>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "skin/ActionTables.h"
#include "skin/ui/TSkinWindow.h"

namespace {

using zonda::TActionTables;
using zonda::TSkinLoader;

bool IsInteger(const std::string& s) {
  if (s.empty()) return false;
  size_t i = (s[0] == '-' || s[0] == '+') ? 1 : 0;
  if (i == s.size()) return false;
  for (; i < s.size(); ++i)
    if (s[i] < '0' || s[i] > '9') return false;
  return true;
}

bool SetMeter(TSkinLoader& skins, const std::string& name, const std::string& value) {
  static const char* names[] = {"decka", "deckb", "masterl", "masterr"};
  for (int i = 0; i < 4; ++i) {
    if (name != names[i]) continue;
    const double db = std::atof(value.c_str());
    // Enough ticks for the bar to settle where it is asked to be.
    for (int t = 0; t < 30; ++t) skins.VUmeter(TSkinLoader::Meter(i)).SetValueDB(db);
    return true;
  }
  return false;
}

bool Apply(TActionTables& actions, TSkinLoader& skins, const std::string& assignment) {
  const size_t eq = assignment.find('=');
  if (eq == std::string::npos) return false;
  std::string name = assignment.substr(0, eq), value = assignment.substr(eq + 1), kind;
  const size_t colon = name.find(':');
  if (colon != std::string::npos) {
    kind = name.substr(0, colon);
    name = name.substr(colon + 1);
  }
  if (kind == "meter") return SetMeter(skins, name, value);
  const bool switchWord = value == "on" || value == "off" || value == "lit" || value == "unlit";
  if ((kind.empty() && switchWord) || kind == "button") {
    const int b = actions.FindButtonAction(name);
    if (b >= 0) {
      if (value == "on" || value == "off") actions.Button(b).SetSelected(value == "on");
      if (value == "lit" || value == "unlit") actions.Button(b).SetLit(value == "lit");
      return true;
    }
    if (kind == "button") return false;
  }
  if ((kind.empty() && IsInteger(value)) || kind == "slider") {
    const int s = actions.FindSliderAction(name);
    if (s >= 0 && IsInteger(value)) {
      actions.Slider(s).SetValue(std::atoi(value.c_str()));
      return true;
    }
    if (kind == "slider") return false;
  }
  if (kind.empty() || kind == "text") {
    const int t = actions.FindTextAction(name);
    if (t >= 0) {
      actions.Text(t).SetText(value);
      return true;
    }
  }
  return false;
}

// Sample display data: beats every 44 points with their envelope, a loop and a cue.
void Demo(TActionTables& actions, TSkinLoader& skins) {
  for (int d = 0; d < 2; ++d) {
    std::vector<int16_t> beats(1200, 0), wave(1200, 0);
    const int period = 44 + d * 3;
    for (int i = 0; i < 1200; ++i) {
      const int phase = (i + d * 11) % period;
      beats[i] = int16_t(std::max(0.0, 52.0 * std::exp(-phase / 9.0) + 6.0 * std::sin(i * 0.37 + d)));
      const double env = 0.35 + 0.45 * std::exp(-phase / 14.0) + 0.15 * std::sin(i * 0.05 + d);
      wave[i] = int16_t(std::min(32767.0, 32767.0 * std::fabs(env) * (0.7 + 0.3 * std::sin(i * 1.7))));
      if (phase == 16) beats[i] = 56;
    }
    beats[240] = -5;
    beats[420 + d * 60] = -2;
    beats[560 + d * 60] = -2;
    auto& display = actions.BeatDisplay(d);
    display.SetStandardWave(d == 1);
    display.SetBeatDiff(d == 0 ? -12 : 12);
    display.SetDisplayData(beats);
    display.SetOverviewData(wave);
  }
  const char* texts[][2] = {
      {"decka_songname", "Nightdrive - Neon Boulevard (Extended Mix)"},
      {"deckb_songname", "Lumen Park - Tidal Hearts"},
      {"decka_bpm", "124.0"}, {"deckb_bpm", "126.3"},
      {"decka_pitch", "+1.85"}, {"deckb_pitch", "-0.40"},
      {"decka_elapsed", "02:41.37"}, {"deckb_elapsed", "00:12.08"},
      {"decka_remained", "04:03.11"}, {"deckb_remained", "05:47.52"},
      {"decka_fx_name1", "Flanger"}, {"decka_cutoff", "1200 Hz"},
      {"time", "21:47:05"}};
  for (auto& t : texts) Apply(actions, skins, std::string("text:") + t[0] + "=" + t[1]);
  for (const char* s : {"decka_play_pause=on", "decka_fx_on1=on", "autodj=on", "slider:decka_pitch=1850",
                        "slider:deckb_pitch=-400", "slider:decka_pos=4", "slider:deckb_pos=1",
                        "slider:crossfader=40", "slider:decka_eq_low=4", "slider:deckb_eq_high=-5",
                        "slider:decka_cutoff_filter=24", "slider:decka_fx_mix1=70", "slider:decka_volume=110",
                        "slider:deckb_volume=96", "slider:decka_gain=2", "meter:decka=-4", "meter:deckb=-14",
                        "meter:masterl=-3", "meter:masterr=-5"})
    Apply(actions, skins, s);
  actions.Slider(actions.FindSliderAction("decka_pos")).SetMaximum(10);
  actions.Slider(actions.FindSliderAction("decka_pos")).SetValue(4);
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  if (argc < 2) {
    std::fprintf(stderr, "usage: zonda-skinview SKIN_BASE_PATH [--screenshot out.png] [--demo] [--set action=value ...]\n");
    return 2;
  }
  const std::string base = argv[1];
  std::string screenshot;
  std::vector<std::string> sets;
  bool demo = false;
  for (int i = 2; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--screenshot" && i + 1 < argc) {
      screenshot = argv[++i];
    } else if (a == "--set" && i + 1 < argc) {
      sets.push_back(argv[++i]);
    } else if (a == "--demo") {
      demo = true;
    } else {
      std::fprintf(stderr, "zonda-skinview: unknown argument %s\n", a.c_str());
      return 2;
    }
  }

  TActionTables actions;
  zonda::TSkinWindow window(actions);
  window.FillWindowHandlers(actions);
  if (!window.Skins().LoadSkin(base)) {
    std::fprintf(stderr, "zonda-skinview: cannot load the skin %s(.xml/.bmp)\n", base.c_str());
    return 1;
  }
  window.AdaptFormsToResolution();
  if (demo) Demo(actions, window.Skins());
  for (const std::string& s : sets)
    if (!Apply(actions, window.Skins(), s)) std::fprintf(stderr, "zonda-skinview: nothing to set for %s\n", s.c_str());

  if (!screenshot.empty()) {
    window.show();
    app.processEvents();
    if (!window.grab().save(QString::fromStdString(screenshot))) {
      std::fprintf(stderr, "zonda-skinview: cannot write %s\n", screenshot.c_str());
      return 1;
    }
    return 0;
  }
  window.show();
  return app.exec();
}
