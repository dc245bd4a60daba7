#include "app/ConfigurationDialog.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDesktopServices>
#include <QFileDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QSlider>
#include <QTabWidget>
#include <QTableWidget>
#include <QUrl>
#include <QVBoxLayout>
#include <cstdio>

#include "control/KeyNames.h"
#include "control/ShortcutsFile.h"
#include "platform/ProgramDir.h"
#include "skin/ActionTables.h"
#include "skin/LanguageTables.h"

namespace zonda {
namespace {

QSlider* MakeSlider(QWidget* parent, const char* name, int min, int max) {
  auto* s = new QSlider(Qt::Horizontal, parent);
  s->setObjectName(name);
  s->setRange(min, max);
  s->setPageStep(1);
  s->setTickPosition(QSlider::TicksBelow);
  return s;
}

QLabel* MakeLabel(QWidget* parent, const char* name, const QString& text = {}) {
  auto* l = new QLabel(text, parent);
  if (name) l->setObjectName(name);
  return l;
}

const char* CutoffCaption(int mode) {
  if (mode < 0) return "LowPass";
  if (mode > 0) return "HighPass";
  return "LowPass & HighPass";
}

void Run(const std::function<void()>& hook) {
  if (hook) hook();
}

}  // namespace

TConfiguration::TConfiguration(TConfigValues& config, TConfigurationHooks hooks, std::vector<std::string> skinNames,
                               TActionTables& actions, const TLanguageTables* language, QWidget* parent)
    : QDialog(parent),
      config_(config),
      hooks_(std::move(hooks)),
      skinNames_(std::move(skinNames)),
      actions_(actions),
      language_(language) {
  setObjectName("Configuration");
  setWindowTitle(QString::fromStdString(Text("config_windowtitle", "Configuration")));
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
  auto* tabs = new QTabWidget(this);
  tabs->setObjectName("CfgPageControl");
  tabs->addTab(GeneralPage(), QString::fromStdString(Text("config_generalsettingstab", "General Settings")));
  tabs->addTab(MidiPage(), QString::fromStdString(Text("config_midishortcutstab", "MIDI / Shortcuts")));

  auto* defaults = new QPushButton("&Defaults", this);
  defaults->setObjectName("SET_DEFAULTS");
  auto* ok = new QPushButton("&OK", this);
  ok->setObjectName("OK");
  ok->setDefault(true);
  auto* help = new QPushButton("&Help", this);
  help->setObjectName("HelpButton");
  connect(defaults, &QPushButton::clicked, this, [this] { SetDefaultsClick(); });
  connect(ok, &QPushButton::clicked, this, [this] { OkClick(); });
  connect(help, &QPushButton::clicked, this, [] {
    QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(ProgramPath("/manual.pdf"))));
  });
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(defaults);
  buttons->addStretch(1);
  buttons->addWidget(ok);
  buttons->addWidget(help);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(tabs);
  layout->addLayout(buttons);
  ShowSettings();
}

std::string TConfiguration::Text(const char* key, const char* fallback) const {
  const std::string& t = language_ ? language_->Text(key) : std::string();
  return t.empty() ? std::string(fallback) : t;
}

QCheckBox* TConfiguration::AddCheck(QWidget* page, const char* name, const char* caption, bool TConfigValues::*field,
                                    std::function<void()> TConfigurationHooks::*hook) {
  auto* box = new QCheckBox(caption, page);
  box->setObjectName(name);
  connect(box, &QCheckBox::toggled, this, [this, field, hook](bool on) {
    if (showing_) return;
    config_.*field = on;
    if (hook) Run(hooks_.*hook);
  });
  return box;
}

