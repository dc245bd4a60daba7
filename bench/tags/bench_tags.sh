#!/bin/sh
# Reading the tags of a 5,000-file folder (what adding a folder to a list
# does), zonda-tags against mutagen reading the same files in the same run.
#
#   bench/tags/bench_tags.sh [BUILD_DIR] [FILES] [RUNS]
#
# BUILD_DIR is a Release build holding zonda/zonda-tags (default build/release:
# cmake -S . -B build/release -DCMAKE_BUILD_TYPE=Release -DZONDA_TESTS=OFF &&
# cmake --build build/release --target zonda-tags). FILES (default 5000) songs
# are made from one short MP3, Ogg Vorbis and FLAC encode, each copy tagged by
# mutagen with its own texts: 50% MP3 (ID3v2.3 and 2.4, every fourth with a
# 30 kB cover picture), 35% Ogg Vorbis (every fourth with a picture), 15% FLAC.
# zonda-tags reads all thirteen fields of every file; the peer is a python3
# process that opens each file with mutagen and takes the same fields. Each
# runs RUNS times (default 3) on the warm page cache; the best wall time
# counts. Prints both times, files per second and the ratio.
set -eu

BUILD=${1:-build/release}
FILES=${2:-5000}
RUNS=${3:-3}
TOOL=$BUILD/zonda/zonda-tags
PY=/usr/bin/python3
[ -x "$TOOL" ] || { echo "no $TOOL (build the zonda-tags target in Release)" >&2; exit 1; }
TOOL=$(readlink -f "$TOOL")
for tool in sox lame oggenc ffmpeg bc $PY; do
  command -v $tool >/dev/null || { echo "$tool is needed (Debian packages sox, lame, vorbis-tools, ffmpeg, bc, python3-mutagen)" >&2; exit 1; }
done
$PY -c 'import mutagen' || { echo "python3-mutagen is needed" >&2; exit 1; }

WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
mkdir "$WORK/songs"
sox -n -r 44100 -c 2 -b 16 "$WORK/tone.wav" synth 4 sine 440 vol 0.5
lame --quiet -b 128 "$WORK/tone.wav" "$WORK/tone.mp3"
oggenc -Q -q 3 "$WORK/tone.wav" -o "$WORK/tone.ogg"
ffmpeg -v error -i "$WORK/tone.wav" "$WORK/tone.flac"

$PY - "$WORK" "$FILES" <<'PYEOF'
import base64, shutil, sys
from mutagen import id3
from mutagen.flac import FLAC, Picture
from mutagen.oggvorbis import OggVorbis
work, count = sys.argv[1], int(sys.argv[2])
cover = bytes((i * 13) & 255 for i in range(30000))
for i in range(count):
    kind = "mp3" if i % 20 < 10 else "ogg" if i % 20 < 17 else "flac"
    path = "%s/songs/song%05d.%s" % (work, i, kind)
    shutil.copyfile("%s/tone.%s" % (work, kind), path)
    texts = {"title": "Title %d" % i, "artist": "Artist %d" % (i % 97), "album": "Album %d" % (i % 31),
             "genre": "Genre %d" % (i % 11), "date": str(1970 + i % 50), "track": str(i % 20 + 1),
             "comment": "Comment %d" % i}
    if kind == "mp3":
        t = id3.ID3()
        t.add(id3.TIT2(encoding=3, text=[texts["title"]]))
        t.add(id3.TPE1(encoding=3, text=[texts["artist"]]))
        t.add(id3.TALB(encoding=3, text=[texts["album"]]))
        t.add(id3.TCON(encoding=3, text=[texts["genre"]]))
        t.add(id3.TDRC(encoding=3, text=[texts["date"]]))
        t.add(id3.TRCK(encoding=3, text=[texts["track"]]))
        t.add(id3.COMM(encoding=3, lang="eng", desc="", text=[texts["comment"]]))
        t.add(id3.TCOM(encoding=3, text=["Composer"]))
        if i % 4 == 0:
            t.add(id3.APIC(encoding=0, mime="image/png", type=3, desc="", data=cover))
        t.save(path, v2_version=3 if i % 2 else 4)
    else:
        f = OggVorbis(path) if kind == "ogg" else FLAC(path)
        f["TITLE"], f["ARTIST"], f["ALBUM"] = texts["title"], texts["artist"], texts["album"]
        f["GENRE"], f["DATE"], f["TRACKNUMBER"] = texts["genre"], texts["date"], texts["track"]
        f["COMMENT"], f["COMPOSER"] = texts["comment"], "Composer"
        if i % 4 == 0:
            p = Picture()
            p.type, p.mime, p.data = 3, "image/png", cover
            if kind == "ogg":
                f["METADATA_BLOCK_PICTURE"] = [base64.b64encode(p.write()).decode("ascii")]
            else:
                f.add_picture(p)
        f.save()
PYEOF

cat > "$WORK/peer.py" <<'PYEOF'
import os, sys
import mutagen
from mutagen import id3
folder = sys.argv[1]
out = []
for name in sorted(os.listdir(folder)):
    f = mutagen.File(os.path.join(folder, name))
    tags = f.tags if f is not None else None
    def get(*keys):
        for k in keys:
            v = tags.get(k) if tags is not None else None
            if v:
                return str(v[0]) if isinstance(v, list) else str(v)
        return ""
    if isinstance(tags, id3.ID3):
        row = [get("TPE1"), get("TIT2"), "", get("WXXX:"), get("TLAN"), get("TCOP"), get("TENC"), get("TCOM"),
               get("TRCK"), get("TDRC"), get("TALB"), get("COMM::eng"), get("TCON")]
    else:
        row = [get("ARTIST"), get("TITLE"), getattr(tags, "vendor", ""), "", "", "", get("ENCODER"), get("COMPOSER"),
               get("TRACKNUMBER"), get("DATE"), get("ALBUM"), get("COMMENT"), get("GENRE")]
    out.append("\n".join(row))
sys.stdout.write("\n\n".join(out))
PYEOF

best() {  # command...: the best wall time in seconds of RUNS runs
  b=""
  for r in $(seq "$RUNS"); do
    s=$(date +%s.%N)
    "$@" >/dev/null
    e=$(date +%s.%N)
    t=$(echo "$e - $s" | bc -l)
    if [ -z "$b" ] || [ "$(echo "$t < $b" | bc -l)" = 1 ]; then b=$t; fi
  done
  echo "$b"
}

cd "$WORK/songs"
# Both read every file once first, so the page cache is warm for both.
"$TOOL" ./* >/dev/null
$PY "$WORK/peer.py" . >/dev/null
ZONDA=$(best "$TOOL" ./*)
PEER=$(best $PY "$WORK/peer.py" .)
printf 'files: %d (%s)\n' "$FILES" "$(du -sh . | cut -f1)"
printf 'zonda-tags: %.3f s  (%.0f files/s)\n' "$ZONDA" "$(echo "$FILES / $ZONDA" | bc -l)"
printf 'mutagen:    %.3f s  (%.0f files/s)\n' "$PEER" "$(echo "$FILES / $PEER" | bc -l)"
printf 'zonda-tags is %.1fx the speed of mutagen\n' "$(echo "$PEER / $ZONDA" | bc -l)"
