// zonda-analyse [--slow] FILE...
//
// Prints one line per file: the detected BPM, its votes (chunks that voted
// for it) and the file name, separated by tabs. The files are analysed one
// after the other by a real deck (decoder front, decode-ahead worker, beat
// analysis), as fast as the machine allows. --slow analyses in the slow range
// (75..124 BPM) instead of the normal one (120..159). A file that cannot be
// opened prints "0 0" with its name and a line on stderr; the exit status is
// then 1. The deck files each track's detected tempo in the song settings
// beside the program, as the program does.
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "engine/SoundSource.h"
#include "engine/TrackAnalysis.h"

int main(int argc, char** argv) {
  bool slow = false;
  std::vector<std::string> files;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--slow") == 0) {
      slow = true;
    } else if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
      std::printf("usage: zonda-analyse [--slow] FILE...\n");
      return 0;
    } else {
      files.emplace_back(argv[i]);
    }
  }
  if (files.empty()) {
    std::fprintf(stderr, "usage: zonda-analyse [--slow] FILE...\n");
    return 2;
  }
  int status = 0;
  auto deck = std::make_unique<zonda::TSoundSource>(true);
  for (const std::string& file : files) {
    const zonda::TTrackTempo t = zonda::AnalyseTrack(*deck, file, slow);
    if (!t.Opened) {
      std::fprintf(stderr, "zonda-analyse: cannot open %s\n", file.c_str());
      status = 1;
    } else if (t.Analysed < t.Chunks) {
      std::fprintf(stderr, "zonda-analyse: %s: %d of %d chunks analysed\n", file.c_str(), t.Analysed, t.Chunks);
    }
    std::printf("%d\t%d\t%s\n", t.BPM, t.Votes, file.c_str());
    std::fflush(stdout);
  }
  return status;
}