QWidget* TConfiguration::GeneralPage() {
  auto* page = new QWidget(this);
  auto* grid = new QGridLayout(page);
  int row = 0;
  using H = TConfigurationHooks;

  grid->addWidget(AddCheck(page, "master_tempo", "Master Tempo", &TConfigValues::KeyLockNew, &H::KeyLock), row++, 0);

  auto addRange = [&](const char* name, const char* label, const char* caption, int min, int max) {
    grid->addWidget(MakeLabel(page, nullptr, label), row, 0);
    grid->addWidget(MakeSlider(page, name, min, max), row, 1);
    grid->addWidget(MakeLabel(page, caption), row++, 2);
  };
  addRange("pitch_range", "Pitch range:", "pitch_range_cap", 1, 4);
  addRange("bend_range", "Bend range:", "bend_range_cap", 1, 8);
  addRange("AutoDJTimeTrackBar", "Auto-DJ mixing time:", "AutoDJTimeLabel", 2, 15);
  addRange("CrossFaderCurveTrackBar", "Crossfader curve:", nullptr, 40, 120);
  Slider("CrossFaderCurveTrackBar")->setPageStep(5);
  Slider("CrossFaderCurveTrackBar")->setTickInterval(10);
  grid->addWidget(MakeLabel(page, nullptr, "soft -- hard /"), row, 0);
  grid->addWidget(AddCheck(page, "CrossfaderCutModeCheckBox", "cut", &TConfigValues::CrossFaderCutMode, &H::Crossfader),
                  row++, 1);
  addRange("CutoffModeTrackBar", "Cutoff filter mode (LP/HP):", "CutoffModeLabel", -1, 1);

  connect(Slider("pitch_range"), &QSlider::valueChanged, this, [this](int v) {
    if (showing_) return;
    config_.PitchRange = v;
    RefreshCaptions();
    Run(hooks_.PitchRange);
  });
  connect(Slider("bend_range"), &QSlider::valueChanged, this, [this](int v) {
    if (showing_) return;
    config_.BendRange = v;
    RefreshCaptions();
  });
  connect(Slider("AutoDJTimeTrackBar"), &QSlider::valueChanged, this, [this](int v) {
    if (showing_) return;
    config_.AutoDjMixingTime = v * 10;
    RefreshCaptions();
    Run(hooks_.AutoDjTime);
  });
  connect(Slider("CrossFaderCurveTrackBar"), &QSlider::valueChanged, this, [this](int v) {
    if (showing_) return;
    config_.CrossFaderCurve = v;
    Run(hooks_.Crossfader);
  });
  connect(Slider("CutoffModeTrackBar"), &QSlider::valueChanged, this, [this](int v) {
    if (!showing_) CutoffModeChanged(v);
  });

  const struct {
    const char* name;
    const char* caption;
    bool TConfigValues::*field;
    std::function<void()> H::*hook;
  } checks[] = {
      {"ShowHints", "Show Hints", &TConfigValues::ShowHints, &H::Hints},
      {"disp_std_wave", "Display Standard Waveform", &TConfigValues::DisplayStdWave, &H::StandardWave},
      {"ResetDeckAfterLoad", "Reset Deck after Load", &TConfigValues::ResetDeckAfterLoad, nullptr},
      {"auto_beatmatching", "Beat Matching when auto-DJ", &TConfigValues::AutoBeatMatch, nullptr},
      {"RememberSongEqGain", "Remember song's EQ && Gain settings", &TConfigValues::RememberSongSettings, nullptr},
      {"AutoSelectInputTypeCheckBox", "Auto select Analog Input A type (phono/mic)",
       &TConfigValues::AutoSelectAnalogInputAType, nullptr},
      {"AutoSnapLoopCheckBox", "Auto snap loop to the closest beat", &TConfigValues::AutoSnapLoopToBeat,
       &H::DeckOptions},
      {"reloop_after_exit_checkbox", "Re-Loop one more time before leaving the loop",
       &TConfigValues::ReloopAfterExitLoop, &H::DeckOptions},
  };
  for (const auto& c : checks) {
    grid->addWidget(AddCheck(page, c.name, c.caption, c.field, c.hook), row++, 0, 1, 3);
  }
  for (int which : {1, 2}) {
    auto* box = new QCheckBox(which == 1 ? "Alternate CUE Logic 1" : "Alternate CUE Logic 2", page);
    box->setObjectName(which == 1 ? "AlternateCueLogic1" : "AlternateCueLogic2");
    connect(box, &QCheckBox::toggled, this, [this, which](bool on) {
      if (!showing_) CueLogicChanged(which, on);
    });
    grid->addWidget(box, row++, 0, 1, 3);
  }

  grid->addWidget(MakeLabel(page, nullptr, "Select interface skin:"), row, 0);
  auto* skins = new QComboBox(page);
  skins->setObjectName("sel_skin");
  for (const std::string& name : skinNames_) skins->addItem(QString::fromStdString(name));
  connect(skins, &QComboBox::currentIndexChanged, this, [this](int index) {
    if (showing_ || index < 0 || !hooks_.ChangeSkin) return;
    if (hooks_.ChangeSkin(index)) {
      config_.SkinNumber = index;
    } else {
      showing_ = true;  // refused: the box shows the skin in use again
      Combo("sel_skin")->setCurrentIndex(config_.SkinNumber);
      showing_ = false;
    }
  });
  grid->addWidget(skins, row++, 1, 1, 2);

  // Sound quality: the key lock engine and the converter to 44.1 kHz.
  const struct {
    const char* name;
    const char* label;
    std::vector<const char*> items;
    int32_t TConfigValues::*field;
  } choices[] = {
      {"KeyLockEngineCombo", "Key lock engine:",
       {"Splice (light)", "Rubber Band R3 (finest)", "Rubber Band R2 (cheaper)"}, &TConfigValues::KeyLockEngine},
      {"SampleRateConverterCombo", "Sample-rate converter:", {"Linear (light)", "SoX resampler (high quality)"},
       &TConfigValues::SampleRateConverter},
  };
  for (const auto& c : choices) {
    grid->addWidget(MakeLabel(page, nullptr, c.label), row, 0);
    auto* box = new QComboBox(page);
    box->setObjectName(c.name);
    for (const char* item : c.items) box->addItem(item);
    connect(box, &QComboBox::currentIndexChanged, this, [this, field = c.field](int index) {
      if (showing_ || index < 0) return;
      config_.*field = index;
      Run(hooks_.DeckOptions);
    });
    grid->addWidget(box, row++, 1, 1, 2);
  }

  grid->addWidget(MakeLabel(page, "LatencyLabel"), row, 0);
  auto* panel = new QPushButton("ZC2000 Config", page);
  panel->setObjectName("ASIOConfig");
  connect(panel, &QPushButton::clicked, this, [this] {
    Run(hooks_.AudioPanel);
    RefreshCaptions();
  });
  grid->addWidget(panel, row++, 1);
  return page;
}

