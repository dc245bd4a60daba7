// Cost per deck of an LV2 low-pass in an effect slot: Invada's stereo low-pass
// (1 kHz at its defaults) run in 256-frame stereo interleaved blocks through
// libilvex.so's vst_process, bound as the program binds it, against the same
// plug-in run in the same process by a bare lilv loop on planar buffers (no
// copies, no control atomics). Reported: CPU seconds of the processing thread
// and CPU share of real time for each (best of ROUNDS), and their ratio.
// bench/lv2/bench_lv2.sh adds lv2apply on a WAV of the same length.
//
//   bench_lv2_lowpass [SECONDS=60] [ROUNDS=3] [PLUGIN_URI]     (LV2_PATH as for the program)
#include <lilv/lilv.h>
#include <time.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <numbers>
#include <string>
#include <vector>

#include "engine/IlvexLibrary.h"
#include "platform/ilvex/lv2/Lv2Features.h"
#include "platform/ilvex/lv2/Lv2Nodes.h"
#include "platform/ilvex/lv2/Lv2Ports.h"

namespace {

using namespace zonda::ilvex;

const char* g_uri = "http://invadarecords.com/plugins/lv2/filter/lpf/stereo";
constexpr int kBlockFrames = 256;

double ThreadCpuSeconds() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

std::vector<float> TwoTones(int frames) {
  std::vector<float> block(size_t(frames) * 2);
  for (int i = 0; i < frames; ++i) {
    const double t = i / kLv2SampleRate;
    block[2 * size_t(i)] = block[2 * size_t(i) + 1] =
        float(0.3 * std::sin(2 * std::numbers::pi * 100 * t) + 0.3 * std::sin(2 * std::numbers::pi * 8000 * t));
  }
  return block;
}

double RunExport(zonda::IlvexLibrary& lib, intptr_t instance, const std::vector<float>& source) {
  std::vector<float> work = source;
  const int frames = int(work.size() / 2);
  const double start = ThreadCpuSeconds();
  for (int at = 0; at + kBlockFrames <= frames; at += kBlockFrames)
    lib.VstProcess(instance, work.data() + 2 * size_t(at), kBlockFrames);
  const double seconds = ThreadCpuSeconds() - start;
  std::printf("  (vst_process output sample %g)\n", double(work[work.size() / 2]));
  return seconds;
}

// The plain host: one instance, planar buffers, ports pointed at each block, lilv_instance_run.
double RunBare(LilvWorld* world, const LilvPlugin* plugin, Lv2Features& features, const std::vector<float>& source) {
  LilvInstance* instance = lilv_plugin_instantiate(plugin, kLv2SampleRate, features.List());
  if (instance == nullptr) return -1;
  const int frames = int(source.size() / 2);
  std::vector<float> in[2] = {std::vector<float>(size_t(frames)), std::vector<float>(size_t(frames))};
  std::vector<float> out[2] = {std::vector<float>(size_t(frames)), std::vector<float>(size_t(frames))};
  for (int i = 0; i < frames; ++i) in[0][size_t(i)] = source[2 * size_t(i)], in[1][size_t(i)] = source[2 * size_t(i) + 1];
  const Lv2Nodes nodes(world);
  const std::vector<Lv2PortKind> kinds = ClassifyPorts(plugin, nodes);
  const uint32_t ports = uint32_t(kinds.size());
  std::vector<float> controls(ports, 0.0f), mins(ports), maxs(ports), defs(ports);
  lilv_plugin_get_port_ranges_float(plugin, mins.data(), maxs.data(), defs.data());
  std::vector<std::vector<uint64_t>> atoms;
  std::vector<bool> atomIsInput;
  atoms.reserve(ports);
  std::vector<uint32_t> audioIn, audioOut;
  for (uint32_t i = 0; i < ports; ++i) {
    controls[i] = std::isfinite(defs[i]) ? defs[i] : 0.0f;
    if (kinds[i] == Lv2PortKind::kAudioIn) audioIn.push_back(i);
    if (kinds[i] == Lv2PortKind::kAudioOut) audioOut.push_back(i);
    if (kinds[i] == Lv2PortKind::kAtomIn || kinds[i] == Lv2PortKind::kAtomOut) {
      atoms.emplace_back(1024, 0);
      atomIsInput.push_back(kinds[i] == Lv2PortKind::kAtomIn);
      lilv_instance_connect_port(instance, i, atoms.back().data());
    } else {
      lilv_instance_connect_port(instance, i, &controls[i]);
    }
  }
  if (audioIn.size() != 2 || audioOut.size() != 2) return -1;
  lilv_instance_activate(instance);
  const double start = ThreadCpuSeconds();
  for (int at = 0; at + kBlockFrames <= frames; at += kBlockFrames) {
    for (int c = 0; c < 2; ++c) {
      lilv_instance_connect_port(instance, audioIn[size_t(c)], in[c].data() + at);
      lilv_instance_connect_port(instance, audioOut[size_t(c)], out[c].data() + at);
    }
    for (size_t a = 0; a < atoms.size(); ++a) {  // an empty input sequence, the whole room for output
      auto* atom = reinterpret_cast<uint32_t*>(atoms[a].data());
      if (atomIsInput[a]) atom[0] = 8, atom[1] = features.SequenceUrid(), atom[2] = 0, atom[3] = 0;
      else atom[0] = 1024 * 8 - 8, atom[1] = features.ChunkUrid();
    }
    lilv_instance_run(instance, kBlockFrames);
  }
  const double seconds = ThreadCpuSeconds() - start;
  std::printf("  (bare output sample %g)\n", double(out[0][out[0].size() / 2]));
  lilv_instance_deactivate(instance);
  lilv_instance_free(instance);
  return seconds;
}

std::string g_found;
int32_t g_index = -1;
int32_t FindUri(const char* path, const char*, int32_t index) {
  if (g_found.empty() && std::strcmp(path, g_uri) == 0) g_found = path, g_index = index;
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  // Positional arguments only; options meant for Google Benchmark programs are passed over.
  std::vector<const char*> args;
  for (int i = 1; i < argc; ++i)
    if (std::strncmp(argv[i], "--", 2) != 0) args.push_back(argv[i]);
  double audioSeconds = args.size() > 0 ? std::atof(args[0]) : 60.0;
  if (!(audioSeconds > 0.1)) audioSeconds = 60.0;
  const int rounds = args.size() > 1 ? std::max(1, std::atoi(args[1])) : 3;
  if (args.size() > 2) g_uri = args[2];
  const std::vector<float> source = TwoTones(int(audioSeconds * kLv2SampleRate));

  ::setenv("ZONDA_PROGRAM_DIR", ZONDA_BENCH_PROGRAM_DIR, 0);
  zonda::IlvexLibrary lib;
  if (!lib.Load()) {
    std::fprintf(stderr, "libilvex.so: %s\n", lib.LastError().c_str());
    return 1;
  }
  lib.VstInit(nullptr);
  lib.VstEnumeratePlugins(&FindUri);
  const intptr_t instance = g_index >= 0 ? lib.VstLoad(g_index) : 0;
  if (instance == 0) {
    std::fprintf(stderr, "%s is not installed or does not load (Debian package invada-studio-plugins-lv2)\n", g_uri);
    return 1;
  }

  LilvWorld* world = lilv_world_new();
  lilv_world_load_all(world);
  LilvNode* uri = lilv_new_uri(world, g_uri);
  const LilvPlugin* plugin = lilv_plugins_get_by_uri(lilv_world_get_all_plugins(world), uri);
  Lv2Features features;

  double bestExport = 1e9, bestBare = 1e9;
  for (int r = 0; r < rounds; ++r) {
    bestExport = std::min(bestExport, RunExport(lib, instance, source));
    const double bare = plugin ? RunBare(world, plugin, features, source) : -1;
    if (bare > 0) bestBare = std::min(bestBare, bare);
  }
  lib.VstUnload(instance);
  lib.VstDeinit();
  lilv_node_free(uri);
  lilv_world_free(world);

  std::printf("plugin %s audio_seconds %.1f block_frames %d\n", g_uri, audioSeconds, kBlockFrames);
  std::printf("vst_process_cpu_seconds %.4f realtime_share %.5f\n", bestExport, bestExport / audioSeconds);
  if (bestBare < 1e9) {
    std::printf("bare_lilv_cpu_seconds %.4f realtime_share %.5f\n", bestBare, bestBare / audioSeconds);
    std::printf("ratio_vst_process_to_bare_lilv %.3f\n", bestExport / bestBare);
  }
  return 0;
}
