#include "app/ZondaApp.h"

#include "app/MainFormEffects.h"

#include <QApplication>
#include <QGuiApplication>
#include <QMessageBox>
#include <QScreen>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <iostream>

#include "app/ConfigurationDialog.h"
#include "app/KeyboardHook.h"
#include "app/MainForm.h"
#include "app/MainFormLists.h"
#include "app/MainThreadDispatcher.h"
#include "app/MidiControl.h"
#include "app/RegQZ.h"
#include "app/SingleInstance.h"
#include "control/KeyNames.h"
#include "control/ShortcutsFile.h"
#include "decoding/SoxrConversion.h"
#include "dsp/FFTFilter.h"
#include "engine/AudioOutput.h"
#include "engine/Mixer.h"
#include "engine/Recorder.h"
#include "engine/SoundSource.h"
#include "platform/ThreadPriority.h"
#include "engine/TimerThread.h"
#include "platform/ProgramDir.h"
#include "skin/ActionTables.h"
#include "skin/LanguageTables.h"
#include "skin/ui/SkinChoice.h"

namespace zonda {
namespace {

using Clock = std::chrono::steady_clock;

double MsSince(Clock::time_point t) { return std::chrono::duration<double, std::milli>(Clock::now() - t).count(); }

constexpr const char* kLastShortcuts = "/shortcuts/lastest_shortcuts.xml";
constexpr const char* kFolders[] = {"/effects", "/lists", "/skins", "/shortcuts", "/languages"};

// The one program body whose engine runs; the library's restart request reaches it.
TZondaApp* gRunningApp = nullptr;

}  // namespace

TZondaApp::TZondaApp() = default;

TZondaApp::~TZondaApp() {
  if (!closed_ && form_) FormClose();
  // A start-up that ended after the engine start leaves the hook installed.
  if (hook_) qApp->removeEventFilter(hook_.get());
  hook_.reset();
  // Secondary windows, then the actions, then the settings store. The
  // effect slots' menu and editor window refer to the main window: first.
  effects_.reset();
  form_.reset();
  language_.reset();
  actions_.reset();
  reg_.reset();
}

TSoundSource* TZondaApp::Deck(int d) { return d == 0 ? deckA_.get() : deckB_.get(); }

TStartOptions TZondaApp::ParseArguments(int argc, char** argv) {
  TStartOptions o;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if ((a == "--deck-a" || a == "--deck-b") && i + 1 < argc) {
      (a == "--deck-a" ? o.DeckAFile : o.DeckBFile) = argv[++i];
    } else if (a == "--help" || a == "-h") {
      o.Help = true;
    } else if (a.rfind("-platform", 0) == 0 || a.rfind("-style", 0) == 0) {
      ++i;  // Qt's own options
    } else {
      o.Error = a;
    }
  }
  return o;
}

const std::vector<TRequiredFile>& TZondaApp::RequiredFiles() {
  // The program's, its libraries' and its data files' names in the
  // installation that start-up checks; a file this installation does not
  // ship is not required.
  static const std::vector<TRequiredFile> files = {
      {"/zonda", true},
      {"/libilvex.so", true},
      {"/libtorvane.so", true},
      {"/exclude_plugins.txt", true},
      {"/lists/default.lst", true},
      {"/lists/list1.lst", true},
      {"/lists/list2.lst", true},
      {"/lists/lists.ssa", true},
      {"/libombrel.so", true},
      {"/zonda.url", false},
      {"/quarnet.url", false},
      {"/languages/english.xml", true},
      {"/shortcuts/lastest_shortcuts.xml", false},
      {"/libquelmo.so", true},
  };
  return files;
}

std::string TZondaApp::MissingRequiredFile() {
  std::error_code ec;
  for (const TRequiredFile& f : RequiredFiles()) {
    if (f.checked && !std::filesystem::exists(ProgramPath(f.path), ec)) return f.path;
  }
  return "";
}

