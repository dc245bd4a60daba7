#pragma once
// The library's own device settings window (audio_control_panel): host API,
// device and block size. Apply/OK store the choice (AudioSettings.h) and,
// when it differs from what was stored, call `requestRestart` so the program
// restarts the audio with it.
//
// Host API list: "Automatic" (JACK when a server runs, else PortAudio's
// default), each PortAudio host API, and the null device. Device list: the
// host API's default device, then its output devices with channel counts.
//
// Main (GUI) thread only; needs a QApplication.
#include <QDialog>
#include <functional>
#include <vector>

#include "platform/ilvex/core/AudioSettings.h"
#include "platform/ilvex/core/PortAudioCatalog.h"

class QComboBox;
class QLabel;

namespace zonda::ilvex {

class ControlPanelDialog : public QDialog {
 public:
  ControlPanelDialog(AudioSettings stored, std::vector<PaHostApiEntry> hostApis, QString currentDevice,
                     std::function<void()> requestRestart, QWidget* parent = nullptr);

  // The settings the controls show now.
  AudioSettings Selected() const;
  // Stores Selected(); asks for a restart when it changed. Returns whether it changed.
  bool Apply();

  static const std::vector<int>& BlockSizeChoices();

 private:
  void FillDevices();

  AudioSettings stored_;
  std::vector<PaHostApiEntry> hostApis_;
  std::function<void()> requestRestart_;
  QComboBox* hostApi_ = nullptr;
  QComboBox* device_ = nullptr;
  QComboBox* block_ = nullptr;
};

}  // namespace zonda::ilvex
