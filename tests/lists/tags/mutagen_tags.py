#!/usr/bin/python3
"""Writes and dumps song tags with mutagen, the independent reader the tag tests check against.

  mutagen_tags.py id3 FILE VERSION ENCODING   rich ID3v2.VERSION tag (3 or 4), texts in ENCODING (0..3)
  mutagen_tags.py ogg FILE COUNT PICTURE       COUNT extra comments and a PICTURE-byte cover
  mutagen_tags.py other FILE                   the common fields in any format mutagen writes
  mutagen_tags.py dump FILE OUT                every tag item as JSON {key: repr}, plus "_version"
  mutagen_tags.py same BEFORE AFTER KEY...     exit 0 when the dumps agree on every key but those named
  mutagen_tags.py get FILE KEY                 prints the text of one tag item ("" when absent)
"""
import base64
import json
import sys

import mutagen
import mutagen.asf
import mutagen.mp4
from mutagen import id3
from mutagen.flac import Picture


def text(encoding, latin, wide):
    return latin if encoding == 0 else wide


def write_id3(path, version, enc):
    t = id3.ID3()
    t.add(id3.TIT2(encoding=enc, text=[text(enc, "Tïtle çafé", "Title 标题 🎵")]))
    t.add(id3.TPE1(encoding=enc, text=[text(enc, "Ärtist", "Артист"), "Second"]))
    t.add(id3.TALB(encoding=enc, text=[text(enc, "Albüm", "アルバム")]))
    t.add(id3.TRCK(encoding=0, text=["3/12"]))
    if version == 4:
        t.add(id3.TDRC(encoding=0, text=["2003-05-01"]))
    else:
        t.add(id3.TYER(encoding=0, text=["2003"]))
    t.add(id3.TCON(encoding=enc, text=["(17)Rock"]))
    t.add(id3.COMM(encoding=enc, lang="eng", desc="", text=[text(enc, "Main cömment", "Главный")]))
    t.add(id3.COMM(encoding=enc, lang="deu", desc="second", text=["Another comment"]))
    t.add(id3.TCOM(encoding=enc, text=["Compöser"]))
    t.add(id3.TENC(encoding=0, text=["LAME"]))
    t.add(id3.APIC(encoding=enc, mime="image/png", type=3, desc="cover",
                   data=b"\x89PNG\r\n\x1a\n" + bytes(range(256)) * 64))
    t.add(id3.TXXX(encoding=enc, desc="REPLAYGAIN_TRACK_GAIN", text=["-3.20 dB"]))
    t.add(id3.TXXX(encoding=enc, desc="LONG", text=["x" * 300]))  # a frame of more than 127 bytes
    t.add(id3.USLT(encoding=enc, lang="eng", desc="", text="La la la\n" * 40))
    t.save(path, v2_version=version)


def write_ogg(path, count, picture):
    f = mutagen.File(path)
    f["TITLE"] = "Ogg Tïtle"
    f["ARTIST"] = ["First Artist", "Second Artist"]
    f["ALBUM"] = "Ogg Album"
    f["TRACKNUMBER"] = "3/12"
    f["DATE"] = "1999"
    f["GENRE"] = "Trance"
    f["ENCODER"] = "some encoder"
    f["REPLAYGAIN_TRACK_GAIN"] = "-1.00 dB"
    for i in range(count):
        f["X_EXTRA_%03d" % i] = "value %d" % i
    if picture:
        p = Picture()
        p.type = 3
        p.mime = "image/png"
        p.data = bytes((i * 7) & 255 for i in range(picture))
        f["METADATA_BLOCK_PICTURE"] = [base64.b64encode(p.write()).decode("ascii")]
    f.save()


OTHER = {"title": "Other Tïtle", "artist": "Other Ärtist", "album": "Other Album",
         "genre": "Ambient", "date": "2011", "tracknumber": "5/9", "composer": "Other Composer"}


def write_other(path):
    f = mutagen.File(path)
    if isinstance(f, mutagen.asf.ASF):
        names = {"title": "Title", "artist": "Author", "album": "WM/AlbumTitle", "genre": "WM/Genre",
                 "date": "WM/Year", "tracknumber": "WM/TrackNumber", "composer": "WM/Composer"}
        for key, value in OTHER.items():
            f[names[key]] = [value.split("/")[0] if key == "tracknumber" else value]
    elif f.tags is None or isinstance(f.tags, id3.ID3):  # AIFF and WAVE carry an ID3 tag
        if f.tags is None:
            f.add_tags()
        frames = {"title": id3.TIT2, "artist": id3.TPE1, "album": id3.TALB, "genre": id3.TCON,
                  "date": id3.TDRC, "tracknumber": id3.TRCK, "composer": id3.TCOM}
        for key, value in OTHER.items():
            f.tags.add(frames[key](encoding=3, text=[value]))
    elif isinstance(f, mutagen.mp4.MP4):
        if f.tags is None:
            f.add_tags()
        names = {"title": "\xa9nam", "artist": "\xa9ART", "album": "\xa9alb", "genre": "\xa9gen",
                 "date": "\xa9day", "composer": "\xa9wrt"}
        for key, value in OTHER.items():
            if key in names:
                f.tags[names[key]] = [value]
        f.tags["trkn"] = [(5, 9)]
    else:
        f = mutagen.File(path, easy=True)
        for key, value in OTHER.items():
            f[key] = value
    f.save()


def dump(path, out):
    f = mutagen.File(path)
    items = {}
    if f is not None and f.tags is not None:
        if isinstance(f.tags, id3.ID3):
            items["_version"] = repr(f.tags.version)
            for key, frame in f.tags.items():
                items[key] = repr(frame)
        else:
            for key, value in f.tags.items():
                items[key] = repr(value)
    with open(out, "w", encoding="utf-8") as o:
        json.dump(items, o, ensure_ascii=False, sort_keys=True, indent=0)


def same(before, after, ignored):
    with open(before, encoding="utf-8") as a, open(after, encoding="utf-8") as b:
        old, new = json.load(a), json.load(b)
    bad = False
    for key in sorted(set(old) | set(new)):
        if key in ignored or old.get(key) == new.get(key):
            continue
        print("%s: before %s, after %s" % (key, old.get(key, "(absent)")[:200], new.get(key, "(absent)")[:200]))
        bad = True
    sys.exit(1 if bad else 0)


def get(path, key):
    f = mutagen.File(path)
    value = f.tags.get(key) if f is not None and f.tags is not None else None
    if value is None:
        out = ""
    elif isinstance(value, list):
        out = "/".join(value)
    else:
        out = "/".join(str(v) for v in value.text)
    sys.stdout.write(out)


def main():
    cmd, path = sys.argv[1], sys.argv[2]
    if cmd == "id3":
        write_id3(path, int(sys.argv[3]), int(sys.argv[4]))
    elif cmd == "ogg":
        write_ogg(path, int(sys.argv[3]), int(sys.argv[4]))
    elif cmd == "other":
        write_other(path)
    elif cmd == "same":
        same(path, sys.argv[3], set(sys.argv[4:]))
    elif cmd == "get":
        get(path, sys.argv[3])
    elif cmd == "dump":
        dump(path, sys.argv[3])
    else:
        sys.exit("unknown command " + cmd)


if __name__ == "__main__":
    main()
