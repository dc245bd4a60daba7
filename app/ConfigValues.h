#pragma once
// TConfigValues: every stored setting of the program, with its default, as
// the configuration dialog holds them (selector positions, check boxes, the
// assigned knobs and buttons, the effect slots, skin and language).
//
// Read once at start-up, in the store's order, each missing value being
// created with its default; written back by SaveConfiguration at exit. The
// program applies each value through its handler (TZondaApp::ApplySetting*),
// which carries it into the engine and the actions.
//
//   TConfigValues cfg;
//   cfg.Read(reg);             // start-up
//   ... handlers change cfg
//   cfg.Write(reg, listIndex); // SaveConfiguration steps 2 to 7
//
// Main thread only.
#include <array>
#include <cstdint>
#include <string>

namespace zonda {

class TRegQZ;

struct TConfigValues {
  int32_t PitchRange = 3;          // selector 1..4 -> 4, 8, 16, 24 %
  int32_t BendRange = 2;           // percent of the jog bend
  int32_t AutoDjMixingTime = 100;  // tenths of a second
  int32_t CutoffFilterMode = 0;    // -1 LP, 0 LP+HP, 1 HP
  int32_t CrossFaderCurve = 50;    // 40..120
  bool Random = false;
  bool KeyLockNew = true;
  bool ShowHints = true;
  bool DisplayStdWave = true;
  bool AlternateCueLogic1 = false;
  bool AlternateCueLogic2 = false;
  bool AutoBeatMatch = true;
  bool RememberSongSettings = true;
  bool ResetDeckAfterLoad = true;
  bool ReloopAfterExitLoop = false;
  bool AutoSnapLoopToBeat = true;
  bool AutoSelectAnalogInputAType = true;
  bool CrossFaderCutMode = false;
  std::array<std::string, 4> AssignKnob{"decka_fx_mix1", "decka_fx_mix2", "deckb_fx_mix1", "deckb_fx_mix2"};
  std::array<std::string, 4> AssignButt{"decka_fx_on1", "decka_fx_on2", "deckb_fx_on1", "deckb_fx_on2"};
  std::array<std::string, 8> PluginFileName{"-", "-", "-", "-", "-", "-", "-", "-"};  // slots 1..8
  int32_t SkinNumber = -1;         // -1: the default skin
  int32_t LangNumber = 0;
  bool AutoDj = false;
  // The MIDI ports ("<api>:<port>"); empty: the controller's own when present.
  std::string MidiInputPort, MidiOutputPort;
  // Sound quality: the key lock engine (0 the splice, built in; 1
  // Rubber Band R3; 2 Rubber Band R2) and the converter of sources not at
  // 44.1 kHz (0 built in; 1 libsoxr). Out-of-range values read as 0.
  int32_t KeyLockEngine = 0;
  int32_t SampleRateConverter = 0;

  // Reads every key in the store's order (missing ones are created).
  void Read(TRegQZ& reg);
  // SaveConfiguration's writes: "LastListSelected", the versions, then every key.
  void Write(TRegQZ& reg, int32_t lastListSelected) const;

  // The pitch range in permyriad for a selector position: 400, 800, 1600,
  // 2400 for 1..4, 100 for any other.
  static int32_t PitchRangePermyriad(int32_t position);
  // The cue logic both decks use: 1 or 2 for the ticked box, 0 for neither.
  int32_t CueLogic() const { return AlternateCueLogic1 ? 1 : (AlternateCueLogic2 ? 2 : 0); }
  // The cut-off knob's neutral value for a filter mode: 63, 0 or -64.
  static int32_t NeutralCutoff(int32_t mode) { return mode < 0 ? 63 : (mode > 0 ? -64 : 0); }
};

}  // namespace zonda
