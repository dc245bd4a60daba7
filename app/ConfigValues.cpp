#include "app/ConfigValues.h"

#include "app/RegQZ.h"

namespace zonda {
namespace {
constexpr const char* kLetters[4] = {"A", "B", "C", "D"};
}

void TConfigValues::Read(TRegQZ& reg) {
  const TConfigValues d;  // defaults
  PitchRange = reg.ReadInteger("PitchRange", d.PitchRange);
  BendRange = reg.ReadInteger("BendRange", d.BendRange);
  AutoDjMixingTime = reg.ReadInteger("AutoDjMixingTime", d.AutoDjMixingTime);
  CutoffFilterMode = reg.ReadInteger("CutoffFilterMode", d.CutoffFilterMode);
  CrossFaderCurve = reg.ReadInteger("CrossFaderCurve", d.CrossFaderCurve);
  Random = reg.ReadBool("Random", d.Random);
  KeyLockNew = reg.ReadBool("KeyLockNew", d.KeyLockNew);
  ShowHints = reg.ReadBool("ShowHints", d.ShowHints);
  DisplayStdWave = reg.ReadBool("DisplayStdWave", d.DisplayStdWave);
  AlternateCueLogic1 = reg.ReadBool("AlternateCueLogic1", d.AlternateCueLogic1);
  AlternateCueLogic2 = reg.ReadBool("AlternateCueLogic2", d.AlternateCueLogic2);
  AutoBeatMatch = reg.ReadBool("AutoBeatMatch", d.AutoBeatMatch);
  RememberSongSettings = reg.ReadBool("RememberSongSettings", d.RememberSongSettings);
  ResetDeckAfterLoad = reg.ReadBool("ResetDeckAfterLoad", d.ResetDeckAfterLoad);
  ReloopAfterExitLoop = reg.ReadBool("ReloopAfterExitLoop", d.ReloopAfterExitLoop);
  AutoSnapLoopToBeat = reg.ReadBool("AutoSnapLoopToBeat", d.AutoSnapLoopToBeat);
  AutoSelectAnalogInputAType = reg.ReadBool("AutoSelectAnalogInputAType", d.AutoSelectAnalogInputAType);
  CrossFaderCutMode = reg.ReadBool("CrossFaderCutMode", d.CrossFaderCutMode);
  for (int i = 0; i < 4; ++i) {
    AssignKnob[i] = reg.ReadString(std::string("AssignKnob") + kLetters[i], d.AssignKnob[i]);
  }
  for (int i = 0; i < 4; ++i) {
    AssignButt[i] = reg.ReadString(std::string("AssignButt") + kLetters[i], d.AssignButt[i]);
  }
  for (int i = 0; i < 8; ++i) {
    PluginFileName[i] = reg.ReadString("PluginFileName" + std::to_string(i + 1), d.PluginFileName[i]);
  }
  SkinNumber = reg.ReadInteger("SkinNumber", d.SkinNumber);
  LangNumber = reg.ReadInteger("LangNumber", d.LangNumber);
  AutoDj = reg.ReadBool("AutoDj", d.AutoDj);
  MidiInputPort = reg.ReadString("MidiInputPort", d.MidiInputPort);
  MidiOutputPort = reg.ReadString("MidiOutputPort", d.MidiOutputPort);
  KeyLockEngine = reg.ReadInteger("KeyLockEngine", d.KeyLockEngine);
  if (KeyLockEngine < 0 || KeyLockEngine > 2) KeyLockEngine = d.KeyLockEngine;
  SampleRateConverter = reg.ReadInteger("SampleRateConverter", d.SampleRateConverter);
  if (SampleRateConverter < 0 || SampleRateConverter > 1) SampleRateConverter = d.SampleRateConverter;
}

void TConfigValues::Write(TRegQZ& reg, int32_t lastListSelected) const {
  reg.WriteInteger("LastListSelected", lastListSelected);
  reg.WriteInteger("MajorVersion", 1);
  reg.WriteInteger("MinorVersion", 2);
  reg.WriteInteger("PitchRange", PitchRange);
  reg.WriteInteger("BendRange", BendRange);
  reg.WriteInteger("AutoDjMixingTime", AutoDjMixingTime);
  reg.WriteInteger("CrossFaderCurve", CrossFaderCurve);
  reg.WriteInteger("CutoffFilterMode", CutoffFilterMode);
  reg.WriteBool("Random", Random);
  reg.WriteBool("AutoDj", AutoDj);
  reg.WriteBool("KeyLockNew", KeyLockNew);
  reg.WriteBool("ShowHints", ShowHints);
  reg.WriteBool("DisplayStdWave", DisplayStdWave);
  reg.WriteBool("AlternateCueLogic1", AlternateCueLogic1);
  reg.WriteBool("AlternateCueLogic2", AlternateCueLogic2);
  reg.WriteBool("AutoBeatMatch", AutoBeatMatch);
  reg.WriteBool("RememberSongSettings", RememberSongSettings);
  reg.WriteBool("ResetDeckAfterLoad", ResetDeckAfterLoad);
  reg.WriteBool("ReloopAfterExitLoop", ReloopAfterExitLoop);
  reg.WriteBool("AutoSnapLoopToBeat", AutoSnapLoopToBeat);
  reg.WriteBool("AutoSelectAnalogInputAType", AutoSelectAnalogInputAType);
  reg.WriteBool("CrossFaderCutMode", CrossFaderCutMode);
  reg.WriteInteger("SkinNumber", SkinNumber);
  reg.WriteInteger("LangNumber", LangNumber);
  for (int i = 0; i < 4; ++i) reg.WriteString(std::string("AssignKnob") + kLetters[i], AssignKnob[i]);
  for (int i = 0; i < 4; ++i) reg.WriteString(std::string("AssignButt") + kLetters[i], AssignButt[i]);
  for (int i = 0; i < 8; ++i) reg.WriteString("PluginFileName" + std::to_string(i + 1), PluginFileName[i]);
  reg.WriteString("MidiInputPort", MidiInputPort);
  reg.WriteString("MidiOutputPort", MidiOutputPort);
  reg.WriteInteger("KeyLockEngine", KeyLockEngine);
  reg.WriteInteger("SampleRateConverter", SampleRateConverter);
}

int32_t TConfigValues::PitchRangePermyriad(int32_t position) {
  switch (position) {
    case 1: return 400;
    case 2: return 800;
    case 3: return 1600;
    case 4: return 2400;
    default: return 100;
  }
}

}  // namespace zonda
