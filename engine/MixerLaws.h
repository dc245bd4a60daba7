#pragma once
// The mixer controls' laws: how crossfader, channel faders, gain, equaliser
// knobs with kills, boost and mute buttons, the pre-listen mix, the headphone
// split switch, talk-over and on-air turn into mixer settings. Plain functions
// and small state records, no Qt; the main window's handlers call them on the
// main thread and write the results into TKAVMixer and the decks.
//
// Typical use, crossfader moved to v:
//   TCrossfaderLaw law = CrossfaderLaw(xfade, v, deckA, deckB);  // rebuilds the table if dirty
//   Mixer.SetCrossfader(law);
//   lamps "decka_in_master" / "deckb_in_master" := law.deckAInMaster / law.deckBInMaster
#include <array>
#include <cstdint>

namespace zonda {

// ---- dB and linear gains -------------------------------------------------

// The mixer's dB to linear: 10^(dB/20), never below 1/32767 (about -90.3 dB).
double MixerGainFromDb(double dB) noexcept;

// ---- Crossfader --------------------------------------------------------------

inline constexpr int32_t kCrossfaderPositions = 128;   // slider 0..127
inline constexpr int32_t kCrossfaderCurveMin = 40;
inline constexpr int32_t kCrossfaderCurveMax = 120;
inline constexpr int32_t kCrossfaderCurveDefault = 50;
inline constexpr double kCutModeClosedDb = -130.0;
inline constexpr double kMuteDb = -90.0;
inline constexpr double kBoostDb = 4.0;
inline constexpr double kInMasterAboveDb = -70.0;

using TCrossfaderTable = std::array<double, kCrossfaderPositions>;  // dB per position

// Cut mode: 0..63 open (0 dB), 64..127 closed (-130 dB). Curve mode with c
// (limited to 40..120): 0..c-1 at 0 dB, then -(x^(i-c) - 1) dB with
// x = 91^(1/(127-c)), reaching -90 dB at 127.
TCrossfaderTable BuildCrossfaderTable(bool cutMode, int32_t curve) noexcept;

// The shared crossfader state of the main window: the settings
// "CrossFaderCurve" and "CrossFaderCutMode" and the table built from them.
// The configuration dialog sets `dirty` when either setting changes.
struct TCrossfaderState {
  int32_t curve = kCrossfaderCurveDefault;
  bool cutMode = false;
  bool dirty = true;  // the table is built on first use
  TCrossfaderTable table{};
};

// The per-deck buttons that override the crossfader.
struct TDeckOverride {
  bool mute = false;   // "decka_mute" held, or the deck display's right button (DisplayMute)
  bool boost = false;  // "decka_boost" held (DeckBoost)
};

struct TCrossfaderLaw {
  double deckADb = 0;  // deck A's crossfader gain (TKAVMixer::SetCrossfader)
  double deckBDb = 0;  // deck B's
  bool deckAInMaster = true;   // lamp "decka_in_master"
  bool deckBInMaster = true;   // lamp "deckb_in_master"
};

// Mute wins over boost: mute gives -90 dB, boost +4 dB, else the table value.
double ApplyDeckOverride(double tableDb, TDeckOverride o) noexcept;

// The whole crossfader law for slider value v (limited to 0..127): rebuilds the
// table when dirty, deck A reads entry v, deck B entry 127 - v, then the
// overrides; a deck is "in master" above -70 dB.
TCrossfaderLaw CrossfaderLaw(TCrossfaderState& state, int32_t v, TDeckOverride deckA,
                             TDeckOverride deckB) noexcept;

// ---- Channel fader, gain, equaliser --------------------------------------

// Channel fader 0..127 in dB for TKAVMixer::SetVolume: 0 is -318 dB (silence),
// otherwise -(91^((127 - a)/127) - 1): 127 is 0 dB, 1 about -86.8 dB.
double ChannelFaderDb(int32_t position) noexcept;

// "decka_gain" -12..12 dB (limited) to the deck's linear trim, TMixerChannel::Trim.
double TrimFromGainDb(double gainDb) noexcept;

enum class TEqBand : int32_t { Low = 0, Mid = 1, High = 2 };

// Equaliser knob -12..12 (limited) to the band gain sent to TFFTFilter:
// -80 dB while killed; else the value, tripled when negative (-36..+12 dB).
double EqualiserBandDb(int32_t knob, bool killed) noexcept;

// Controller lamp of a kill switch: deck A low/mid/high 24/23/22, deck B 16/15/14.
int32_t KillLampNumber(int32_t deck, TEqBand band) noexcept;   // deck 0 = A, 1 = B

// ---- Pre-listen and headphones -------------------------------------------

struct TCueLevels {
  double cueA = 1.0;  // deck A's pre-listen gain (TKAVMixer::SetPreListen)
  double cueB = 1.0;  // deck B's
};

// "cue_pgm_mix" -100..100 (limited): beyond +-96 snaps to +-100; negative
// values fade deck B out, positive values fade deck A out.
TCueLevels PreListenLaw(int32_t v) noexcept;

// The headphone switch's state, written into TKAVMixer's PhonesSplit and
// PhonesMaster after every call below.
struct TPhonesState {
  int32_t splitHoldTicks = -1;  // -1 idle, else periodic-update ticks the switch has been held
  bool split = false;           // deck A left ear, deck B right ear
  bool master = false;          // the headphones carry the master
};

inline constexpr int32_t kPhonesHoldTicks = 8;   // held longer: master mode
inline constexpr int32_t kPhonesLamp = 25;

// "phones_split" clicked; switchOn is the switch's new state. On: start timing
// the hold and enter split mode. Off: back to the pre-listen mix.
void PhonesSplitClick(TPhonesState& s, bool switchOn) noexcept;
// "phones_split" released: stop timing.
void PhonesSplitUnclick(TPhonesState& s) noexcept;
// Periodic update tick: a hold of more than 8 ticks switches to master mode.
void PhonesTick(TPhonesState& s) noexcept;
// Lamp 25 on this tick (tickCount counts periodic updates): on in split mode,
// on every third tick in master mode, else off.
bool PhonesLamp(const TPhonesState& s, int64_t tickCount) noexcept;

// ---- Talk-over and on-air ------------------------------------------------

inline constexpr double kTalkOverDb = -12.0;
inline constexpr int32_t kOnAirLamp = 7;
inline constexpr int32_t kTalkOverLamp = 8;

// TalkGain: the master music gain, -12 dB while talk-over is on, else 1.
double TalkGainFor(bool talkOver) noexcept;
// MicGain: line A's gain in the master, 1 while on-air, else 0.
double MicGainFor(bool onAir) noexcept;
// True when switching on-air must select deck A's analog input type 1
// (SelectInputAType(1)): on-air set while deck A is not on its line input.
bool OnAirSelectsLineA(bool onAir, bool deckALineIn) noexcept;

// ---- Meters --------------------------------------------------------------

struct TStereoDb {
  double left = -96.0;
  double right = -96.0;
};

// RMS level of each channel of a block of deck PCM, in dB of full scale;
// -96 dB for silence and for an empty block. Any thread.
TStereoDb MeasureLevels(const void* block, int32_t bytes) noexcept;

}  // namespace zonda
