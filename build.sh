#!/usr/bin/env bash
# Zonda's single entry point.
#   ./build.sh run     set up, build the release installation and start Zonda
#   ./build.sh test    set up, build with -Werror + ASan/UBSan and run every test
#   ./build.sh build   set up and build the release installation only
#   ./build.sh smoke   build the release installation and run its tools once on generated tracks
#   ./build.sh bench   set up, build the benchmarks (release) and run them
#   ./build.sh fuzz [SECONDS]   build the libFuzzer targets with clang and run each
#   ./build.sh deps    only install the Debian packages
# Extra arguments after `run` go to zonda (e.g. --deck-a FILE).
set -euo pipefail
cd "$(dirname "$0")"
ROOT=$PWD
JOBS=${JOBS:-$(nproc)}

# Build libraries, test tools and fonts for the offscreen Qt platform.
PACKAGES=(
  cmake g++ make pkg-config git ca-certificates
  qt6-base-dev qt6-base-dev-tools libgl-dev libxkbcommon-dev fonts-dejavu-core
  portaudio19-dev libjack-jackd2-dev jackd2
  libavformat-dev libavcodec-dev libswresample-dev libavutil-dev
  libvorbis-dev librtmidi-dev ladspa-sdk swh-plugins tap-plugins cmt liblilv-dev lv2-dev lilv-utils x42-plugins
  swh-lv2 invada-studio-plugins-lv2 lsp-plugins-lv2 libcdio-paranoia-dev
  libgtest-dev libgmock-dev libbenchmark-dev clang libclang-rt-14-dev libsqlite3-dev
  lame mpg123 libmpg123-dev sox twolame ffmpeg vorbis-tools
  libtag1-dev libogg-dev python3-mutagen
  librubberband-dev rubberband-cli libsoxr-dev
)

