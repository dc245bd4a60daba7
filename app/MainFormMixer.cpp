// Mixer controls on the main window: crossfader, channel faders, gain,
// equaliser knobs with kill switches, boost and mute, the pre-listen mix, the
// headphone split switch, on-air, talk-over, the cut-off knobs and the
// recording button. The laws are engine/MixerLaws.h and dsp/CutoffKnob.h;
// these handlers read the actions and write the mixer. Main thread.
#include <QFileDialog>
#include <QFileInfo>

#include "app/ConfigValues.h"
#include "app/MainForm.h"
#include "dsp/CutoffKnob.h"
#include "dsp/FFTFilter.h"
#include "engine/Mixer.h"
#include "engine/Recorder.h"
#include "engine/SoundSource.h"

namespace zonda {

void TMainForm::CROSS_FADERChange() {
  if (links_.Config) {
    if (state_.Crossfader.curve != links_.Config->CrossFaderCurve ||
        state_.Crossfader.cutMode != links_.Config->CrossFaderCutMode) {
      state_.Crossfader.curve = links_.Config->CrossFaderCurve;
      state_.Crossfader.cutMode = links_.Config->CrossFaderCutMode;
      state_.Crossfader.dirty = true;
    }
  }
  const TCrossfaderLaw law = CrossfaderLaw(state_.Crossfader, Slider(state_.crossfader).Value(),
                                           state_.Deck[0].Override, state_.Deck[1].Override);
  if (links_.Mixer) links_.Mixer->SetCrossfader(law);
  Button(state_.Deck[0].A.inMaster).SetLit(law.deckAInMaster);
  Button(state_.Deck[1].A.inMaster).SetLit(law.deckBInMaster);
}

void TMainForm::Volume_Change(int d) {
  if (!links_.Mixer) return;
  const double dB = ChannelFaderDb(Slider(state_.Deck[d].A.volume).Value());
  links_.Mixer->SetVolume(d, dB);
}

void TMainForm::Gain_Change(int d) {
  if (!links_.Mixer) return;
  const int32_t gain = Slider(state_.Deck[d].A.gain).Value();
  links_.Mixer->SetGain(d, gain);
  Deck(d).RememberGain(gain);  // the song's memory keeps what the DJ set
}

void TMainForm::EqChange(int d, int band) {
  TFFTFilter* eq = links_.Equaliser[static_cast<size_t>(d)];
  if (eq == nullptr || band < 0 || band > 2) return;
  const TDeckUi& ui = state_.Deck[d];
  const int32_t knob = Slider(ui.A.eq[static_cast<size_t>(band)]).Value();
  const double dB = EqualiserBandDb(knob, ui.Kill[static_cast<size_t>(band)]);
  // The song's memory keeps what the DJ set.
  Deck(d).RememberEq(band, knob);
  if (band == 0) eq->SetLowGain(dB);
  if (band == 1) eq->SetMidGain(dB);
  if (band == 2) eq->SetHighGain(dB);
}

void TMainForm::KILL_Click(int d, int band) {
  if (band < 0 || band > 2) return;
  TDeckUi& ui = state_.Deck[d];
  ui.Kill[static_cast<size_t>(band)] = Button(ui.A.kill[static_cast<size_t>(band)]).Selected();
  EqChange(d, band);
  // Kill lamps: deck A high/mid/low 22/23/24, deck B 14/15/16 (band 0 is low).
  if (links_.Lamp) links_.Lamp((d == 0 ? 24 : 16) - band, ui.Kill[static_cast<size_t>(band)]);
}

void TMainForm::OpenLineMouseDown(int d) {
  if (state_.Deck[d].Override.boost) return;
  state_.Deck[d].Override.boost = true;
  CROSS_FADERChange();
}
void TMainForm::OpenLineMouseUp(int d) {
  if (!state_.Deck[d].Override.boost) return;
  state_.Deck[d].Override.boost = false;
  CROSS_FADERChange();
}
void TMainForm::MuteLineMouseDown(int d) {
  if (state_.Deck[d].Override.mute) return;
  state_.Deck[d].Override.mute = true;
  CROSS_FADERChange();
}
void TMainForm::MuteLineMouseUp(int d) {
  if (!state_.Deck[d].Override.mute) return;
  state_.Deck[d].Override.mute = false;
  CROSS_FADERChange();
}

void TMainForm::CUEPGMmixChange() {
  if (!links_.Mixer) return;
  links_.Mixer->SetPreListen(PreListenLaw(Slider(state_.cuePgmMix).Value()));
}

void TMainForm::ApplyPhones() {
  if (!links_.Mixer) return;
  links_.Mixer->SetPhones(state_.Phones.split, state_.Phones.master);
}

void TMainForm::phones_split_click() {
  PhonesSplitClick(state_.Phones, Button(state_.phonesSplit).Selected());
  ApplyPhones();
}

void TMainForm::phones_split_unclick() {
  PhonesSplitUnclick(state_.Phones);
  ApplyPhones();
}

void TMainForm::SetOnAir() {
  if (links_.Mixer) links_.Mixer->SetOnAir(Button(state_.onAir).Selected());
  if (links_.Lamp) links_.Lamp(7, Button(state_.onAir).Selected());
}

void TMainForm::SetTalkOver() {
  if (links_.Mixer) links_.Mixer->SetTalkOver(Button(state_.talkOver).Selected());
  if (links_.Lamp) links_.Lamp(8, Button(state_.talkOver).Selected());
}

void TMainForm::FILTER_Change(int d) {
  const int mode = links_.Config ? links_.Config->CutoffFilterMode : 0;
  const TCutoffSetting s = CutoffFromKnob(mode, Slider(state_.Deck[d].A.cutoffKnob).Value());
  if (links_.Mixer) links_.Mixer->Channels[static_cast<size_t>(d)].Filter.SetCutoff(s.lowPass, static_cast<float>(s.cutoffHz));
  Text(state_.Deck[d].A.cutoffText).SetText(CutoffText(s.cutoffHz, LanguageText("main_filteroff", "FILTER OFF")));
}

void TMainForm::recording1Click() {
  if (!links_.Recorder) return;
  std::string file;
  if (!links_.Recorder->Recording()) {
    const QString chosen = QFileDialog::getSaveFileName(this, "Zonda", QString(), "WAV files (*.wav)");
    file = chosen.toStdString();
    if (!file.empty() && QFileInfo(chosen).suffix().isEmpty()) file += ".wav";
  }
  const bool on = links_.Recorder->Toggle(file);
  Button(state_.recording).SetSelected(on);
}

}  // namespace zonda
