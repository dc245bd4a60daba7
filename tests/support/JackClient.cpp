#include "tests/support/JackClient.h"

#include <fcntl.h>
#include <jack/jack.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <thread>

extern char** environ;

namespace zonda::test {

struct JackClient::State {
  jack_client_t* client = nullptr;
  std::string name;
  std::vector<jack_port_t*> inputs;
  std::vector<jack_port_t*> outputs;

  std::vector<std::vector<float>> capture;
  int64_t captureCapacity = 0;
  std::atomic<int64_t> captured{0};
  std::atomic<bool> capturing{false};

  std::vector<std::vector<float>> playback;
  bool loop = false;
  bool loopback = false;
  int64_t playPosition = 0;  // process thread only

  std::atomic<int64_t> cycles{0};
  std::atomic<int64_t> xruns{0};
  bool active = false;

  // Not noexcept: JACK cancels this thread asynchronously on deactivation, and
  // a cancellation inside a noexcept frame would call std::terminate.
  static int Process(jack_nframes_t frames, void* arg) {
    auto* s = static_cast<State*>(arg);
    const size_t n = frames;
    if (s->capturing.load(std::memory_order_acquire)) {
      const int64_t at = s->captured.load(std::memory_order_relaxed);
      const int64_t take = std::min<int64_t>(static_cast<int64_t>(n), s->captureCapacity - at);
      if (take > 0) {
        for (size_t c = 0; c < s->inputs.size(); ++c) {
          const auto* in = static_cast<const float*>(jack_port_get_buffer(s->inputs[c], frames));
          std::memcpy(s->capture[c].data() + at, in, static_cast<size_t>(take) * sizeof(float));
        }
        s->captured.store(at + take, std::memory_order_release);
      }
      if (take < static_cast<int64_t>(n)) s->capturing.store(false, std::memory_order_relaxed);
    }
    for (size_t c = 0; c < s->outputs.size(); ++c) {
      auto* out = static_cast<float*>(jack_port_get_buffer(s->outputs[c], frames));
      if (s->loopback && c < s->inputs.size()) {
        std::memcpy(out, jack_port_get_buffer(s->inputs[c], frames), n * sizeof(float));
        continue;
      }
      const std::vector<float>* signal = c < s->playback.size() ? &s->playback[c] : nullptr;
      for (size_t i = 0; i < n; ++i) {
        float v = 0.0f;
        if (signal != nullptr && !signal->empty()) {
          int64_t p = s->playPosition + static_cast<int64_t>(i);
          if (s->loop) p %= static_cast<int64_t>(signal->size());
          if (p < static_cast<int64_t>(signal->size())) v = (*signal)[static_cast<size_t>(p)];
        }
        out[i] = v;
      }
    }
    s->playPosition += static_cast<int64_t>(n);
    s->cycles.fetch_add(1, std::memory_order_relaxed);
    return 0;
  }

