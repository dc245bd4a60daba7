// zonda-engine: the real decks, mixer, filters, equalisers, recorder and audio
// device library without a window, driven by a script of timed commands (see
// --help and tools/zonda-engine/EngineScript.h).
#include <csignal>
#include <cstdio>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>
#include <string>

#include "lists/M3UImport.h"
#include "tools/zonda-engine/EngineHost.h"
#include "tools/zonda-engine/EngineScript.h"

namespace {

constexpr std::streamsize kMaxScriptBytes = 16 << 20;

void PrintHelp() {
  std::printf(
      "usage: zonda-engine [OPTIONS] [SCRIPT]\n"
      "\n"
      "Runs the real two-deck engine without a window, driven by SCRIPT (a file,\n"
      "or standard input when SCRIPT is - or absent).\n"
      "\n"
      "Options\n"
      "  --device KIND     play in real time through libilvex.so on KIND: null (no\n"
      "                    hardware, paced by the clock), portaudio, jack or alsa;\n"
      "                    without --device and --offline the library's own choice\n"
      "  --offline         render as fast as the machine allows, calling the output\n"
      "                    callback path block after block\n"
      "  --out FILE        offline: write the output to a WAV file, four channels\n"
      "                    (master left, master right, headphones left, right)\n"
      "  --master-only     offline: write only the two master channels\n"
      "  --line-a FILE     offline: play FILE into line A (the microphone of onair,\n"
      "                    and deck A's line input); silent without it\n"
      "  --line-b FILE     offline: play FILE into line B (deck B's line input)\n"
      "  --block FRAMES    device block, 64..2205 frames (offline default 512);\n"
      "                    offline, commands take effect at the first block that\n"
      "                    starts at or after their time\n"
      "  --autodj LIST     instead of a script, the Auto-DJ mixes the play list LIST\n"
      "                    (.m3u, .m3u8) unattended and beat-matched, in order, until\n"
      "                    its last song has played out; a file that cannot be loaded\n"
      "                    is skipped; each load, crossfade and skip is printed\n"
      "  --mixtime S       the Auto-DJ's mixing time, 2 to 15 seconds (default 10)\n"
      "  --list-effects    print the effects the slots can load, one a line:\n"
      "                    identifier, tab, kind (native, ladspa or lv2), tab, name\n"
      "  --keylock-engine E  the key lock engine of both decks: splice (built in,\n"
      "                    the default), rubberband (Rubber Band R3, cleanest) or\n"
      "                    rubberband-r2 (Rubber Band R2, cheaper)\n"
      "  --resampler R     conversion of files not at 44.1 kHz: linear (built in,\n"
      "                    the default) or soxr (libsoxr, very high quality)\n"
      "  --check           check the script and exit\n"
      "  --verbose         report every command and load on standard error\n"
      "  --help            this text\n"
      "\n"
      "Ctrl-C ends a run as an end command would (recording and output finished).\n"
      "Exit status: 0 done (a track that cannot be loaded is reported and the run\n"
      "goes on), 1 device or output file failure, 2 usage or script errors (each\n"
      "as SCRIPT:LINE: message; nothing is played).\n"
      "\n"
      "%s",
      zonda::host::ScriptHelp());
}

int Usage(const std::string& message) {
  std::fprintf(stderr, "zonda-engine: %s (see --help)\n", message.c_str());
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  zonda::host::THostOptions options;
  bool offline = false, check = false, haveDevice = false;
  std::string device, outFile, scriptFile, autoDjList;
  double mixTime = 10.0;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    auto value = [&](std::string& out) {
      if (i + 1 >= argc) return false;
      out = argv[++i];
      return true;
    };
    if (a == "--help" || a == "-h") {
      PrintHelp();
      return 0;
    } else if (a == "--offline") {
      offline = true;
    } else if (a == "--master-only") {
      options.masterOnly = true;
    } else if (a == "--list-effects") {
      return zonda::host::TEngineHost::ListEffects();
    } else if (a == "--check") {
      check = true;
    } else if (a == "--verbose") {
      options.verbose = true;
    } else if (a == "--device") {
      if (!value(device)) return Usage("--device needs null, portaudio, jack or alsa");
      if (device != "null" && device != "portaudio" && device != "jack" && device != "alsa") {
        return Usage("unknown device '" + device + "'; use null, portaudio, jack or alsa");
      }
      haveDevice = true;
    } else if (a == "--out") {
      if (!value(outFile) || outFile.empty()) return Usage("--out needs a file name");
    } else if (a == "--line-a" || a == "--line-b") {
      if (!value(options.lineFiles[a == "--line-a" ? 0 : 1]) || options.lineFiles[a == "--line-a" ? 0 : 1].empty()) {
        return Usage(a + " needs a file name");
      }
    } else if (a == "--autodj") {
      if (!value(autoDjList) || autoDjList.empty()) return Usage("--autodj needs a play list");
    } else if (a == "--mixtime") {
      std::string v;
      if (!value(v)) return Usage("--mixtime needs seconds");
      char* end = nullptr;
      mixTime = std::strtod(v.c_str(), &end);
      if (v.empty() || *end != '\0' || !(mixTime >= 2.0 && mixTime <= 15.0)) {
        return Usage("--mixtime takes 2 to 15 seconds");
      }
    } else if (a == "--keylock-engine") {
      std::string v;
      if (!value(v)) return Usage("--keylock-engine needs splice, rubberband or rubberband-r2");
      if (v == "splice") {
        options.keyLockEngine = 0;
      } else if (v == "rubberband" || v == "rubberband-r3") {
        options.keyLockEngine = 1;
      } else if (v == "rubberband-r2") {
        options.keyLockEngine = 2;
      } else {
        return Usage("--keylock-engine takes splice, rubberband or rubberband-r2");
      }
    } else if (a == "--resampler") {
      std::string v;
      if (!value(v)) return Usage("--resampler needs linear or soxr");
      if (v == "linear") {
        options.resampler = 0;
      } else if (v == "soxr") {
        options.resampler = 1;
      } else {
        return Usage("--resampler takes linear or soxr");
      }
    } else if (a == "--block") {
      std::string v;
      if (!value(v)) return Usage("--block needs a frame count");
      char* end = nullptr;
      const long n = std::strtol(v.c_str(), &end, 10);
      if (v.empty() || *end != '\0' || n < 64 || n > 2205) return Usage("--block takes 64 to 2205 frames");
      options.blockFrames = static_cast<int32_t>(n);
    } else if (a.size() > 1 && a[0] == '-' && a != "-") {
      return Usage("unknown option " + a);
    } else if (scriptFile.empty()) {
      scriptFile = a;
    } else {
      return Usage("only one script");
    }
  }
  if (offline && haveDevice) return Usage("--offline and --device exclude each other");
  if (!offline && (!outFile.empty() || options.masterOnly)) {
    return Usage("--out and --master-only belong to --offline (record a real-time run with 'record start FILE')");
  }
  if (!offline && (!options.lineFiles[0].empty() || !options.lineFiles[1].empty())) {
    return Usage("--line-a and --line-b belong to --offline (in real time the device's inputs are used)");
  }

