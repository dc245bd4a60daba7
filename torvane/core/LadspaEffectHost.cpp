#include "torvane/core/LadspaEffectHost.h"

#include <QApplication>
#include <QEvent>
#include <cstdio>
#include <utility>

#include "torvane/Torvane.h"
#include "torvane/core/FlushDenormals.h"
#include "torvane/core/LadspaMoniker.h"
#include "torvane/core/SampleConversion.h"

namespace zonda {

namespace {

// The bridge's diagnostic lines go to standard output, as the program expects.
void Diagnostic(const char* line) {
  std::fputs(line, stdout);
  std::fputc('\n', stdout);
  std::fflush(stdout);
}

// Widgets exist only under a QApplication; without one no parent is touched.
bool HaveWidgets() { return qobject_cast<QApplication*>(QCoreApplication::instance()) != nullptr; }

}  // namespace

std::unique_ptr<TLadspaEffectHost> TLadspaEffectHost::Load(void* parent, const std::string& name,
                                                           int32_t bufferFrames, int32_t sampleRate) {
  const auto moniker = ParseLadspaMoniker(name);
  if (!moniker) return nullptr;
  const bool rateOk = sampleRate > 0 && sampleRate <= kMaxTorvaneSampleRate;
  auto library = TLadspaLibrary::Open(moniker->LibraryPath, /*forRunning=*/true);
  const LADSPA_Descriptor* descriptor = library ? library->FindDescriptor(moniker->UniqueID) : nullptr;
  auto shape = descriptor ? DescribeLadspaPlugin(*descriptor, float(rateOk ? sampleRate : 44100)) : std::nullopt;
  if (!shape) {
    Diagnostic("ERROR: SetFilter");
    return nullptr;
  }
  if (bufferFrames <= 0 || bufferFrames > TORVANE_MAX_BUFFER_FRAMES || !rateOk) {
    Diagnostic("ERROR: SetBufferSizeAndSampleRate");
    return nullptr;
  }
  std::unique_ptr<TLadspaEffectHost> host(
      new TLadspaEffectHost(parent, std::move(library), descriptor, std::move(*shape), bufferFrames, sampleRate));
  if (!host->Start()) {
    Diagnostic("ERROR: Play");
    return nullptr;
  }
  return host;
}

TLadspaEffectHost::TLadspaEffectHost(void* parent, std::unique_ptr<TLadspaLibrary> library,
                                     const LADSPA_Descriptor* descriptor, TLadspaPluginShape shape,
                                     int32_t bufferFrames, int32_t sampleRate)
    : BufferFrames(bufferFrames),
      SampleRate(sampleRate),
      Parent(parent && HaveWidgets() ? static_cast<QWidget*>(parent) : nullptr),
      library_(std::move(library)),
      descriptor_(descriptor),
      shape_(std::move(shape)),
      Samples(size_t(bufferFrames) * 2),
      audio_(size_t(bufferFrames) * 4),
      ControlValues(shape_.Controls.size()),
      controlPorts_(shape_.Controls.size()) {
  for (size_t c = 0; c < shape_.Controls.size(); ++c) {
    ControlValues[c].store(shape_.Controls[c].defaultValue);
    controlPorts_[c] = shape_.Controls[c].defaultValue;
  }
}

bool TLadspaEffectHost::Start() {
  const size_t count = shape_.Layout == TLadspaLayout::PairedMono ? 2 : 1;
  controlOutputs_.assign(count, std::vector<LADSPA_Data>(shape_.ControlOutputs.size()));
  for (size_t k = 0; k < count; ++k) {
    LADSPA_Handle instance = descriptor_->instantiate(descriptor_, static_cast<unsigned long>(SampleRate));
    if (!instance) return false;
    instances_.push_back(instance);
    ConnectInstance(instance, k);
  }
  if (descriptor_->activate)
    for (LADSPA_Handle instance : instances_) descriptor_->activate(instance);
  activated_ = true;
  Running.store(true, std::memory_order_release);
  return true;
}

void TLadspaEffectHost::ConnectInstance(LADSPA_Handle instance, size_t index) {
  const auto connect = [&](unsigned long port, LADSPA_Data* where) {
    descriptor_->connect_port(instance, port, where);
  };
  float* const in[2] = {audio_.data(), audio_.data() + BufferFrames};
  float* const out[2] = {audio_.data() + 2 * BufferFrames, audio_.data() + 3 * BufferFrames};
  if (shape_.Layout == TLadspaLayout::PairedMono) {
    connect(shape_.AudioInputs[0], in[index]);
    connect(shape_.AudioOutputs[0], out[index]);
  } else {
    for (size_t i = 0; i < shape_.AudioInputs.size(); ++i) connect(shape_.AudioInputs[i], in[i]);
    for (size_t o = 0; o < shape_.AudioOutputs.size(); ++o) connect(shape_.AudioOutputs[o], out[o]);
  }
  for (size_t c = 0; c < shape_.ControlInputs.size(); ++c) connect(shape_.ControlInputs[c], &controlPorts_[c]);
  for (size_t c = 0; c < shape_.ControlOutputs.size(); ++c)
    connect(shape_.ControlOutputs[c], &controlOutputs_[index][c]);
}

TLadspaEffectHost::~TLadspaEffectHost() {
  HideProperties();
  THostLockGuard hold(Lock);
  Running.store(false, std::memory_order_release);
  if (activated_ && descriptor_->deactivate)
    for (LADSPA_Handle instance : instances_) descriptor_->deactivate(instance);
  if (descriptor_->cleanup)
    for (LADSPA_Handle instance : instances_) descriptor_->cleanup(instance);
  instances_.clear();
  if (!library_->Close()) Diagnostic("ERROR: DestroyGraph");
}

int32_t TLadspaEffectHost::Process(float* stereo, int32_t frames) noexcept {
  if (!Running.load(std::memory_order_acquire)) return TORVANE_E_FAIL;
  if (!stereo || frames < 1 || frames > BufferFrames) return TORVANE_E_INVALIDARG;
  if (!Lock.TryLock()) return 0;
  RunBlock(stereo, frames);
  Lock.Unlock();
  return 0;
}

int32_t TLadspaEffectHost::ProcessShortInt(int16_t* stereo, int32_t frames) noexcept {
  if (!Running.load(std::memory_order_acquire)) return TORVANE_E_FAIL;
  if (!stereo || frames < 1 || frames > BufferFrames) return TORVANE_E_INVALIDARG;
  if (!Lock.TryLock()) return 0;
  const int32_t count = frames * 2;
  float* samples = Samples.data();
  for (int32_t i = 0; i < count; ++i) samples[i] = ShortToFloat(stereo[i]);
  RunBlock(samples, frames);
  for (int32_t i = 0; i < count; ++i) stereo[i] = FloatToShort(samples[i]);
  Lock.Unlock();
  return 0;
}

void TLadspaEffectHost::RunBlock(float* stereo, int32_t frames) noexcept {
  for (size_t c = 0; c < controlPorts_.size(); ++c)
    controlPorts_[c] = ControlValues[c].load(std::memory_order_relaxed);
  float* inL = audio_.data();
  float* inR = inL + BufferFrames;
  float* outL = inR + BufferFrames;
  float* outR = outL + BufferFrames;
  if (shape_.Layout == TLadspaLayout::MonoToStereo) {
    for (int32_t i = 0; i < frames; ++i) inL[i] = 0.5f * (stereo[2 * i] + stereo[2 * i + 1]);
  } else {
    for (int32_t i = 0; i < frames; ++i) {
      inL[i] = stereo[2 * i];
      inR[i] = stereo[2 * i + 1];
    }
  }
  {
    TFlushDenormals flush;
    for (LADSPA_Handle instance : instances_) descriptor_->run(instance, static_cast<unsigned long>(frames));
  }
  // A single output fills both channels.
  if (shape_.Layout == TLadspaLayout::StereoToMono) outR = outL;
  for (int32_t i = 0; i < frames; ++i) {
    stereo[2 * i] = outL[i];
    stereo[2 * i + 1] = outR[i];
  }
}

int32_t TLadspaEffectHost::ShowProperties() {
  if (!Running.load(std::memory_order_acquire) || !Parent || !HaveWidgets()) return TORVANE_E_FAIL;
  // Widgets are built and deleted outside the lock: holding it only for the
  // swap keeps the audio thread from passing blocks through while Qt works.
  auto pages = std::make_unique<TPropertyPages>(Parent.data(), shape_.Controls, ControlValues.data());
  std::unique_ptr<TPropertyPages> old;
  {
    THostLockGuard hold(Lock);
    old = std::exchange(pages_, std::move(pages));
  }
  old.reset();
  const QSize size = pages_->ClientSize();
  Parent->setProperty("torvaneClientSize", size);
  QCoreApplication::postEvent(Parent.data(), new QEvent(QEvent::Type(TORVANE_SIZE_EVENT)));
  pages_->Show();
  return 0;
}

int32_t TLadspaEffectHost::HideProperties() {
  if (!Running.load(std::memory_order_acquire)) return TORVANE_E_FAIL;
  std::unique_ptr<TPropertyPages> old;
  {
    THostLockGuard hold(Lock);
    old = std::move(pages_);
  }
  return 0;
}

int32_t TLadspaEffectHost::ChangeTab() {
  if (!Running.load(std::memory_order_acquire)) return TORVANE_E_FAIL;
  THostLockGuard hold(Lock);
  if (pages_) pages_->ChangeTab();
  return 0;
}

}  // namespace zonda