QWidget* TConfiguration::MidiPage() {
  auto* page = new QWidget(this);
  auto* grid = new QGridLayout(page);
  grid->addWidget(MakeLabel(page, nullptr, "Knobs"), 0, 1);
  grid->addWidget(MakeLabel(page, nullptr, "Buttons"), 0, 2);
  const char* letters[] = {"A", "B", "C", "D"};
  for (int k = 0; k < 4; ++k) {
    grid->addWidget(MakeLabel(page, nullptr, letters[k]), k + 1, 0);
    auto* knob = new QComboBox(page);
    knob->setObjectName(QString("AssignKnob") + letters[k]);
    knob->addItem("no action");
    for (const TSliderAction& s : actions_.Sliders()) knob->addItem(QString::fromStdString(s.Name()));
    knob->setMaxVisibleItems(16);
    auto* button = new QComboBox(page);
    button->setObjectName(QString("AssignButton") + letters[k]);
    button->addItem("no action");
    for (const TButtonAction& b : actions_.Buttons()) button->addItem(QString::fromStdString(b.Name()));
    button->setMaxVisibleItems(16);
    connect(knob, &QComboBox::currentIndexChanged, this, [this, k, knob](int) {
      if (showing_) return;
      config_.AssignKnob[size_t(k)] = knob->currentText().toStdString();
      Run(hooks_.Assignments);
    });
    connect(button, &QComboBox::currentIndexChanged, this, [this, k, button](int) {
      if (showing_) return;
      config_.AssignButt[size_t(k)] = button->currentText().toStdString();
      Run(hooks_.Assignments);
    });
    grid->addWidget(knob, k + 1, 1);
    grid->addWidget(button, k + 1, 2);
  }
  // The ports: the controller's own by default, or any port of the system.
  for (int input : {1, 0}) {
    const int row = input ? 5 : 6;
    grid->addWidget(MakeLabel(page, nullptr, input ? "MIDI input:" : "MIDI output:"), row, 0);
    auto* ports = new QComboBox(page);
    ports->setObjectName(input ? "MidiInputCombo" : "MidiOutputCombo");
    connect(ports, &QComboBox::currentIndexChanged, this, [this, input, ports](int index) {
      if (showing_ || index < 0) return;
      const std::string port = index == 0 ? std::string() : ports->currentText().toStdString();
      (input ? config_.MidiInputPort : config_.MidiOutputPort) = port;
      Run(hooks_.MidiChoice);
      RefreshCaptions();
    });
    grid->addWidget(ports, row, 1, 1, 2);
  }
  grid->addWidget(MakeLabel(page, "MidiStatusLabel"), 7, 0, 1, 3);
  grid->addWidget(MakeLabel(page, nullptr, "Assign keyboard shortcuts to actions:"), 8, 0, 1, 3);
  auto* table = new QTableWidget(0, 2, page);
  table->setObjectName("ActionsShortcutsList");
  table->setHorizontalHeaderLabels({"Action", "Shortcut"});
  table->setSelectionBehavior(QAbstractItemView::SelectRows);
  table->setSelectionMode(QAbstractItemView::SingleSelection);
  table->setEditTriggers(QAbstractItemView::NoEditTriggers);
  table->setShowGrid(true);
  table->setColumnWidth(0, 130);
  table->setColumnWidth(1, 130);
  table->setRowCount(int(actions_.Sliders().size() + actions_.Buttons().size()));
  auto* waiting = MakeLabel(page, "WaitingLabel",
                            QString::fromStdString(Text("config_waitingevents", "waiting shortcuts . . .")));
  waiting->hide();
  auto* commands = new QHBoxLayout;
  const struct { const char* name; const char* caption; std::function<void()> run; } buttons[] = {
      {"LearnButton", "Learn shortcuts", [this] { ToggleLearnMode(); }},
      {"ResetButton", "Reset", [this] { ResetShortcut(); }},
      {"ResetAllButton", "Reset all", [this] { ResetAllShortcuts(); }},
      {"LoadButton", "Load", [this] {
         const QString f = QFileDialog::getOpenFileName(this, "Load MIDI / KB Shortcuts", {}, "Shortcuts (*.XML *.xml)");
         if (!f.isEmpty() && LoadShortcuts(actions_, f.toStdString())) FillShortcutTable();
       }},
      {"SaveButton", "Save", [this] {
         QString f = QFileDialog::getSaveFileName(this, "Save MIDI / KB Shortcuts", {}, "Shortcuts (*.XML *.xml)");
         if (f.isEmpty()) return;
         if (!f.endsWith(".xml", Qt::CaseInsensitive)) f += ".XML";
         if (!SaveShortcuts(actions_, f.toStdString()))
           QMessageBox::warning(this, "Zonda", "Cannot write " + f);
       }},
  };
  for (const auto& b : buttons) {
    auto* button = new QPushButton(b.caption, page);
    button->setObjectName(b.name);
    connect(button, &QPushButton::clicked, this, b.run);
    commands->addWidget(button);
  }
  grid->addWidget(waiting, 10, 0, 1, 3);
  grid->addLayout(commands, 11, 0, 1, 3);
  grid->addWidget(table, 9, 0, 1, 3);
  return page;
}

