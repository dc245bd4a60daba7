// MIDI latency through a JACK server: a sender plays note 17 (the deck A
// scratch switch of the controller's layout) 1,000 times; Zonda's MIDI
// (TMidiControl: the port, the ring, the queued call to the main thread and
// the mapping) runs it on the main thread's event loop, and the time from
// the send to the deck operation is recorded. A plain RtMidi client on the
// same sender receives the same notes in its callback: the peer. Prints the
// median and worst of each, in ms.
//
//   jackd --no-realtime -d dummy -r 44100 -p 256 &   (bench/midi/bench_midi.sh does this)
//   build/bench/bench/bench_midi_latency
#include <QCoreApplication>
#include <QTimer>
#include <RtMidi.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>
#include <vector>

#include "app/MidiControl.h"
#include "skin/ActionTables.h"

namespace {

using Clock = std::chrono::steady_clock;

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

void Report(const char* who, std::vector<double> v) {
  if (v.empty()) {
    std::printf("%-26s no message arrived\n", who);
    return;
  }
  std::sort(v.begin(), v.end());
  std::printf("%-26s %zu messages  median %.2f ms  95%% %.2f ms  worst %.2f ms\n", who, v.size(), v[v.size() / 2],
              v[v.size() * 95 / 100], v.back());
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  constexpr int kMessages = 1000;
  RtMidiOut sender(RtMidi::UNIX_JACK, "latency sender");
  sender.openVirtualPort("ZC-2000 bench");
  RtMidiIn peer(RtMidi::UNIX_JACK, "latency peer");
  std::vector<Clock::time_point> sent(kMessages);
  std::vector<double> zonda, plain;
  std::atomic<int> index{-1};
  struct PeerState {
    std::vector<Clock::time_point>* sent;
    std::vector<double>* plain;
    std::atomic<int>* index;
  } peerState{&sent, &plain, &index};
  peer.setCallback(
      [](double, std::vector<unsigned char>* m, void* user) {
        auto* s = static_cast<PeerState*>(user);
        const int i = s->index->load();
        if (m->size() == 3 && (*m)[0] == 0x90 && i >= 0) s->plain->push_back(Ms(Clock::now() - (*s->sent)[size_t(i)]));
      },
      &peerState);

  zonda::TActionTables actions;
  zonda::TMidiDeckHooks hooks;
  hooks.ToggleScratch = [&](int) {
    const int i = index.load();
    if (i >= 0) zonda.push_back(Ms(Clock::now() - sent[size_t(i)]));
  };
  std::atomic<uint8_t> running{1};
  zonda::TMidiControl midi(actions, hooks, running);

  // Both receivers connect to the sender's port by name.
  std::string port;
  for (int tries = 0; tries < 100 && port.empty(); ++tries) {
    port = zonda::FindMidiPort(zonda::ListMidiInputs(), "ZC-2000 bench");
    if (port.empty()) std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  if (port.empty()) {
    std::fprintf(stderr, "no JACK server or the sender's port is not listed\n");
    return 1;
  }
  midi.Choose(port, "");
  for (unsigned k = 0; k < peer.getPortCount(); ++k)
    if (peer.getPortName(k).find("ZC-2000 bench") != std::string::npos) peer.openPort(k, "peer in");
  std::this_thread::sleep_for(std::chrono::milliseconds(300));

  // One note every 7 ms (not a multiple of the JACK period), the event loop running meanwhile.
  int n = 0;
  QTimer timer;
  QObject::connect(&timer, &QTimer::timeout, [&] {
    if (n == kMessages) {
      timer.stop();
      QTimer::singleShot(200, &app, [&] { app.quit(); });
      return;
    }
    const std::vector<unsigned char> note{0x90, 17, 100};
    sent[size_t(n)] = Clock::now();
    index.store(n);
    sender.sendMessage(&note);
    ++n;
  });
  timer.start(7);
  app.exec();
  Report("zonda (port to deck call)", zonda);
  Report("plain RtMidi callback", plain);
  return 0;
}