  if (!autoDjList.empty()) {
    if (!scriptFile.empty()) return Usage("--autodj replaces the script");
    options.autoDjFiles = zonda::ReadPlaylistFiles(autoDjList);
    if (options.autoDjFiles.empty()) {
      std::fprintf(stderr, "zonda-engine: %s names no file that exists\n", autoDjList.c_str());
      return 2;
    }
    options.autoDjMixTime = static_cast<int32_t>(std::lround(mixTime * 10.0));
    if (check) return 0;
    zonda::host::TEngineHost host(options);
    std::signal(SIGINT, [](int) { zonda::host::TEngineHost::RequestStop(); });
    std::signal(SIGTERM, [](int) { zonda::host::TEngineHost::RequestStop(); });
    const zonda::host::TScript none;
    return offline ? host.RunOffline(none, outFile) : host.RunRealTime(none, device);
  }

  std::string text, name, baseDir;
  if (scriptFile.empty() || scriptFile == "-") {
    name = "<stdin>";
    std::ostringstream s;
    s << std::cin.rdbuf();
    text = s.str();
  } else {
    name = scriptFile;
    std::ifstream in(scriptFile, std::ios::binary);
    if (!in) {
      std::fprintf(stderr, "zonda-engine: cannot read %s\n", scriptFile.c_str());
      return 2;
    }
    text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    baseDir = std::filesystem::path(scriptFile).parent_path().string();
  }
  if (static_cast<std::streamsize>(text.size()) > kMaxScriptBytes) {
    std::fprintf(stderr, "zonda-engine: %s: a script is at most 16 MB\n", name.c_str());
    return 2;
  }
  if (text.find('\0') != std::string::npos) {
    std::fprintf(stderr, "zonda-engine: %s: not a text file\n", name.c_str());
    return 2;
  }

  const zonda::host::TScript script = zonda::host::ParseScript(text, baseDir);
  if (!script.errors.empty()) {
    std::fputs(zonda::host::FormatErrors(script, name).c_str(), stderr);
    return 2;
  }
  if (check) return 0;

  zonda::host::TEngineHost host(options);
  // Ctrl-C ends the run as an "end" command would: the recording and the
  // output file are finished.
  std::signal(SIGINT, [](int) { zonda::host::TEngineHost::RequestStop(); });
  std::signal(SIGTERM, [](int) { zonda::host::TEngineHost::RequestStop(); });
  return offline ? host.RunOffline(script, outFile) : host.RunRealTime(script, device);
}