QCheckBox* TConfiguration::Check(const char* name) const { return findChild<QCheckBox*>(name); }
QSlider* TConfiguration::Slider(const char* name) const { return findChild<QSlider*>(name); }
QComboBox* TConfiguration::Combo(const char* name) const { return findChild<QComboBox*>(name); }
QLabel* TConfiguration::Label(const char* name) const { return findChild<QLabel*>(name); }

void TConfiguration::ShowSettings() {
  showing_ = true;
  const TConfigValues& c = config_;
  Check("master_tempo")->setChecked(c.KeyLockNew);
  Combo("KeyLockEngineCombo")->setCurrentIndex(c.KeyLockEngine);
  Combo("SampleRateConverterCombo")->setCurrentIndex(c.SampleRateConverter);
  Slider("pitch_range")->setValue(c.PitchRange);
  Slider("bend_range")->setValue(c.BendRange);
  Slider("AutoDJTimeTrackBar")->setValue(c.AutoDjMixingTime / 10);
  Slider("CrossFaderCurveTrackBar")->setValue(c.CrossFaderCurve);
  Check("CrossfaderCutModeCheckBox")->setChecked(c.CrossFaderCutMode);
  Slider("CutoffModeTrackBar")->setValue(c.CutoffFilterMode);
  Check("ShowHints")->setChecked(c.ShowHints);
  Check("disp_std_wave")->setChecked(c.DisplayStdWave);
  Check("ResetDeckAfterLoad")->setChecked(c.ResetDeckAfterLoad);
  Check("auto_beatmatching")->setChecked(c.AutoBeatMatch);
  Check("RememberSongEqGain")->setChecked(c.RememberSongSettings);
  Check("AutoSelectInputTypeCheckBox")->setChecked(c.AutoSelectAnalogInputAType);
  Check("AutoSnapLoopCheckBox")->setChecked(c.AutoSnapLoopToBeat);
  Check("reloop_after_exit_checkbox")->setChecked(c.ReloopAfterExitLoop);
  Check("AlternateCueLogic1")->setChecked(c.AlternateCueLogic1);
  Check("AlternateCueLogic2")->setChecked(c.AlternateCueLogic2);
  Combo("sel_skin")->setCurrentIndex(c.SkinNumber);
  const char* letters[] = {"A", "B", "C", "D"};
  for (int k = 0; k < 4; ++k) {
    QComboBox* knob = Combo((std::string("AssignKnob") + letters[k]).c_str());
    QComboBox* button = Combo((std::string("AssignButton") + letters[k]).c_str());
    knob->setCurrentIndex(std::max(0, knob->findText(QString::fromStdString(c.AssignKnob[size_t(k)]))));
    button->setCurrentIndex(std::max(0, button->findText(QString::fromStdString(c.AssignButt[size_t(k)]))));
  }
  FillShortcutTable();
  showing_ = false;
  RefreshCaptions();
}

