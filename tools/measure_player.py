#!/usr/bin/env python3
"""Measures the player beside plain mpv, the same way for both, on one X display
under a window manager (Xvfb + openbox, started here):

  first frame   exec until the engine logs its first shown video frame
  cpu           CPU seconds used over 10 s of playing (after 3 s to settle)
  memory        resident set while playing, in MB, and its private part
                (without the pages of shared libraries)
  hand-overs    the running player's resident set before and after N
                hand-overs from later starts (vortaq only)

Medians of --runs runs. Needs xvfb, openbox, mpv and ffmpeg (apt-get install).
Usage: tools/measure_player.py [--build build] [--runs 7] [--handovers 120]
"""
import argparse
import os
import shutil
import signal
import statistics
import subprocess
import sys
import tempfile
import time

FIRST_FRAME = "first video frame after restart shown"


def start_display(workdir):
    for n in range(90, 120):
        if not os.path.exists(f"/tmp/.X11-unix/X{n}"):
            break
    display = f":{n}"
    xvfb = subprocess.Popen(["Xvfb", display, "-screen", "0", "1280x800x24", "-nolisten", "tcp"],
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    for _ in range(100):
        if os.path.exists(f"/tmp/.X11-unix/X{n}"):
            break
        time.sleep(0.05)
    env = dict(os.environ, DISPLAY=display)
    wm = subprocess.Popen(["openbox", "--sm-disable"], env=env,
                          stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    time.sleep(0.5)
    return display, [wm, xvfb]


def cpu_seconds(pid):
    with open(f"/proc/{pid}/stat") as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


def private_mb(pid):
    # Pages of this process alone: shared library code is not counted.
    total = 0
    with open(f"/proc/{pid}/smaps_rollup") as f:
        for line in f:
            if line.startswith(("Private_Clean:", "Private_Dirty:")):
                total += int(line.split()[1])
    return total / 1024


def rss_mb(pid):
    with open(f"/proc/{pid}/status") as f:
        for line in f:
            if line.startswith("VmRSS:"):
                return int(line.split()[1]) / 1024
    return 0.0


class Player:
    def __init__(self, name, build, env, workdir):
        self.name, self.build, self.env, self.workdir = name, build, env, workdir

    def command(self, media, log):
        if self.name == "mpv":
            return ["mpv", "--no-config", f"--log-file={log}", "--keep-open=yes", media], {}
        return [os.path.join(self.build, "bin", "vortaq"), media], {"VORTAQ_ENGINE_LOG": log}

    def launch(self, media, log):
        cmd, extra = self.command(media, log)
        env = dict(self.env, **extra)
        if self.name == "vortaq":
            # A fresh user each time: no settings, no running instance.
            home = tempfile.mkdtemp(dir=self.workdir)
            env.update(XDG_CONFIG_HOME=os.path.join(home, "config"),
                       XDG_RUNTIME_DIR=home, VORTAQ_MESSAGES="stderr")
            self.runtime = home
        return subprocess.Popen(cmd, env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def wait_for_line(path, text, timeout=20):
    end = time.monotonic() + timeout
    while time.monotonic() < end:
        try:
            with open(path, errors="replace") as f:
                if text in f.read():
                    return True
        except FileNotFoundError:
            pass
        time.sleep(0.002)
    return False


def stop(p):
    p.send_signal(signal.SIGTERM)
    try:
        p.wait(10)
    except subprocess.TimeoutExpired:
        p.kill()
        p.wait()


def first_frame(player, media, workdir):
    log = os.path.join(workdir, f"{player.name}-{time.monotonic_ns()}.log")
    t0 = time.monotonic()
    p = player.launch(media, log)
    ok = wait_for_line(log, FIRST_FRAME)
    elapsed = (time.monotonic() - t0) * 1000
    stop(p)
    return elapsed if ok else float("nan")


def playing(player, media, workdir):
    log = os.path.join(workdir, f"{player.name}-{time.monotonic_ns()}.log")
    p = player.launch(media, log)
    wait_for_line(log, FIRST_FRAME)
    time.sleep(3)
    c0 = cpu_seconds(p.pid)
    time.sleep(10)
    cpu = cpu_seconds(p.pid) - c0
    rss = rss_mb(p.pid), private_mb(p.pid)
    stop(p)
    return cpu, rss


def handovers(player, media, count, workdir):
    log = os.path.join(workdir, "handover.log")
    p = player.launch(media, log)
    wait_for_line(log, FIRST_FRAME)
    time.sleep(2)
    before = rss_mb(p.pid)
    env = dict(player.env, XDG_CONFIG_HOME=os.path.join(player.runtime, "config"),
               XDG_RUNTIME_DIR=player.runtime, VORTAQ_MESSAGES="stderr")
    exe = os.path.join(player.build, "bin", "vortaq")
    for _ in range(count):
        subprocess.run([exe, media], env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                       timeout=30)
    time.sleep(3)
    after = rss_mb(p.pid)
    stop(p)
    return before, after


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    here = os.path.dirname(os.path.abspath(__file__))
    ap.add_argument("--build", default=os.path.join(here, "..", "build"))
    ap.add_argument("--runs", type=int, default=7)
    ap.add_argument("--handovers", type=int, default=120)
    ap.add_argument("--sample", default=os.path.join(here, "..", "samples", "sample.mp4"))
    args = ap.parse_args()
    for tool in ("Xvfb", "openbox", "mpv", "ffmpeg"):
        if not shutil.which(tool):
            sys.exit(f"{tool} is missing: apt-get install xvfb openbox mpv ffmpeg")

    workdir = tempfile.mkdtemp(prefix="vortaq-measure-")
    long_clip = os.path.join(workdir, "long.mp4")
    subprocess.run(["ffmpeg", "-v", "error", "-y", "-f", "lavfi", "-i",
                    "testsrc2=size=1280x720:rate=30:duration=30", "-f", "lavfi", "-i",
                    "sine=frequency=440:duration=30", "-c:v", "libx264", "-preset", "veryfast",
                    "-crf", "28", "-pix_fmt", "yuv420p", "-c:a", "aac", "-shortest", long_clip],
                   check=True)
    display, servers = start_display(workdir)
    env = dict(os.environ, DISPLAY=display)
    env.pop("WAYLAND_DISPLAY", None)
    env.pop("QT_QPA_PLATFORM", None)
    players = [Player("mpv", args.build, env, workdir), Player("vortaq", args.build, env, workdir)]
    try:
        print(f"{'':10}{'first frame ms':>16}{'cpu s / 10 s':>14}{'memory MB':>11}{'private MB':>12}")
        for player in players:
            frames = [first_frame(player, os.path.abspath(args.sample), workdir) for _ in range(args.runs)]
            play = [playing(player, long_clip, workdir) for _ in range(args.runs)]
            print(f"{player.name:10}{statistics.median(frames):16.0f}"
                  f"{statistics.median(c for c, _ in play):14.2f}"
                  f"{statistics.median(m[0] for _, m in play):11.0f}"
                  f"{statistics.median(m[1] for _, m in play):12.0f}")
        before, after = handovers(players[1], long_clip, args.handovers, workdir)
        print(f"vortaq memory over {args.handovers} hand-overs: {before:.0f} -> {after:.0f} MB")
    finally:
        for s in servers:
            s.terminate()
        shutil.rmtree(workdir, ignore_errors=True)


if __name__ == "__main__":
    main()
