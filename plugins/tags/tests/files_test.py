"""Tag plug-in on real files: fixtures encoded with ffmpeg (kept in
tests/fixtures/tags; VRTQTAGS_MAKE_FIXTURES=1 makes them again), tags written
by hand where no tool writes them (Shift_JIS ID3v1, APEv2, RIFF-MP3), hostile
files that must fail cleanly, and the public sample files when present."""
import os
import shutil
import stat
import struct
import subprocess
import sys

reader, library, work = sys.argv[1:4]
os.makedirs(work, exist_ok=True)
failures = []
fixtures = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "..", "tests", "fixtures", "tags")
making = os.environ.get("VRTQTAGS_MAKE_FIXTURES") == "1"


def read(path):
    r = subprocess.run([reader, path], capture_output=True, timeout=60)
    if r.returncode != 0:
        return {"exit": str(r.returncode)}
    out = {}
    for line in r.stdout.decode("utf-8").splitlines():
        k, _, v = line.partition("=")
        out[k] = v
    return out


def check(name, got, want):
    for k, v in want.items():
        if v is None:
            if k in got:
                failures.append(f"{name}: {k} should be absent, is {got[k]!r}")
        elif callable(v):
            if not v(got.get(k)):
                failures.append(f"{name}: {k}={got.get(k)!r} fails its check")
        elif got.get(k) != v:
            failures.append(f"{name}: {k}={got.get(k)!r}, want {v!r}")


def fixture(name):
    return os.path.normpath(os.path.join(fixtures, name))


def encode(name, args, video=False):
    path = fixture(name)
    if not making:
        return path
    inputs = ["-f", "lavfi", "-i", "sine=frequency=440:duration=1"]
    if video:
        inputs = ["-f", "lavfi", "-i", "testsrc=size=320x240:rate=10:duration=1"] + inputs
    subprocess.run(["ffmpeg", "-nostdin", "-bitexact", "-loglevel", "error", "-y"] + inputs + args + [path],
                   check=True, timeout=120)
    return path


def meta(title, artist):
    return ["-metadata", f"title={title}", "-metadata", f"artist={artist}"]


def id3v1(title, artist):
    def field(b):
        return (b + b"\0" * 30)[:30]
    return b"TAG" + field(title) + field(artist) + b"\0" * 30 + b"2020" + b"\0" * 30 + b"\xff"


def ape_tag(items):
    body = b""
    for key, value in items:
        v = value.encode("utf-8")
        body += struct.pack("<II", len(v), 0) + key.encode() + b"\0" + v

    def hf(flags):
        return b"APETAGEX" + struct.pack("<IIII", 2000, len(body) + 32, len(items), flags) + b"\0" * 8
    return hf(0xA0000000) + body + hf(0x80000000)


def riff_info(pairs):
    body = b"INFO"
    for key, value in pairs:
        data = value + b"\0"
        if len(data) % 2:
            data += b"\0"
        body += key + struct.pack("<I", len(value) + 1) + data
    return b"LIST" + struct.pack("<I", len(body)) + body


def riff(form, body):
    return b"RIFF" + struct.pack("<I", 4 + len(body)) + form + body


def write(name, data):
    path = os.path.join(work, name)
    with open(path, "wb") as f:
        f.write(data)
    return path


bare = open(encode("bare.mp3", ["-id3v2_version", "0", "-write_xing", "0"]), "rb").read()
cases = [
    ("ID3v2", encode("v2.mp3", meta("Song", "Band") + ["-id3v2_version", "3"]),
     {"type": "1", "bits": "0x2", "INAM": "Song", "IART": "Band", "INAM_v2": "Song", "VFMT": None}),
    ("ID3v1 Shift_JIS", write("v1sjis.mp3", bare + id3v1("夜明けの歌".encode("cp932"), "歌手".encode("cp932"))),
     {"type": "1", "bits": "0x1", "INAM": "夜明けの歌", "IART": "歌手", "INAM_v1": "夜明けの歌"}),
    ("ID3v1 Latin-1", write("v1latin.mp3", bare + id3v1("Caf\xe9".encode("latin-1"), b"Band")),
     {"type": "1", "INAM": "Café", "IART": "Band"}),
    ("ID3v2 before ID3v1", write("v1v2.mp3", open(fixture("v2.mp3"), "rb").read()
                                 + id3v1(b"Old", b"Older")),
     {"type": "1", "bits": "0x3", "INAM": "Song", "IART": "Band", "INAM_v1": "Old"}),
    ("APEv2", write("ape.mp3", bare + ape_tag([("Title", "Äpe Song"), ("Artist", "Ape Band")])),
     {"type": "1", "bits": "0x200", "INAM": "Äpe Song", "IART": "Ape Band", "INAM_APE": "Äpe Song"}),
    ("RIFF-MP3", write("song.rmp", riff(b"RMP3", b"data" + struct.pack("<I", len(bare)) + bare
                                         + b"\0" * (len(bare) % 2)
                                         + riff_info([(b"INAM", b"Rmp"), (b"IART", b"Rmp Band")]))),
     {"type": "1", "bits": "0x4", "INAM": "Rmp", "IART": "Rmp Band"}),
    ("RIFF INFO", encode("info.wav", meta("Wave", "Wave Band")),
     {"type": "2", "INAM": "Wave", "IART": "Wave Band", "VFMT": None}),
    ("Ogg Vorbis", encode("v.ogg", ["-c:a", "libvorbis"] + meta("Vorbis", "Vorbis Band")),
     {"type": "7", "INAM": "Vorbis", "IART": "Vorbis Band"}),
    ("Opus", encode("o.opus", ["-c:a", "libopus"] + meta("Opus", "Opus Band")),
     {"type": "7", "INAM": "Opus", "IART": "Opus Band"}),
    ("FLAC", encode("f.flac", meta("Flac", "Flac Band")),
     {"type": "7", "INAM": "Flac", "IART": "Flac Band"}),
    ("MP4 audio", encode("a.m4a", ["-c:a", "aac"] + meta("Mp4 Song", "Mp4 Band")),
     {"type": "9", "INAM": "Mp4 Song", "IART": "Mp4 Band", "VFMT": None}),
    ("MP4 video", encode("v.mp4", ["-c:v", "mpeg4", "-c:a", "aac"] + meta("Clip", "Director"), video=True),
     {"type": "9", "INAM": "Clip", "IART": "Director", "VFMT": "mp4v 320x240"}),
    ("AVI", encode("v.avi", ["-c:v", "mpeg4", "-c:a", "mp3"] + meta("Avi Clip", "Avi Band"), video=True),
     {"type": "3", "INAM": "Avi Clip", "IART": "Avi Band", "VFMT": "FMP4 320x240"}),
    ("WMA", encode("a.wma", ["-c:a", "wmav2"] + meta("Wma", "Wma Band")),
     {"type": "5", "INAM": "Wma", "IART": "Wma Band", "VFMT": None}),
    ("WMV", encode("v.wmv", ["-c:v", "wmv2", "-c:a", "wmav2"] + meta("Wmv", "Wmv Band"), video=True),
     {"type": "5", "INAM": "Wmv", "VFMT": "WMV2 320x240"}),
]
for name, path, want in cases:
    check(name, read(path), want)