void TConfiguration::RefreshRow(int row) {
  auto* table = findChild<QTableWidget*>("ActionsShortcutsList");
  const int sliders = int(actions_.Sliders().size());
  std::string name, keys;
  if (row < sliders) {
    TSliderAction& s = actions_.Slider(row);
    s.SetShortcutText(SliderShortcutText(s));
    name = s.Name();
    keys = SliderKeyColumn(s);
  } else {
    TButtonAction& b = actions_.Button(row - sliders);
    b.SetShortcutText(ButtonShortcutText(b));
    name = b.Name();
    keys = ButtonKeyColumn(b);
  }
  table->setItem(row, 0, new QTableWidgetItem(QString::fromStdString(name)));
  table->setItem(row, 1, new QTableWidgetItem(QString::fromStdString(keys)));
}

void TConfiguration::FillShortcutTable() {
  const int rows = int(actions_.Sliders().size() + actions_.Buttons().size());
  for (int r = 0; r < rows; ++r) RefreshRow(r);
}

void TConfiguration::ToggleLearnMode() {
  learning_ = !learning_;
  auto* learn = findChild<QPushButton*>("LearnButton");
  learn->setText(QString::fromStdString(learning_ ? Text("config_stoplearning", "Stop learning")
                                                  : Text("config_learnevents", "Learn shortcuts")));
  QLabel* waiting = Label("WaitingLabel");
  waiting->setText(QString::fromStdString(Text("config_waitingevents", "waiting shortcuts . . .")));
  waiting->setVisible(learning_);
  if (hooks_.SetLearner) {
    hooks_.SetLearner(learning_ ? std::function<void(uint16_t, uint8_t)>([this](uint16_t k, uint8_t m) { LearnKey(k, m); })
                                : std::function<void(uint16_t, uint8_t)>());
  }
  if (hooks_.SetMidiLearner) {
    using Fn = std::function<void(int, int, int)>;
    hooks_.SetMidiLearner(learning_ ? Fn([this](int s, int n, int v) { LearnMidi(s, n, v); }) : Fn());
  }
}