void TZondaApp::Warn(const std::string& text) {
  QMessageBox::warning(form_.get(), "Zonda", QString::fromStdString(text), QMessageBox::Ok);
}

int TZondaApp::Run(const TStartOptions& options) {
  const int early = Start(options);
  if (early >= 0) return early;
  return Exec();
}

int TZondaApp::Exec() { return QApplication::exec(); }

// Returns -1 when the program runs on, else the exit code.
int TZondaApp::Start(const TStartOptions& options) {
  const auto started = Clock::now();
  // 1-3. One instance per user; the administrator check passes here.
  instance_ = std::make_unique<TSingleInstance>();
  if (instance_->AnotherIsRunning()) {
    QMessageBox::warning(nullptr, "Zonda", "Zonda is already opened !", QMessageBox::Ok);
    return 0;
  }
  // 4.
  QApplication::setApplicationName("Zonda");
  std::srand(static_cast<unsigned>(std::time(nullptr)));
  // 5. Without the audio device library the program does not run.
  if (!ilvex_.Load()) {
    std::cerr << "zonda: " << ilvex_.LastError() << "\n";
    return 1;
  }
  // 6. The settings store.
  reg_ = std::make_unique<TRegQZ>();
  reg_->CreateKeys = 1;
  reg_->SetRootKind(2);
  reg_->SetKeyPath("\\Software\\Quarnet\\Zonda");
  reg_->WriteString("LastDirectory", ProgramDir());
  // 8.
  engineRunning_.store(0);
  if (const QScreen* s = QGuiApplication::primaryScreen()) {
    screenWidth_ = s->geometry().width();
    screenHeight_ = s->geometry().height();
  }
  // 9. Required files; 10 (DirectX) and 11 (memory) have nothing to check here.
  const std::string missing = MissingRequiredFile();
  if (!missing.empty()) {
    std::cerr << "zonda: missing " << ProgramPath(missing) << "\n";
    QMessageBox::warning(nullptr, "Zonda", "Some files are missing ! Please reinstall !!!", QMessageBox::Ok);
    return 1;
  }
  // 12.
  for (const char* folder : kFolders) {
    std::error_code ec;
    std::filesystem::create_directories(ProgramPath(folder), ec);
  }
  // 13. Skins and languages (the action tables hold the language's hints).
  actions_ = std::make_unique<TActionTables>();
  language_ = std::make_unique<TLanguageTables>(*actions_);
  skins_ = TSkinLoader::ListSkins(ProgramPath("/skins"));
  if (skins_.empty()) QMessageBox::warning(nullptr, "Zonda", "can NOT find any valid skins !", QMessageBox::Ok);
  language_->ListLanguages(TLanguageTables::LanguageFolder());
  if (language_->LanguageList().empty()) {
    QMessageBox::warning(nullptr, "Zonda", "can NOT find any valid languages !", QMessageBox::Ok);
  }
  // 14, 15. The main window, then the engine start (the mixer needs the decks,
  // so it is made there, right after them).
  form_ = std::make_unique<TMainForm>(*actions_);
  if (!EngineStart()) return 1;
  // 16. The action handlers.
  form_->FillWindowHandlers(*actions_);
  TMainFormLinks links;
  links.Deck = {deckA_.get(), deckB_.get()};
  links.Equaliser = {eqA_.get(), eqB_.get()};
  links.Mixer = mixer_.get();
  links.Recorder = recorder_.get();
  links.Config = &config_;
  links.Language = language_.get();
  links.EngineRunning = &engineRunning_;
  links.FormClose = [this] { FormClose(); };
  links.Lamp = [this](int lamp, bool on) {
    if (midi_) midi_->Mapping().SetControllerLamp(lamp, on);
  };
  form_->AttachProgram(*actions_, std::move(links));
  // The effect slots (their controls' handlers run when the settings are applied).
  ilvex_.VstInit(form_.get());
  effects_ = std::make_unique<TMainFormEffects>(*actions_, *form_, &ilvex_);
  effects_->SlotSwitched = [this](int32_t, bool) { ShowEffectLamps(); };
  // The lists (the main window's creation loads them).
  form_->Lists().LoadAllLists();
  // 22. Stored settings through their handlers, the skin and the language.
  config_.Read(*reg_);
  effects_->Start(config_.PluginFileName);
  effects_->AttachToMixer(*mixer_);
  // The learned keys and MIDI assignments, over the actions' own.
  LoadShortcuts(*actions_, ProgramPath(kLastShortcuts));
  RefreshShortcutTexts(*actions_);
  ApplySettings();
  CreateMidi();
  CreateConfiguration();
  // 23. Show the main window (files dropped on it are accepted).
  form_->show();
  QApplication::processEvents();
  // The skin test message.
  instance_->Listen([this] {
    if (!reg_ || !form_) return;
    reg_->Flush();  // the editing tool wrote the path into the store meanwhile
    const std::string path = reg_->ReadString("SkinTest", "");
    std::error_code ec;
    if (path.empty() || !std::filesystem::exists(path + ".bmp", ec) || !std::filesystem::exists(path + ".xml", ec)) {
      return;
    }
    form_->Skins().LoadSkin(path);
    form_->AdaptFormsToResolution();
    form_->raise();
    form_->activateWindow();
  });
  // 24. Timers: the periodic update on the main thread, hold tracking on its own.
  // The main thread keeps its normal priority: it drains the recording and
  // refills the preview, and every thread it starts later inherits its nice
  // value, which an unprivileged thread can never lower again.
  sync_ = std::make_unique<TMainThreadDispatcher>();
  updateTimer_ = std::make_unique<TTimerThread>(
      TThreadPriority::Normal,
      [this] {
        form_->PeriodicUpdate();
        if (effects_) effects_->IdleAllEditors();
      },
      35, true, sync_->Dispatcher(), "zonda-timer");
  holdTimer_ = std::make_unique<TTimerThread>(
      TThreadPriority::Highest, [this] { form_->HoldTick(); }, 25, false, TTimerThread::Dispatcher{}, "zonda-hold");
  // 25. Sound from now on.
  engineRunning_.store(1);
  mixer_->Start();
  // 26. The Auto-DJ switch, as stored.
  actions_->Button(actions_->FindButtonAction("autodj")).SetSelected(config_.AutoDj);
  form_->OnMixTimeChanged = [this] {
    ApplyAutoDjTime();
    if (configuration_) configuration_->ShowMixTime();
  };
  if (config_.AutoDj) form_->auto_DJ_on_Click();
  // Files named on the command line.
  if (!options.DeckAFile.empty()) form_->load_but_Click(0, options.DeckAFile);
  if (!options.DeckBFile.empty()) form_->load_but_Click(1, options.DeckBFile);
  startMs_ = MsSince(started);
  return -1;
}

