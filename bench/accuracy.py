#!/usr/bin/env python3
"""Durations, picture sizes, rates and channels of probex beside ffprobe and
MediaInfo, on files made afresh by Debian's encoders (never the fixtures).

    bench/accuracy.py PROBEX [WORKDIR] [--only SUBSTRING]

PROBEX is the built command (build/bin/probex). Every kind is made twice, a
short and a longer file, with lengths that are no whole number of frames.
A duration counts as right within 1 % + 50 ms of the length encoded; the
designed exceptions (ASF in whole seconds, AVI and fragmented MP4 as the video
stream's length) are marked and counted apart. Needs ffmpeg, ffprobe,
mediainfo, lame, flac, sox, oggenc, speexenc, wavpack; a kind whose tool is
missing is skipped with a note.
"""
import json
import os
import re
import shutil
import subprocess
import sys
import tempfile

SHORT, LONG = 2.37, 13.13
V = "-f lavfi -i testsrc2=size={size}:rate={rate}:duration={d}"
A = "-f lavfi -i sine=frequency=440:sample_rate={sr}:duration={d}"
A6 = ("-f lavfi -i 'aevalsrc=0.3*sin(2*PI*300*t)|0.3*sin(2*PI*400*t)|0.3*sin(2*PI*500*t)|"
      "0.3*sin(2*PI*60*t)|0.3*sin(2*PI*600*t)|0.3*sin(2*PI*700*t):c=5.1(side):s={sr}:d={d}'")
FF = "ffmpeg -nostdin -hide_banner -loglevel error -y"