void TConfiguration::LearnKey(uint16_t key, uint8_t modifiers) {
  const int row = findChild<QTableWidget*>("ActionsShortcutsList")->currentRow();
  if (row < 0) return;
  Label("WaitingLabel")->setText(QString::fromStdString(KeyText(key, modifiers)));
  const int sliders = int(actions_.Sliders().size());
  if (row < sliders) {
    // Two presses: decrease, then increase; a third starts over.
    TSliderAction& s = actions_.Slider(row);
    if ((s.DecreaseKey == 0) == (s.IncreaseKey == 0)) {
      s.DecreaseKey = key;
      s.DecreaseModifiers = modifiers;
      s.IncreaseKey = 0;
      s.IncreaseModifiers = 0;
    } else {
      s.IncreaseKey = key;
      s.IncreaseModifiers = modifiers;
    }
  } else {
    TButtonAction& b = actions_.Button(row - sliders);
    b.Key = key;
    b.KeyModifiers = modifiers;
  }
  RefreshRow(row);
}

void TConfiguration::LearnMidi(int status, int number, int value) {
  const int row = findChild<QTableWidget*>("ActionsShortcutsList")->currentRow();
  if (row < 0) return;
  const int kind = status & 0xF0, channel = status & 0x0F;
  const int sliders = int(actions_.Sliders().size());
  char text[48];
  if (row < sliders && kind == 0xB0) {
    TSliderAction& s = actions_.Slider(row);
    s.MidiChannel = channel;
    s.MidiController = number;
    std::snprintf(text, sizeof text, "MIDI channel %d, controller %d", channel + 1, number);
  } else if (row >= sliders && kind == 0x90 && value > 0) {
    TButtonAction& b = actions_.Button(row - sliders);
    b.MidiChannel = channel;
    b.MidiNote = number;
    std::snprintf(text, sizeof text, "MIDI channel %d, note %d", channel + 1, number);
  } else {
    return;  // a note off, or a message of the other kind
  }
  Label("WaitingLabel")->setText(text);
}

void TConfiguration::ResetShortcut() {
  const int row = findChild<QTableWidget*>("ActionsShortcutsList")->currentRow();
  if (row < 0) return;
  const int sliders = int(actions_.Sliders().size());
  if (row < sliders) {
    TSliderAction& s = actions_.Slider(row);
    s.DecreaseKey = s.IncreaseKey = 0;
    s.DecreaseModifiers = s.IncreaseModifiers = 0;
  } else {
    TButtonAction& b = actions_.Button(row - sliders);
    b.Key = 0;
    b.KeyModifiers = 0;
  }
  RefreshRow(row);
}

void TConfiguration::ResetAllShortcuts(bool ask) {
  if (ask && QMessageBox::warning(this, "Zonda",
                                  QString::fromStdString(Text("config_confirmresetall",
                                                              "Reset all keyboard shortcuts?")),
                                  QMessageBox::Ok | QMessageBox::Cancel) != QMessageBox::Ok)
    return;
  for (TSliderAction& s : actions_.Sliders()) {
    s.DecreaseKey = s.IncreaseKey = 0;
    s.DecreaseModifiers = s.IncreaseModifiers = 0;
  }
  for (TButtonAction& b : actions_.Buttons()) {
    b.Key = 0;
    b.KeyModifiers = 0;
  }
  FillShortcutTable();
}

void TConfiguration::FillMidiPorts() {
  for (int input : {1, 0}) {
    QComboBox* box = Combo(input ? "MidiInputCombo" : "MidiOutputCombo");
    box->clear();
    box->addItem("The DJ controller (ZC-2000) when present");
    if (hooks_.MidiPorts)
      for (const std::string& p : hooks_.MidiPorts(input != 0)) box->addItem(QString::fromStdString(p));
    const std::string& chosen = input ? config_.MidiInputPort : config_.MidiOutputPort;
    int at = chosen.empty() ? 0 : box->findText(QString::fromStdString(chosen));
    if (at < 0) {  // chosen but unplugged now: still the choice
      box->addItem(QString::fromStdString(chosen));
      at = box->count() - 1;
    }
    box->setCurrentIndex(at);
  }
}

void TConfiguration::ShowMixTime() {
  const bool was = showing_;
  showing_ = true;
  Slider("AutoDJTimeTrackBar")->setValue(config_.AutoDjMixingTime / 10);
  showing_ = was;
  RefreshCaptions();
}