bool TZondaApp::EngineStart() {
  // 1. Keyboard hook.
  hook_ = std::make_unique<TKeyboardHook>(*actions_);
  qApp->installEventFilter(hook_.get());
  // 2. Decks (the steady clock is always there for scratching), their
  // equalisers, the recorder and the mixer.
  deckA_ = std::make_unique<TSoundSource>(true);
  deckB_ = std::make_unique<TSoundSource>(false);
  eqA_ = std::make_unique<TFFTFilter>();
  eqB_ = std::make_unique<TFFTFilter>();
  recorder_ = std::make_unique<TRecorder>();
  mixer_ = std::make_unique<TKAVMixer>(TMixerDeck{deckA_.get(), eqA_.get(), {}},
                                       TMixerDeck{deckB_.get(), eqB_.get(), {}}, recorder_.get());
  // 3. The audio device.
  output_ = std::make_unique<TAudioOutput>(*mixer_);
  if (!output_->Open(ilvex_, form_.get())) {
    Warn("ERROR: can not find the Z-CONTROL DJ !\r\nPlease connect the Z-CONTROL DJ to the computer, power it and try "
         "again.");
    output_.reset();
    closed_ = true;
    return false;
  }
  latencyText_ = output_->LatencyTextShown();
  gRunningApp = this;
  ilvex_.SetRestartCallback(&TZondaApp::OnAudioRestartRequest);
  return true;
}

