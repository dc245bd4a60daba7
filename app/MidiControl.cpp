#include "app/MidiControl.h"

#include <QMetaObject>
#include <algorithm>

namespace zonda {
namespace {

bool Listed(const std::vector<std::string>& ports, const std::string& port) {
  return std::find(ports.begin(), ports.end(), port) != ports.end();
}

}  // namespace

TMidiControl::TMidiControl(TActionTables& actions, TMidiDeckHooks hooks, const std::atomic<uint8_t>& running)
    : mapping_(actions, std::move(hooks)), running_(running) {
  mapping_.SetOutput(&output_);
  // One queued call however many messages arrive before it runs.
  input_.Notify = [this] {
    if (!pending_.exchange(true)) QMetaObject::invokeMethod(this, [this] { Drain(); }, Qt::QueuedConnection);
  };
  connect(&poll_, &QTimer::timeout, this, [this] { Poll(); });
  poll_.start(2000);
}

TMidiControl::~TMidiControl() { Shutdown(); }

void TMidiControl::Drain() {
  pending_.store(false);
  if (Learn) {
    while (auto e = input_.GetMidiEvent()) Learn(*e);
    return;
  }
  mapping_.HandleAll(input_, running_.load() != 0);
}

std::string TMidiControl::Wanted(bool input) const {
  const std::string& choice = input ? inputChoice_ : outputChoice_;
  if (!choice.empty()) return choice;
  return FindMidiPort(input ? ListMidiInputs() : ListMidiOutputs(), kControllerName);
}

void TMidiControl::Choose(const std::string& inputPort, const std::string& outputPort) {
  inputChoice_ = inputPort;
  outputChoice_ = outputPort;
  input_.Close();
  output_.Close();
  const std::string in = Wanted(true), out = Wanted(false);
  if (!in.empty()) OpenInput(in);
  if (!out.empty()) output_.Open(out);
}

void TMidiControl::OpenInput(const std::string& port) {
  if (input_.Open(port) && InputOpened) InputOpened(port);
}

void TMidiControl::Poll() {
  if (listing_.load()) return;  // the last lists are still being read
  if (lister_.joinable()) lister_.join();
  // JACK is asked only for a JACK port chosen or in use.
  const bool jack = inputChoice_.rfind("jack:", 0) == 0 || outputChoice_.rfind("jack:", 0) == 0 ||
                    input_.PortName().rfind("jack:", 0) == 0;
  listing_.store(true);
  lister_ = std::thread([this, jack] {
    std::vector<std::string> inputs = ListMidiInputs(jack);
    std::vector<std::string> outputs = ListMidiOutputs(jack);
    QMetaObject::invokeMethod(
        this, [this, inputs = std::move(inputs), outputs = std::move(outputs)] { ApplyPorts(inputs, outputs); },
        Qt::QueuedConnection);
    listing_.store(false);
  });
}

void TMidiControl::ApplyPorts(const std::vector<std::string>& inputs, const std::vector<std::string>& outputs) {
  // A port that went away is closed; one that came back is opened again.
  if (input_.IsOpen() && !Listed(inputs, input_.PortName())) input_.Close();
  if (!input_.IsOpen()) {
    const std::string in = inputChoice_.empty() ? FindMidiPort(inputs, kControllerName) : inputChoice_;
    if (!in.empty() && Listed(inputs, in)) OpenInput(in);
  }
  if (!output_.IsOpen()) {
    const std::string out = outputChoice_.empty() ? FindMidiPort(outputs, kControllerName) : outputChoice_;
    if (!out.empty() && Listed(outputs, out)) output_.Open(out);
  }
}

void TMidiControl::LampTest() {
  if (!output_.IsOpen()) return;
  mapping_.SetAllLamps(true);
  QTimer::singleShot(500, this, [this] { mapping_.SetAllLamps(false); });
}

void TMidiControl::Shutdown() {
  poll_.stop();
  if (lister_.joinable()) lister_.join();
  if (output_.IsOpen()) mapping_.SetAllLamps(false);
  output_.Close();
  input_.Close();
}

std::string TMidiControl::StatusText() const {
  if (!input_.IsOpen() && !output_.IsOpen())
    return "No MIDI device in use: Zonda runs without MIDI (" + std::string(kControllerName) + " not found).";
  return "MIDI in: " + (input_.IsOpen() ? input_.PortName() : std::string("none")) +
         ", out: " + (output_.IsOpen() ? std::string("open") : std::string("none"));
}

}  // namespace zonda