# name, extension, command ({out}, {d}, {tmp}), exception marker
KINDS = [
    ("mp3 lame cbr", "mp3", "sox -n -r 44100 -c 2 {tmp}/a.wav synth {d} sine 440 vol 0.3 && lame --quiet -b 128 {tmp}/a.wav {out}", ""),
    ("mp3 lame vbr", "mp3", "sox -n -r 44100 -c 2 {tmp}/a.wav synth {d} sine 440 vol 0.3 && lame --quiet -V4 {tmp}/a.wav {out}", ""),
    ("mp2", "mp2", FF + " " + A + " -ac 2 -c:a mp2 -b:a 192k {out}", ""),
    ("aac adts", "aac", FF + " " + A + " -ac 2 -c:a aac -b:a 96k -f adts {out}", ""),
    ("ac3 5.1", "ac3", FF + " " + A6 + " -c:a ac3 -b:a 384k {out}", ""),
    ("eac3", "eac3", FF + " " + A + " -ac 2 -c:a eac3 -b:a 128k {out}", ""),
    ("dts", "dts", FF + " " + A6 + " -strict -2 -c:a dca -b:a 768k -f dts {out}", ""),
    ("flac", "flac", "sox -n -r 44100 -c 2 -b 16 {out} synth {d} sine 440 vol 0.3", ""),
    ("ogg vorbis", "ogg", "sox -n -r 44100 -c 2 -b 16 {tmp}/a.wav synth {d} sine 440 vol 0.3 && oggenc -Q -q 2 -o {out} {tmp}/a.wav", ""),
    ("ogg opus", "opus", FF + " " + A + " -ac 2 -c:a libopus -b:a 64k {out}", ""),
    ("ogg speex", "spx", "sox -n -r 16000 -c 1 -b 16 {tmp}/a.wav synth {d} sine 440 vol 0.3 && speexenc --quiet {tmp}/a.wav {out}", ""),
    ("ogg flac", "oga", FF + " " + A + " -ac 2 -c:a flac {out}", ""),
    ("wavpack", "wv", "sox -n -r 44100 -c 2 -b 16 {tmp}/a.wav synth {d} sine 440 vol 0.3 && wavpack -q -y {tmp}/a.wav -o {out}", ""),
    ("tta", "tta", FF + " " + A + " -ac 2 -c:a tta {out}", ""),
    ("wav pcm", "wav", FF + " " + A + " -ac 2 -c:a pcm_s16le {out}", ""),
    ("wav rf64", "wav", FF + " " + A + " -ac 2 -c:a pcm_s24le -rf64 always {out}", ""),
    ("aiff", "aiff", FF + " " + A + " -ac 2 {out}", ""),
    ("aifc ima4", "aifc", "sox -n -r 44100 -c 2 -b 16 {tmp}/a.wav synth {d} sine 440 vol 0.3 && " + FF + " -i {tmp}/a.wav -c:a adpcm_ima_qt -f aiff {out}", ""),
    ("au", "au", FF + " " + A + " -ac 1 -c:a pcm_mulaw {out}", ""),
    ("wma", "wma", FF + " " + A + " -ac 2 -c:a wmav2 -b:a 64k {out}", "asf"),
    ("m4a aac", "m4a", FF + " " + A + " -ac 2 -c:a aac -b:a 96k {out}", ""),
    ("m4a alac", "m4a", FF + " " + A + " -ac 2 -c:a alac {out}", ""),
    ("mpc sv8", "mpc", "sox -n -r 44100 -c 2 -b 16 {tmp}/a.wav synth {d} sine 440 vol 0.3 && mpcenc --silent --overwrite {tmp}/a.wav {out}", ""),
    ("caf alac", "caf", FF + " " + A + " -ac 2 -c:a alac {out}", ""),
    ("caf pcm", "caf", FF + " " + A + " -ac 2 -c:a pcm_s16be {out}", ""),
    ("mp4 h264 aac", "mp4", FF + " " + V + " " + A + " -c:v libx264 -preset ultrafast -c:a aac -shortest {out}", ""),
    ("mp4 fragmented", "mp4", FF + " " + V + " " + A + " -c:v libx264 -preset ultrafast -c:a aac -shortest -movflags frag_keyframe+empty_moov {out}", "fragmented"),
    ("mov mjpeg pcm", "mov", FF + " " + V + " " + A + " -c:v mjpeg -c:a pcm_s16le -shortest {out}", ""),
    ("3gp h263 amr", "3gp", FF + " " + V.replace("{size}", "176x144") + " -f lavfi -i sine=frequency=440:sample_rate=8000:duration={d} -c:v h263 -c:a aac -ar 8000 -ac 1 -shortest {out}", ""),
    ("mkv h264 ac3", "mkv", FF + " " + V + " " + A + " -c:v libx264 -preset ultrafast -c:a ac3 -shortest {out}", ""),
    ("webm vp8 vorbis", "webm", FF + " " + V + " " + A + " -c:v libvpx -deadline realtime -c:a libvorbis -shortest {out}", ""),
    ("webm vp9 opus", "webm", FF + " " + V + " " + A + " -c:v libvpx-vp9 -deadline realtime -cpu-used 8 -c:a libopus -shortest {out}", ""),
    ("avi mpeg4 mp3", "avi", FF + " " + V + " " + A + " -c:v mpeg4 -c:a libmp3lame -shortest {out}", "avi"),
    ("flv h264 aac", "flv", FF + " " + V + " " + A + " -c:v libx264 -preset ultrafast -c:a aac -shortest {out}", ""),
    ("ts mpeg2 mp2", "ts", FF + " " + V + " " + A + " -c:v mpeg2video -c:a mp2 -shortest {out}", ""),
    ("m2ts h264 ac3", "m2ts", FF + " " + V + " " + A + " -c:v libx264 -preset ultrafast -c:a ac3 -shortest -mpegts_m2ts_mode 1 {out}", ""),
    ("mpg mpeg1", "mpg", FF + " " + V + " " + A + " -c:v mpeg1video -c:a mp2 -shortest -f mpeg {out}", ""),
    ("vob mpeg2 ac3", "vob", FF + " " + V + " " + A + " -c:v mpeg2video -c:a ac3 -shortest -f vob {out}", ""),
    ("ogv theora vorbis", "ogv", FF + " " + V + " " + A + " -c:v libtheora -c:a libvorbis -shortest {out}", ""),
    ("rm rv10 ac3", "rm", FF + " " + V.replace("{size}", "176x144") + " " + A + " -c:v rv10 -c:a ac3 -shortest {out}", ""),
    ("wmv wmv2 wma", "wmv", FF + " " + V + " " + A + " -c:v wmv2 -c:a wmav2 -shortest {out}", "asf"),
    # today's codecs
    ("mp4 hevc", "mp4", FF + " " + V + " -c:v libx265 -preset ultrafast -x265-params log-level=error -tag:v hvc1 {out}", ""),
    ("mkv hevc 10bit", "mkv", FF + " " + V + " -c:v libx265 -preset ultrafast -pix_fmt yuv420p10le -x265-params log-level=error {out}", ""),
    ("ts hevc aac", "ts", FF + " " + V + " " + A + " -c:v libx265 -preset ultrafast -x265-params log-level=error -c:a aac -shortest {out}", ""),
    ("mp4 av1", "mp4", FF + " " + V + " -c:v libsvtav1 -preset 12 {out}", ""),
    ("webm av1 opus", "webm", FF + " " + V + " " + A + " -c:v libsvtav1 -preset 12 -c:a libopus -shortest {out}", ""),
    ("mp4 vp9", "mp4", FF + " " + V + " -c:v libvpx-vp9 -deadline realtime -cpu-used 8 {out}", ""),
    ("mkv vp8", "mkv", FF + " " + V + " -c:v libvpx -deadline realtime {out}", ""),
    ("mp4 opus", "mp4", FF + " " + A.replace("{sr}", "48000") + " -ac 2 -c:a libopus {out}", ""),
    ("mkv opus", "mkv", FF + " " + A.replace("{sr}", "48000") + " -ac 2 -c:a libopus {out}", ""),
    ("mp4 eac3", "mp4", FF + " " + A6 + " -c:a eac3 -b:a 384k {out}", ""),
    ("mkv eac3", "mkv", FF + " " + A + " -ac 2 -c:a eac3 {out}", ""),
    ("ts eac3", "ts", FF + " " + A + " -ac 2 -c:a eac3 {out}", ""),
    ("mp4 ac3", "mp4", FF + " " + A6 + " -c:a ac3 {out}", ""),
    ("mp4 flac", "mp4", FF + " " + A + " -ac 2 -c:a flac -strict -2 {out}", ""),
    ("mkv flac", "mkv", FF + " " + A + " -ac 2 -c:a flac {out}", ""),
    ("mkv alac", "mkv", FF + " " + A + " -ac 2 -c:a alac {out}", ""),
    ("mkv truehd", "mkv", FF + " " + A6 + " -strict -2 -c:a truehd {out}", ""),
    ("ts truehd", "ts", FF + " " + A6 + " -strict -2 -c:a truehd {out}", ""),
    ("mkv dts", "mkv", FF + " " + A6 + " -strict -2 -c:a dca {out}", ""),
    ("mkv pcm", "mkv", FF + " " + A + " -ac 2 -c:a pcm_s24le {out}", ""),
    ("mov pcm s24", "mov", FF + " " + A + " -ac 2 -c:a pcm_s24be {out}", ""),
    ("mov pcm f32", "mov", FF + " " + A + " -ac 2 -c:a pcm_f32be {out}", ""),
    ("mp4 mp3", "mp4", FF + " " + A + " -ac 2 -c:a libmp3lame {out}", ""),
]
IMAGES = [
    ("png", "png", FF + " -f lavfi -i testsrc2=size=333x217:rate=1 -frames:v 1 {out}"),
    ("apng", "png", FF + " -f lavfi -i testsrc2=size=96x64:rate=5:duration=1 -plays 0 -f apng {out}"),
    ("webp", "webp", FF + " -f lavfi -i testsrc2=size=333x217:rate=1 -frames:v 1 -c:v libwebp {out}"),
    ("webp lossless", "webp", FF + " -f lavfi -i testsrc2=size=97x65:rate=1 -frames:v 1 -c:v libwebp -lossless 1 {out}"),
]