void TZondaApp::OnAudioRestartRequest(void* /*windowHandle*/) {
  // The panel may call from inside its own dialog: restart once it has returned.
  QMetaObject::invokeMethod(
      qApp, [] { if (gRunningApp) gRunningApp->AudioRestart(); }, Qt::QueuedConnection);
}

void TZondaApp::AudioRestart() {
  if (!output_ || closed_) return;
  output_->Restart(ilvex_, form_.get());
  latencyText_ = output_->LatencyTextShown();
  if (configuration_) configuration_->RefreshReadouts();
}

void TZondaApp::ApplyPitchRange() {
  TActionTables& t = *actions_;
  const int32_t range = TConfigValues::PitchRangePermyriad(config_.PitchRange);
  for (const char* name : {"decka_pitch", "deckb_pitch"}) {
    TSliderAction& s = t.Slider(t.FindSliderAction(name));
    s.SetMinimum(-range);
    s.SetMaximum(range);
  }
}

void TZondaApp::ApplyAutoDjTime() {
  // Whole seconds "." tenths.
  actions_->Text(actions_->FindTextAction("auto_dj_time"))
      .SetText(std::to_string(config_.AutoDjMixingTime / 10) + "." + std::to_string(config_.AutoDjMixingTime % 10));
}

void TZondaApp::ApplyCutoffMode() {
  // Both knobs to the mode's neutral value.
  for (const char* name : {"decka_cutoff_filter", "deckb_cutoff_filter"}) {
    actions_->Slider(actions_->FindSliderAction(name)).SetValue(TConfigValues::NeutralCutoff(config_.CutoffFilterMode));
  }
}

void TZondaApp::ApplyDeckOptions() {
  // The converter applies to the files opened from now on.
  SetDeckResampler(static_cast<TResampler>(config_.SampleRateConverter));
  for (TSoundSource* deck : {deckA_.get(), deckB_.get()}) {
    deck->SetKeyLockEngine(static_cast<TKeyLockEngine>(config_.KeyLockEngine));
    deck->SetKeyLock(config_.KeyLockNew);
    deck->SetCueLogic(config_.CueLogic());
    deck->SetLoopOptions(config_.ReloopAfterExitLoop, config_.AutoSnapLoopToBeat);
  }
}

void TZondaApp::ApplyStandardWave() {
  for (TBeatDisplayAction& d : actions_->BeatDisplays()) d.SetStandardWave(config_.DisplayStdWave);
}

void TZondaApp::ApplySettings() {
  ApplyPitchRange();
  ApplyAutoDjTime();
  ApplyCutoffMode();
  actions_->Button(actions_->FindButtonAction("random")).SetSelected(config_.Random);
  ApplyDeckOptions();
  ApplyStandardWave();
  // Language, then the skin (a skin shows the language's hints).
  if (!language_->LanguageList().empty()) config_.LangNumber = language_->ApplyLanguage(config_.LangNumber);
  ApplyStartSkin();
  // Every control's handler once: pitch, faders, gains, equalisers, filters, crossfader.
  form_->ApplyAllControls();
}

void TZondaApp::SavePortShortcuts() {
  if (actions_ && midi_ && midi_->Input().IsOpen())
    SaveShortcuts(*actions_, PortShortcutsFile(ProgramPath("/shortcuts"), midi_->Input().PortName()));
}

void TZondaApp::ApplyMidiAssignments() {
  if (!midi_) return;
  for (int k = 0; k < 4; ++k) {
    midi_->Mapping().AssignKnob(k, config_.AssignKnob[size_t(k)]);
    midi_->Mapping().AssignButton(k, config_.AssignButt[size_t(k)]);
  }
  midi_->Mapping().AutoSelectInputType = config_.AutoSelectAnalogInputAType;
  ShowEffectLamps();
}