  static int Xrun(void* arg) {
    static_cast<State*>(arg)->xruns.fetch_add(1, std::memory_order_relaxed);
    return 0;
  }
};

bool JackRequired() {
  const char* v = std::getenv("ZONDA_JACK_RUNNING");
  return v != nullptr && std::strcmp(v, "1") == 0;
}

bool JackServerRunning() {
  jack_status_t status{};
  jack_client_t* probe = jack_client_open("zonda-probe", JackNoStartServer, &status);
  if (probe == nullptr) return false;
  jack_client_close(probe);
  return true;
}

JackServer::JackServer(const std::string& name, int periodFrames, int captureChannels, int playbackChannels,
                       bool realtime) {
  if (const char* previous = std::getenv("JACK_DEFAULT_SERVER")) {
    previousServer_ = previous;
    hadPrevious_ = true;
  }
  std::vector<std::string> args = {"jackd", realtime ? "--realtime" : "--no-realtime", "-n", name, "-d", "dummy",
                                   "-r", "44100", "-p", std::to_string(periodFrames),
                                   "-C", std::to_string(captureChannels), "-P", std::to_string(playbackChannels)};
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t files;
  posix_spawn_file_actions_init(&files);
  posix_spawn_file_actions_addopen(&files, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&files, 2, "/dev/null", O_WRONLY, 0);
  ::setenv("JACK_DEFAULT_SERVER", name.c_str(), 1);
  ::setenv("JACK_NO_AUDIO_RESERVATION", "1", 1);
  pid_t pid = -1;
  if (posix_spawnp(&pid, "jackd", &files, nullptr, argv.data(), environ) == 0) pid_ = pid;
  posix_spawn_file_actions_destroy(&files);
  for (int i = 0; pid_ > 0 && i < 100 && !JackServerRunning(); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
}

JackServer::~JackServer() {
  if (pid_ > 0) {
    kill(pid_, SIGTERM);
    waitpid(pid_, nullptr, 0);
  }
  if (hadPrevious_) ::setenv("JACK_DEFAULT_SERVER", previousServer_.c_str(), 1);
  else ::unsetenv("JACK_DEFAULT_SERVER");
}

bool JackServer::Ok() const { return pid_ > 0 && JackServerRunning(); }

JackClient::JackClient(const std::string& name, int inputs, int outputs, int64_t captureFrames)
    : state_(std::make_unique<State>()) {
  State& s = *state_;
  jack_status_t status{};
  s.client = jack_client_open(name.c_str(), JackNoStartServer, &status);
  if (s.client == nullptr) return;
  s.name = jack_get_client_name(s.client);
  for (int i = 0; i < inputs; ++i) {
    const std::string port = "in_" + std::to_string(i + 1);
    s.inputs.push_back(jack_port_register(s.client, port.c_str(), JACK_DEFAULT_AUDIO_TYPE, JackPortIsInput, 0));
  }
  for (int i = 0; i < outputs; ++i) {
    const std::string port = "out_" + std::to_string(i + 1);
    s.outputs.push_back(jack_port_register(s.client, port.c_str(), JACK_DEFAULT_AUDIO_TYPE, JackPortIsOutput, 0));
  }
  s.captureCapacity = std::max<int64_t>(captureFrames, 0);
  s.capture.assign(s.inputs.size(), std::vector<float>(static_cast<size_t>(s.captureCapacity)));
  jack_set_process_callback(s.client, &State::Process, &s);
  jack_set_xrun_callback(s.client, &State::Xrun, &s);
}

JackClient::~JackClient() {
  if (state_->client != nullptr) {
    Deactivate();
    jack_client_close(state_->client);
  }
}

bool JackClient::Ok() const {
  if (state_->client == nullptr) return false;
  for (jack_port_t* p : state_->inputs)
    if (p == nullptr) return false;
  for (jack_port_t* p : state_->outputs)
    if (p == nullptr) return false;
  return true;
}

const std::string& JackClient::Name() const { return state_->name; }
int JackClient::SampleRate() const { return state_->client ? static_cast<int>(jack_get_sample_rate(state_->client)) : 0; }
int JackClient::BufferFrames() const { return state_->client ? static_cast<int>(jack_get_buffer_size(state_->client)) : 0; }

void JackClient::SetPlayback(std::vector<std::vector<float>> channels, bool loop) {
  if (state_->active) return;
  state_->playback = std::move(channels);
  state_->loop = loop;
  state_->playPosition = 0;
}

void JackClient::SetLoopback(bool on) {
  if (!state_->active) state_->loopback = on;
}

bool JackClient::Activate() {
  if (!Ok()) return false;
  if (!state_->active) state_->active = jack_activate(state_->client) == 0;
  return state_->active;
}

void JackClient::Deactivate() {
  if (state_->active) jack_deactivate(state_->client);
  state_->active = false;
}

std::string JackClient::InputPort(int index) const {
  return index >= 0 && static_cast<size_t>(index) < state_->inputs.size() && state_->inputs[index] != nullptr
             ? jack_port_name(state_->inputs[static_cast<size_t>(index)])
             : std::string();
}

std::string JackClient::OutputPort(int index) const {
  return index >= 0 && static_cast<size_t>(index) < state_->outputs.size() && state_->outputs[index] != nullptr
             ? jack_port_name(state_->outputs[static_cast<size_t>(index)])
             : std::string();
}

std::vector<std::string> JackClient::PortsOf(const std::string& client, bool outputs) const {
  std::vector<std::string> names;
  if (state_->client == nullptr) return names;
  const char** ports = jack_get_ports(state_->client, nullptr, JACK_DEFAULT_AUDIO_TYPE,
                                      outputs ? JackPortIsOutput : JackPortIsInput);
  if (ports == nullptr) return names;
  const std::string prefix = client + ":";
  for (const char** p = ports; *p != nullptr; ++p)
    if (std::strncmp(*p, prefix.c_str(), prefix.size()) == 0) names.emplace_back(*p);
  jack_free(ports);
  std::sort(names.begin(), names.end());
  return names;
}

bool JackClient::WaitForPorts(const std::string& client, bool outputs, size_t count, int timeoutMs) const {
  const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (PortsOf(client, outputs).size() < count) {
    if (std::chrono::steady_clock::now() > until) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return true;
}

bool JackClient::Connect(const std::string& source, const std::string& destination) {
  if (state_->client == nullptr) return false;
  const int r = jack_connect(state_->client, source.c_str(), destination.c_str());
  return r == 0 || r == EEXIST;
}

void JackClient::StartCapture() {
  state_->captured.store(0, std::memory_order_relaxed);
  state_->capturing.store(true, std::memory_order_release);
}

void JackClient::StopCapture() { state_->capturing.store(false, std::memory_order_release); }

int64_t JackClient::CapturedFrames() const { return state_->captured.load(std::memory_order_acquire); }

std::vector<float> JackClient::Captured(int input) const {
  if (input < 0 || static_cast<size_t>(input) >= state_->capture.size()) return {};
  const auto& buffer = state_->capture[static_cast<size_t>(input)];
  return std::vector<float>(buffer.begin(), buffer.begin() + CapturedFrames());
}

int64_t JackClient::Cycles() const { return state_->cycles.load(std::memory_order_relaxed); }
int64_t JackClient::Xruns() const { return state_->xruns.load(std::memory_order_relaxed); }

}  // namespace zonda::test