def run(cmd):
    return subprocess.run(cmd, shell=True, capture_output=True, text=True)


def channels_in(line):
    if re.search(r"\b(JointStereo|Stereo|DualChannel)\b", line):
        return 2
    if re.search(r"\bMono\b", line):
        return 1
    m = re.search(r"(\d+)\.(\d)ch", line)
    if m:
        return int(m.group(1)) + int(m.group(2))
    m = re.search(r"(\d+)ch", line)
    return int(m.group(1)) if m else None


def main():
    args = [a for a in sys.argv[1:] if not a.startswith("--")]
    only = None
    if "--only" in sys.argv:
        only = sys.argv[sys.argv.index("--only") + 1]
        args = [a for a in args if a != only]
    if not args:
        sys.exit(__doc__)
    probex = os.path.abspath(args[0])
    work = args[1] if len(args) > 1 else tempfile.mkdtemp(prefix="accuracy-")
    os.makedirs(work, exist_ok=True)
    tmp = tempfile.mkdtemp()
    rows = []
    for name, ext, cmd, exc in KINDS:
        if only and only not in name:
            continue
        for d in (SHORT, LONG):
            out = os.path.join(work, "%s_%s.%s" % (name.replace(" ", "_"), str(d).replace(".", "_"), ext))
            if not os.path.exists(out):
                r = run(cmd.format(out=out, d=d, tmp=tmp, size="160x120", rate=25, sr=44100))
                if r.returncode or not os.path.exists(out):
                    print("skip %s %.2f: %s" % (name, d, (r.stderr.strip().splitlines() or ["failed"])[-1]))
                    continue
            rows.append((name, d, out, exc))
    for name, ext, cmd in IMAGES:
        if only and only not in name:
            continue
        out = os.path.join(work, "%s.%s" % (name.replace(" ", "_"), ext))
        if not os.path.exists(out) and run(cmd.format(out=out)).returncode:
            print("skip", name)
            continue
        rows.append((name, None, out, "image"))
    shutil.rmtree(tmp, ignore_errors=True)

    report = json.loads(run("%s --json %s" % (probex, " ".join("'%s'" % r[2] for r in rows))).stdout)
    by_path = {o["path"]: o for o in report}
    counts = {"probex": 0, "ffprobe": 0, "mediainfo": 0}
    judged = 0
    field_misses = []
    for name, d, path, exc in rows:
        o = by_path.get(path, {})
        ff = json.loads(run("ffprobe -v error -show_entries format=duration:stream=codec_type,width,height,"
                            "sample_rate,channels -of json '%s'" % path).stdout or "{}")
        lines = o.get("video", []) + o.get("audio", [])
        for s in ff.get("streams", []):
            if s.get("codec_type") == "video" and s.get("width"):
                size = "%dx%d" % (s["width"], s["height"])
                if not any(size in l for l in o.get("video", [])):
                    field_misses.append("%s: size %s not in %s" % (name, size, o.get("video")))
            if s.get("codec_type") == "audio" and s.get("sample_rate"):
                rate = "%.2fkHz" % (int(s["sample_rate"]) / 1000)
                audio = o.get("audio", [])
                if not any(rate in l for l in audio):
                    field_misses.append("%s: rate %s not in %s" % (name, rate, audio))
                ch = [channels_in(l) for l in audio]
                if s.get("channels") and s["channels"] not in ch:
                    field_misses.append("%s: %d channels, probex %s" % (name, s["channels"], audio))
        if d is None:
            print("%-20s %-6s %s" % (name, "", " | ".join(lines) or o.get("errorText")))
            continue
        mi = run("mediainfo --Inform='General;%%Duration%%' '%s'" % path).stdout.strip()
        values = {"probex": o.get("duration") if o.get("duration") is not None else -1, "ffprobe": float(ff.get("format", {}).get("duration", -1) or -1),
                  "mediainfo": float(mi) / 1000 if mi else -1}
        ok = {k: abs(v - d) <= d * 0.01 + 0.05 for k, v in values.items()}
        if not exc:
            judged += 1
            for k in counts:
                counts[k] += ok[k]
        mark = "" if ok["probex"] else (" (designed: %s)" % exc if exc else "  <-- probex off")
        print("%-20s %6.2f  probex %7.3f  ffprobe %7.3f  mediainfo %7.3f%s" %
              (name, d, values["probex"], values["ffprobe"], values["mediainfo"], mark))
    print()
    for k, v in counts.items():
        print("%-9s durations within 1 %% + 50 ms: %d of %d (%.0f %%)" % (k, v, judged, 100.0 * v / max(judged, 1)))
    print("picture sizes, rates and channels against ffprobe: %d misses" % len(field_misses))
    for m in field_misses:
        print("  " + m)


if __name__ == "__main__":
    main()