install_deps() {
  local missing=()
  for p in "${PACKAGES[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "Installing Debian packages: ${missing[*]}"
  local sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  $sudo env DEBIAN_FRONTEND=noninteractive apt-get update -qq
  $sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

configure_and_build() {  # dir, cmake args...
  local dir=$1; shift
  cmake -S "$ROOT" -B "$dir" "$@" >/dev/null
  cmake --build "$dir" -j "$JOBS"
}

build_release() {
  configure_and_build build/release -DCMAKE_BUILD_TYPE=Release -DZONDA_TESTS=OFF
}

# CI=true or ZONDA_REQUIRE_ALL=1: nothing may be skipped (the tests read the same).
require_all() {
  local ci=${CI:-}
  [ "${ci,,}" = true ] || [ "$ci" = 1 ] || [ "${ZONDA_REQUIRE_ALL:-}" = 1 ]
}

# A JACK server on the dummy driver for the end-to-end tests; its name is
# private to this run so parallel runs do not meet. A loaded machine can take
# seconds to start it, so this waits up to 30 s. Without it the JACK tests
# skip, or under CI the run fails here.
JACK_PID=""
start_jack() {
  export JACK_DEFAULT_SERVER="zonda-test-$$"
  export JACK_NO_AUDIO_RESERVATION=1
  local log=build/test/jackd.log
  jackd --no-realtime -n "$JACK_DEFAULT_SERVER" -d dummy -r 44100 -p 256 -C 4 -P 4 >"$log" 2>&1 &
  JACK_PID=$!
  local deadline=$((SECONDS + 30))
  while [ "$SECONDS" -lt "$deadline" ]; do
    if jack_lsp >/dev/null 2>&1; then export ZONDA_JACK_RUNNING=1; return 0; fi
    kill -0 "$JACK_PID" 2>/dev/null || break  # jackd has exited: no use waiting
    sleep 0.2
  done
  echo "The JACK dummy server did not start; $log:" >&2
  sed 's/^/  | /' "$log" >&2
  stop_jack
  if require_all; then
    echo "error: CI=true or ZONDA_REQUIRE_ALL=1, and the JACK tests need this server" >&2
    return 1
  fi
  echo "warning: the JACK tests will be skipped" >&2
}
stop_jack() {
  [ -n "$JACK_PID" ] && kill "$JACK_PID" 2>/dev/null && wait "$JACK_PID" 2>/dev/null || true
  JACK_PID=""
}

run_tests() {
  configure_and_build build/test -DCMAKE_BUILD_TYPE=Debug -DZONDA_WERROR=ON -DZONDA_SANITIZE=ON -DZONDA_TESTS=ON
  export ASAN_OPTIONS="detect_leaks=1:abort_on_error=0:strict_string_checks=1"
  export LSAN_OPTIONS="suppressions=$ROOT/tests/lsan.supp:print_suppressions=0"
  export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
  export QT_QPA_PLATFORM=offscreen
  start_jack || return 1
  trap stop_jack EXIT
  local status=0
  (cd build/test && ctest --output-on-failure -j "$JOBS" --timeout 600) || status=$?
  stop_jack
  trap - EXIT
  return $status
}

# The release installation, run briefly as a user would: zonda-engine mixes a
# generated WAV and MP3 offline, zonda-decode decodes the MP3, zonda-analyse
# analyses it, zonda-tags writes and reads its tag. Exit status,
# error output and output sizes are checked. The programs run from the tree
# with build/smoke as their program folder (the tree's libraries linked in),
# so the song memory and settings they write stay out of the user's files.
run_smoke() {
  build_release
  local tree=$ROOT/build/release/zonda work=$ROOT/build/smoke
  rm -rf "$work"
  mkdir -p "$work"
  ln -s "$tree"/*.so "$work"/
  cd "$work"
  export ZONDA_PROGRAM_DIR=$work XDG_CONFIG_HOME=$work
  sox -n -r 44100 -c 2 -b 16 tone.wav synth 4 sine 440 gain -6
  lame --quiet -b 128 tone.wav tone.mp3
  printf 'at 0 load a tone.wav\nat 0 load b tone.mp3\nat 0 play a\nat 0 play b\nat 3 end\n' >mix.txt
  smoke_run "zonda-engine --offline" "$tree/zonda-engine" --offline --out mix.wav mix.txt
  local second=$((44100 * 2 * 2))  # bytes of one second of 16-bit stereo
  smoke_size mix.wav $((44 + 3 * 2 * second)) $((44 + 3 * 2 * second))  # 3 s, four channels
  smoke_run zonda-decode "$tree/zonda-decode" tone.mp3 decoded.wav
  smoke_run zonda-analyse "$tree/zonda-analyse" tone.mp3
  grep -q "tone.mp3" smoke.out || { echo "smoke: zonda-analyse printed no line for tone.mp3" >&2; exit 1; }
  # Whole MP3 frames: the encoder's delay and padding (under three frames) stay in.
  smoke_size decoded.wav $((44 + 4 * second)) $((44 + 4 * second + 3 * 1152 * 4))
  smoke_run "zonda-tags --set" "$tree/zonda-tags" --set "title=Smoke tone" --set artist=Zonda tone.mp3
  smoke_run zonda-tags "$tree/zonda-tags" tone.mp3
  grep -qx "title=Smoke tone" smoke.out || { echo "smoke: zonda-tags did not read back the title" >&2; exit 1; }
  cd "$ROOT"
  echo "Smoke check of build/release/zonda passed."
}
smoke_run() {  # label, command...: exit 0 and nothing on standard error
  local label=$1; shift
  local status=0
  "$@" >smoke.out 2>smoke.err || status=$?
  if [ "$status" -ne 0 ] || [ -s smoke.err ]; then
    echo "smoke: $label failed (exit $status): $*" >&2
    cat smoke.out smoke.err >&2
    exit 1
  fi
}
smoke_size() {  # file, least bytes, most bytes
  local size; size=$(stat -c %s "$1" 2>/dev/null || echo 0)
  if [ "$size" -lt "$2" ] || [ "$size" -gt "$3" ]; then
    echo "smoke: $1 is $size bytes, expected $2..$3" >&2
    exit 1
  fi
}

run_fuzz() {
  local seconds=${1:-60}
  configure_and_build build/fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_C_COMPILER=clang \
    -DCMAKE_CXX_COMPILER=clang++ -DZONDA_SANITIZE=ON -DZONDA_FUZZ=ON -DZONDA_TESTS=OFF
  shopt -s nullglob
  for f in build/fuzz/fuzz/fuzz_*; do
    [ -f "$f" ] && [ -x "$f" ] || continue
    local name; name=$(basename "$f")
    local corpus=build/fuzz/corpus-$name
    mkdir -p "$corpus"
    local seeds=()
    [ -d "fuzz/seeds/$name" ] && seeds=("fuzz/seeds/$name")
    [ -d "fuzz/seeds/${name#fuzz_}" ] && seeds=("fuzz/seeds/${name#fuzz_}")
    echo "== $name for ${seconds}s"
    "$f" -max_total_time="$seconds" -rss_limit_mb=2048 -print_final_stats=1 "$corpus" "${seeds[@]}" 2>&1 | tail -n 12
  done
}

cmd=${1:-run}
shift || true
install_deps
case "$cmd" in
  deps) ;;
  build) build_release; echo "Installation folder: build/release/zonda" ;;
  run)
    build_release
    # A machine without sound hardware or a sound server (a VM, a server) gets
    # the null device instead of the "no device" message; ZONDA_AUDIO wins if set.
    if [ -z "${ZONDA_AUDIO:-}" ] && ! ls /dev/snd/pcmC* >/dev/null 2>&1 \
        && ! jack_lsp >/dev/null 2>&1; then
      echo "No sound card or JACK server found: using the null audio device (set ZONDA_AUDIO to choose)."
      export ZONDA_AUDIO=null
    fi
    if [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
      echo "No display found: starting on Qt's offscreen platform (Ctrl-C quits)."
      export QT_QPA_PLATFORM=offscreen
    fi
    exec build/release/zonda/zonda "$@"
    ;;
  test) run_tests ;;
  smoke) run_smoke ;;
  bench)
    configure_and_build build/bench -DCMAKE_BUILD_TYPE=Release -DZONDA_TESTS=OFF -DZONDA_BENCH=ON
    for b in build/bench/bench/*; do [ -x "$b" ] && { echo "== $(basename "$b")"; (cd build/bench && "$ROOT/$b" "$@"); }; done
    ;;
  fuzz) run_fuzz "${1:-60}" ;;
  *) echo "usage: ./build.sh [run|test|build|smoke|bench|fuzz [SECONDS]|deps]" >&2; exit 2 ;;
esac