void TZondaApp::ShowEffectLamps() {
  if (!midi_) return;
  for (int k = 0; k < 4; ++k) {
    bool on = false;
    const std::string& name = config_.AssignButt[size_t(k)];
    const int button = actions_->FindButtonAction(name);
    if (effects_ && effects_->Slots().HasSlots() && button >= 0 && name.find("_fx_on") != std::string::npos) {
      const int slot = actions_->Button(button).Tag();
      if (slot >= 1 && slot <= 8) on = effects_->Slots().Slot(slot).Active();
    }
    midi_->Mapping().SetControllerLamp(6 - k, on);
  }
}

void TZondaApp::CreateMidi() {
  TMainForm* f = form_.get();
  TMidiDeckHooks h;
  h.Search = [f](int d, bool forward, bool press) {
    if (!f->Attached()) return;
    if (forward) {
      if (press) f->SearchNextClick(d);
      else f->SearchNextUnClick(d);
    } else {
      if (press) f->SearchPrevClick(d);
      else f->SearchPrevUnClick(d);
    }
  };
  h.ToggleScratch = [f](int d) {
    if (f->Attached()) f->DeckScratchClick(d);
  };
  h.Jog = [this](int d, bool backwards) {
    if (TSoundSource* deck = Deck(d)) deck->JogMove(backwards, 0);  // a controller event carries no size
  };
  h.ToggleLineIn = [this](int d) {
    if (!mixer_) return false;
    const bool on = !mixer_->Channels[static_cast<size_t>(d)].LineIn.load();
    mixer_->SetLineIn(d, on);
    return on;
  };
  midi_ = std::make_unique<TMidiControl>(*actions_, std::move(h), engineRunning_);
  // What was learned on a port comes back when that port opens.
  midi_->InputOpened = [this](const std::string& port) {
    if (LoadShortcuts(*actions_, PortShortcutsFile(ProgramPath("/shortcuts"), port))) RefreshShortcutTexts(*actions_);
  };
  ApplyMidiAssignments();
  midi_->Choose(config_.MidiInputPort, config_.MidiOutputPort);
  midi_->LampTest();
}

void TZondaApp::CreateConfiguration() {
  TConfigurationHooks h;
  TMainForm* f = form_.get();
  h.KeyLock = [this, f] {
    ApplyDeckOptions();
    f->Pitch_Mod_Change(0);
    f->Pitch_Mod_Change(1);
  };
  h.PitchRange = [this] { ApplyPitchRange(); };
  h.AutoDjTime = [this] { ApplyAutoDjTime(); };
  h.Crossfader = [f] { f->CROSS_FADERChange(); };
  h.CutoffMode = [this, f] {
    ApplyCutoffMode();
    f->FILTER_Change(0);
    f->FILTER_Change(1);
  };
  h.StandardWave = [this] { ApplyStandardWave(); };
  h.DeckOptions = [this] { ApplyDeckOptions(); };
  h.ChangeSkin = [this, f](int index) {
    if (index < 0 || index >= static_cast<int>(skins_.size())) return false;
    return f->ChangeSkin(skins_[static_cast<size_t>(index)],
                         language_->Text("config_skinrequireshigherres").empty()
                             ? "This skin requires a higher screen resolution !"
                             : language_->Text("config_skinrequireshigherres"));
  };
  h.AudioPanel = [this] { ilvex_.AudioControlPanel(); };
  h.Latency = [this] { return latencyText_; };
  h.Save = [this, f] {
    if (reg_ && engineRunning_.load() != 0) {
      if (effects_) config_.PluginFileName = effects_->Idents();
      f->SaveConfiguration(*reg_);
      reg_->Flush();
      SaveShortcuts(*actions_, ProgramPath(kLastShortcuts));
      SavePortShortcuts();
    }
  };
  h.Defaults = [this] {
    LoadShortcuts(*actions_, ProgramPath("/shortcuts/default_shortcuts.xml"));
    RefreshShortcutTexts(*actions_);
  };
  h.Assignments = [this] { ApplyMidiAssignments(); };
  h.MidiPorts = [](bool input) { return input ? ListMidiInputs() : ListMidiOutputs(); };
  h.MidiChoice = [this] {
    if (midi_) midi_->Choose(config_.MidiInputPort, config_.MidiOutputPort);
  };
  h.MidiStatus = [this] { return midi_ ? midi_->StatusText() : std::string(); };
  h.SetLearner = [this](std::function<void(uint16_t, uint8_t)> learn) {
    if (hook_) hook_->Learn = std::move(learn);
  };
  h.SetMidiLearner = [this](std::function<void(int, int, int)> learn) {
    if (!midi_) return;
    if (learn) {
      midi_->Learn = [learn](const TMidiEvent& e) { learn(e.Status, e.Data1, e.Data2); };
    } else {
      midi_->Learn = nullptr;
    }
  };
  std::vector<std::string> names;
  for (const TDataSkin& skin : skins_) names.push_back(skin.DisplayText);
  configuration_ = std::make_unique<TConfiguration>(config_, std::move(h), std::move(names), *actions_,
                                                    language_.get());
  TConfiguration* cfg = configuration_.get();
  actions_->FillHandler("Setup1Click", [cfg, f](int) { cfg->ShowFor(f); });
  actions_->FillHandler("About1Click", [f](int) { ShowAboutBox(f); });
}

