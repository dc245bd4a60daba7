#include "platform/ilvex/core/ControlPanelDialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

#include "platform/ilvex/Ilvex.h"

namespace zonda::ilvex {

namespace {

// Item data of the host API list: the host API's name, or one of these.
const QString kAutomatic = QStringLiteral("\x01" "automatic");
const QString kNull = QStringLiteral("\x01" "null");

QString BlockText(int frames) {
  return QStringLiteral("%1 frames (%2 ms)").arg(frames).arg(frames * 1000.0 / ILVEX_SAMPLE_RATE, 0, 'f', 1);
}

}  // namespace

const std::vector<int>& ControlPanelDialog::BlockSizeChoices() {
  static const std::vector<int> sizes = {64, 128, 256, 441, 512, 1024, 2048, 2205};
  return sizes;
}

ControlPanelDialog::ControlPanelDialog(AudioSettings stored, std::vector<PaHostApiEntry> hostApis,
                                       QString currentDevice, std::function<void()> requestRestart, QWidget* parent)
    : QDialog(parent), stored_(std::move(stored)), hostApis_(std::move(hostApis)),
      requestRestart_(std::move(requestRestart)) {
  setWindowTitle(QStringLiteral("Audio device"));
  setObjectName(QStringLiteral("ilvexControlPanel"));

  hostApi_ = new QComboBox(this);
  hostApi_->setObjectName(QStringLiteral("hostApi"));
  hostApi_->addItem(QStringLiteral("Automatic (JACK when running, else the system default)"), kAutomatic);
  for (const PaHostApiEntry& api : hostApis_) hostApi_->addItem(QString::fromStdString(api.name), QString::fromStdString(api.name));
  hostApi_->addItem(QStringLiteral("Null device (no sound hardware)"), kNull);

  device_ = new QComboBox(this);
  device_->setObjectName(QStringLiteral("device"));

  block_ = new QComboBox(this);
  block_->setObjectName(QStringLiteral("blockFrames"));
  std::vector<int> sizes = BlockSizeChoices();
  const int storedFrames = ClampBlockFrames(stored_.blockFrames);
  if (std::find(sizes.begin(), sizes.end(), storedFrames) == sizes.end()) {
    sizes.push_back(storedFrames);
    std::sort(sizes.begin(), sizes.end());
  }
  for (int frames : sizes) block_->addItem(BlockText(frames), frames);
  block_->setCurrentIndex(block_->findData(storedFrames));

  int apiRow = 0;
  if (stored_.backend == Backend::Null) {
    apiRow = hostApi_->findData(kNull);
  } else if (!stored_.hostApi.empty()) {
    apiRow = hostApi_->findData(QString::fromStdString(stored_.hostApi));
    if (apiRow < 0) {  // stored but not present now (e.g. JACK not running): keep it visible
      hostApi_->insertItem(1, QString::fromStdString(stored_.hostApi) + QStringLiteral(" (not available)"),
                           QString::fromStdString(stored_.hostApi));
      apiRow = 1;
    }
  }
  hostApi_->setCurrentIndex(apiRow);
  FillDevices();
  connect(hostApi_, &QComboBox::currentIndexChanged, this, [this] { FillDevices(); });

  auto* form = new QFormLayout;
  form->addRow(QStringLiteral("Host API:"), hostApi_);
  form->addRow(QStringLiteral("Device:"), device_);
  form->addRow(QStringLiteral("Block size:"), block_);
  auto* current = new QLabel(currentDevice.isEmpty() ? QStringLiteral("No device open") : QStringLiteral("Now open: ") + currentDevice, this);
  current->setObjectName(QStringLiteral("currentDevice"));
  form->addRow(current);

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel | QDialogButtonBox::Apply, this);
  connect(buttons, &QDialogButtonBox::accepted, this, [this] {
    Apply();
    accept();
  });
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  connect(buttons->button(QDialogButtonBox::Apply), &QPushButton::clicked, this, [this] { Apply(); });

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(form);
  layout->addWidget(buttons);
}

void ControlPanelDialog::FillDevices() {
  device_->clear();
  const QString api = hostApi_->currentData().toString();
  if (api == kNull || api == kAutomatic) {
    device_->addItem(QStringLiteral("(default device)"), QString());
    device_->setEnabled(false);
    return;
  }
  device_->setEnabled(true);
  device_->addItem(QStringLiteral("(default device)"), QString());
  for (const PaHostApiEntry& entry : hostApis_) {
    if (QString::fromStdString(entry.name) != api) continue;
    for (const PaDeviceEntry& d : entry.devices)
      device_->addItem(QStringLiteral("%1 (%2 out, %3 in)").arg(QString::fromStdString(d.name)).arg(d.outputs).arg(d.inputs),
                       QString::fromStdString(d.name));
  }
  if (api == QString::fromStdString(stored_.hostApi) && !stored_.device.empty()) {
    int row = device_->findData(QString::fromStdString(stored_.device));
    if (row < 0) {
      device_->addItem(QString::fromStdString(stored_.device) + QStringLiteral(" (not available)"),
                       QString::fromStdString(stored_.device));
      row = device_->count() - 1;
    }
    device_->setCurrentIndex(row);
  }
}

AudioSettings ControlPanelDialog::Selected() const {
  AudioSettings s;
  const QString api = hostApi_->currentData().toString();
  if (api == kNull) {
    s.backend = Backend::Null;
    // Keep the PortAudio choice for when the null device is given up again.
    s.hostApi = stored_.hostApi;
    s.device = stored_.device;
  } else {
    s.backend = Backend::PortAudio;
    s.hostApi = api == kAutomatic ? std::string() : api.toStdString();
    s.device = device_->currentData().toString().toStdString();
  }
  s.blockFrames = block_->currentData().toInt();
  return s;
}

bool ControlPanelDialog::Apply() {
  const AudioSettings s = Selected();
  const bool changed = s.backend != stored_.backend || s.hostApi != stored_.hostApi || s.device != stored_.device ||
                       s.blockFrames != stored_.blockFrames;
  if (!changed) return false;
  SaveSettings(s);
  stored_ = s;
  if (requestRestart_) requestRestart_();
  return true;
}

}  // namespace zonda::ilvex