# A path that is no UTF-8 reaches the file by its bytes.
odd = os.path.join(work.encode(), b"caf\xe9.mp3")
shutil.copyfile(fixture("v2.mp3"), odd)
r = subprocess.run([reader.encode(), odd], capture_output=True, timeout=60)
if b"INAM=Song" not in r.stdout:
    failures.append("non-UTF-8 path: not read")
# Cut files load or fail, but never crash.
for src in ("v.mp4", "v.avi", "v.wmv", "f.flac", "v2.mp3"):
    data = open(fixture(src), "rb").read()
    for cut in (4, 12, 40, 100, len(data) // 2):
        got = read(write("cut_" + src, data[:cut]))
        if "exit" in got:
            failures.append(f"cut {src} at {cut}: exit {got['exit']}")

# Hostile and odd inputs: fail or load cleanly, never crash or hang.
hostile = {
    "huge_id3.mp3": b"ID3\x03\x00\x00\x7f\x7f\x7f\x7f" + b"\0" * 64 + id3v1(b"Only v1", b"X"),
    "zero_chunks.avi": b"RIFF\0\0\0\0AVI " + b"LIST\0\0\0\0" * 8,
    "deep.mp4": b"\0\0\0\x10ftypisom\0\0\0\0" + b"\0\0\x01\0moov" * 40,
    "asf_loop.wma": bytes.fromhex("3026B2758E66CF11A6D900AA0062CE6C") + struct.pack("<QIH", 1 << 40, 0xFFFFFFFF, 0),
    "garbage.mp3": bytes(range(256)) * 8,
    "empty.flac": b"",
}
for name, data in hostile.items():
    got = read(write(name, data))
    if "exit" in got:
        failures.append(f"{name}: exit {got['exit']}")
check("huge ID3v2 skipped", read(os.path.join(work, "huge_id3.mp3")), {"bits": "0x1", "INAM": "Only v1"})
fifo = os.path.join(work, "fifo.mp3")
if not os.path.exists(fifo):
    os.mkfifo(fifo)
check("FIFO", read(fifo), {"load": "failed"})
check("folder", read(work), {"load": "failed"})
check("missing", read(os.path.join(work, "none.mp3")), {"load": "failed"})

# The public sample files: every one loads or fails without a crash.
for root in ("/work/shared/public-media/taglib", "/work/shared/public-media/music-metadata"):
    if not os.path.isdir(root):
        print(f"{root} absent: skipped")
        continue
    for dirpath, _, files in os.walk(root):
        for f in files:
            p = os.path.join(dirpath, f)
            if stat.S_ISREG(os.stat(p).st_mode):
                got = read(p)
                if "exit" in got:
                    failures.append(f"{p}: exit {got['exit']}")

# Only the seven entry points leave the library.
nm = subprocess.run(["nm", "-D", "--defined-only", library], capture_output=True, text=True)
exported = sorted(l.split()[-1] for l in nm.stdout.splitlines() if " T " in l)
want = sorted(["mp3infp_GetVer", "mp3infp_Load", "mp3infp_LoadW", "mp3infp_GetType",
               "mp3infp_mp3_GetTagType", "mp3infp_GetValue", "mp3infp_GetValueW"])
if exported != want:
    failures.append(f"exports: {exported}")

for f in failures:
    print("FAIL", f)
sys.exit(1 if failures else 0)