void TZondaApp::ApplyStartSkin() {
  const int chosen = ChooseStartSkin(skins_, config_.SkinNumber, screenWidth_ > 0 ? screenWidth_ : 1024);
  if (chosen < 0) return;
  config_.SkinNumber = chosen;
  form_->Skins().LoadSkin(skins_[static_cast<size_t>(chosen)].BasePath);
  form_->AdaptFormsToResolution();
}

void TZondaApp::FormClose() {
  if (closed_) return;
  closed_ = true;
  const auto started = Clock::now();
  // 1. The callbacks stop mixing first.
  engineRunning_.store(0);
  if (mixer_) mixer_->StopMixing();
  // 2. Hold tracking, then the periodic update (called off first so neither
  // side waits for the other).
  if (holdTimer_) holdTimer_->Stop(1000);
  holdTimer_.reset();
  if (sync_) sync_->Cancel();
  if (updateTimer_) updateTimer_->Stop(3000);
  updateTimer_.reset();
  if (hook_) qApp->removeEventFilter(hook_.get());
  // The controller's lamps go out and its ports close before the engine goes.
  // What was learned on the MIDI input goes into that port's file first.
  SavePortShortcuts();
  if (midi_) midi_->Shutdown();
  // No control may call into the engine from here on.
  if (form_) form_->DetachProgram();
  // 3, 4. Recording, then the device.
  if (recorder_ && recorder_->Recording()) recorder_->Stop();
  gRunningApp = nullptr;
  if (output_) output_->Close(ilvex_);
  output_.reset();
  // The effect slots, with no audio thread left to call them; they reopen next time.
  if (effects_) {
    config_.PluginFileName = effects_->Idents();
    effects_->Release(mixer_.get());
  }
  // 5. Mixer, deck B, deck A (each deck saves its song settings).
  mixer_.reset();
  deckB_.reset();
  deckA_.reset();
  eqA_.reset();
  eqB_.reset();
  recorder_.reset();
  if (configuration_) {
    configuration_->AllowClose();
    configuration_->close();
  }
  // 6. Lists, then the settings and the shortcuts.
  if (form_) form_->Lists().SaveAllLists();
  if (form_ && reg_) {
    form_->SaveConfiguration(*reg_);
    if (actions_) SaveShortcuts(*actions_, ProgramPath(kLastShortcuts));
  }
  // 8. The library.
  ilvex_.VstDeinit();
  ilvex_.Unload();
  hook_.reset();
  shutdownMs_ = MsSince(started);
}

}  // namespace zonda