void TConfiguration::RefreshCaptions() {
  Label("pitch_range_cap")->setText(QString::number(TConfigValues::PitchRangePermyriad(config_.PitchRange) / 100) + " %");
  Label("bend_range_cap")->setText(QString::number(config_.BendRange) + " %");
  Label("AutoDJTimeLabel")->setText(QString::number(config_.AutoDjMixingTime / 10) + " seconds");
  Label("CutoffModeLabel")->setText(CutoffCaption(config_.CutoffFilterMode));
  Label("LatencyLabel")->setText(QString::fromStdString(hooks_.Latency ? hooks_.Latency() : std::string()));
  Label("MidiStatusLabel")->setText(QString::fromStdString(hooks_.MidiStatus ? hooks_.MidiStatus() : std::string()));
}

void TConfiguration::CueLogicChanged(int which, bool on) {
  config_.AlternateCueLogic1 = which == 1 ? on : (on ? false : config_.AlternateCueLogic1);
  config_.AlternateCueLogic2 = which == 2 ? on : (on ? false : config_.AlternateCueLogic2);
  showing_ = true;  // ticking one clears the other
  Check("AlternateCueLogic1")->setChecked(config_.AlternateCueLogic1);
  Check("AlternateCueLogic2")->setChecked(config_.AlternateCueLogic2);
  showing_ = false;
  Run(hooks_.DeckOptions);
}

void TConfiguration::CutoffModeChanged(int mode) {
  if (mode == config_.CutoffFilterMode) return;  // unchanged: the knobs keep their values
  config_.CutoffFilterMode = mode;
  RefreshCaptions();
  Run(hooks_.CutoffMode);
}

void TConfiguration::ShowFor(QWidget* owner) {
  owner_ = owner;
  if (owner_) owner_->setEnabled(false);
  ShowSettings();
  // The system's ports are asked for only when the window opens (asking
  // JACK opens a client), not at start-up.
  showing_ = true;
  FillMidiPorts();
  showing_ = false;
  show();
  raise();
  activateWindow();
}

void TConfiguration::OkClick() {
  if (learning_) ToggleLearnMode();
  Run(hooks_.Save);
  if (owner_) owner_->setEnabled(true);
  hide();
}

void TConfiguration::SetDefaultsClick() {
  const TConfigValues defaults;
  TConfigValues& c = config_;
  const int oldCutoff = c.CutoffFilterMode;
  c.ShowHints = c.DisplayStdWave = c.ResetDeckAfterLoad = c.RememberSongSettings = true;
  c.AutoBeatMatch = c.AutoSelectAnalogInputAType = c.AutoSnapLoopToBeat = c.KeyLockNew = true;
  c.ReloopAfterExitLoop = c.AlternateCueLogic1 = c.AlternateCueLogic2 = c.CrossFaderCutMode = false;
  c.PitchRange = 3;
  c.BendRange = 2;
  c.AutoDjMixingTime = 100;
  c.CrossFaderCurve = 50;
  c.AssignKnob = defaults.AssignKnob;
  c.AssignButt = defaults.AssignButt;
  c.CutoffFilterMode = 0;
  c.KeyLockEngine = defaults.KeyLockEngine;
  c.SampleRateConverter = defaults.SampleRateConverter;
  for (const auto& hook : {hooks_.Hints, hooks_.StandardWave, hooks_.KeyLock, hooks_.PitchRange, hooks_.AutoDjTime,
                           hooks_.Crossfader, hooks_.DeckOptions})
    Run(hook);
  if (oldCutoff != 0) Run(hooks_.CutoffMode);
  Run(hooks_.Assignments);
  Run(hooks_.Defaults);
  FillShortcutTable();
  ShowSettings();
}

void TConfiguration::closeEvent(QCloseEvent* event) {
  if (closing_) {
    event->accept();
  } else {
    event->ignore();  // only OK hides the window while the program runs
  }
}

void ShowAboutBox(QWidget* parent) {
  QMessageBox::about(parent, "About Zonda",
                     "<b>Zonda</b> " ZONDA_VERSION_TEXT
                     "<br>Two-deck DJ mixing.<br><br>"
                     "Built with Qt 6 (LGPL 3), PortAudio (MIT) and JACK (LGPL 2.1), FFmpeg (LGPL 2.1), "
                     "libvorbis and libogg (BSD), libcdio and libcdio-paranoia (GPL 3), RtMidi (MIT), "
                     "Rubber Band Library (GPL 2 or later) and libsoxr (LGPL 2.1).");
}

}  // namespace zonda
