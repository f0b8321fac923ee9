#!/usr/bin/env python3
# SPDX-FileCopyrightText: 2026 The Tolvane developers
# SPDX-License-Identifier: GPL-3.0-or-later
"""Where a take begins and ends against the press and the release of the record toggle.

Runs the real program on a private X display against a private sound server and presses its toggle
with the keyboard, as a user does. On a null sink kept running (silence played into it all along) a
tone starts 1.0 s after the press and stops 1.0 s before the release; parecord, started at the
press on the same sink, is the reference. On PulseAudio's sine source (2 s blocks) the take's
length is set against the time held. Prints one row per take: how late the take began after the press and ended after the release, in
milliseconds (the tone taken to be heard exactly 1.0 s after the press; parecord's start measured the
same way shows what that costs), and the time held less the audio recorded. With --freeze the program
is stopped (SIGSTOP) that many seconds, 2 s into the take, and continued: a message box must tell
what is missing; a picture of the screen is kept for each box.

Needs Xvfb, openbox, xdotool, ImageMagick's import, pactl/parecord/paplay and, for PipeWire,
what tests/support/pipewire-server needs.

  bench/capture/exact_takes.py [--build DIR] [--sources pulse-null,pulse-sine,pipewire-null]
                               [--delays 0.3,1.3] [--hold 5.1] [--freeze SECONDS]
"""
import argparse
import array
import math
import os
import shutil
import signal
import subprocess
import sys
import tempfile
import time
import wave

HERE = os.path.dirname(os.path.abspath(__file__))
TOP = os.path.dirname(os.path.dirname(HERE))
RATE = 44100
LEAD_IN_BYTES = 10 * 35280  # the window's default, 44100 Hz stereo


def run(args, env, check=True):
    return subprocess.run(args, env=env, check=check, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)


class Display:
    def __init__(self):
        self.xvfb = subprocess.Popen(["Xvfb", "-displayfd", "1", "-screen", "0", "1024x768x24", "-nolisten", "tcp"],
                                     stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        self.name = ":" + self.xvfb.stdout.readline().decode().strip()
        env = dict(os.environ, DISPLAY=self.name)
        self.wm = subprocess.Popen(["openbox"], env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        for _ in range(200):
            if "window id" in run(["xprop", "-root", "_NET_SUPPORTING_WM_CHECK"], env, check=False).stdout:
                break
            time.sleep(0.05)

    def close(self):
        for p in (self.wm, self.xvfb):
            p.terminate()
            p.wait()


class Server:
    """A private PulseAudio or PipeWire with a null sink of its own kept running."""

    def __init__(self, kind, root):
        self.kind = kind
        self.dir = os.path.join(root, kind)
        script = "pulse-server" if kind == "pulse" else "pipewire-server"
        self.script = os.path.join(TOP, "tests", "support", script)
        subprocess.run([self.script, "start", self.dir], check=True, stdout=subprocess.DEVNULL)
        if os.path.exists(os.path.join(self.dir, "unavailable")):
            raise RuntimeError("PipeWire unavailable: " + open(os.path.join(self.dir, "unavailable")).read())
        native = "native" if kind == "pulse" else "runtime/pulse/native"
        self.env = dict(os.environ, PULSE_SERVER="unix:" + os.path.join(self.dir, native))
        run(["pactl", "load-module", "module-null-sink", "sink_name=bench_take", "rate=44100", "channels=2"], self.env)
        # Silence played into the sink all along, as a sound card runs.
        self.silence = subprocess.Popen(["pacat", "--playback", "--raw", "--format=s16le", "--rate=44100",
                                         "--channels=2", "--device=bench_take"],
                                        stdin=open("/dev/zero", "rb"), env=self.env, stdout=subprocess.DEVNULL,
                                        stderr=subprocess.DEVNULL)
        time.sleep(1)

    def use(self, source):
        run(["pactl", "set-default-source", source], self.env)

    def close(self):
        self.silence.kill()
        self.silence.wait()
        subprocess.run([self.script, "stop", self.dir], stdout=subprocess.DEVNULL)


def tone_file(path, seconds):
    samples = array.array("h")
    for n in range(int(seconds * RATE)):
        v = int(16000 * math.sin(2 * math.pi * 1000 * n / RATE))
        samples.extend((v, v))
    with wave.open(path, "wb") as w:
        w.setnchannels(2)
        w.setsampwidth(2)
        w.setframerate(RATE)
        w.writeframes(samples.tobytes())


def audio_of(path, skip):
    with open(path, "rb") as f:
        data = f.read()
    # Our take: 46-byte header; parecord: find the data chunk.
    at = data.find(b"data") + 8
    pcm = array.array("h", data[at + skip:])
    left = pcm[0::2]
    return left


def tone_span(left, threshold=4000):
    first = next((i for i, v in enumerate(left) if abs(v) > threshold), None)
    if first is None:
        return None, None
    last = len(left) - 1 - next(i for i, v in enumerate(reversed(left)) if abs(v) > threshold)
    return first / RATE, (last + 1) / RATE


def xdotool(display, *args):
    return run(["xdotool", *args], dict(os.environ, DISPLAY=display.name), check=False).stdout.strip()


def one_take(args, display, server, source, delay, hold, freeze, work, tone):
    folder = tempfile.mkdtemp(dir=work)
    program = os.path.join(folder, "tolvane")
    os.link(os.path.join(args.build, "recorder", "tolvane"), program)
    env = dict(server.env, DISPLAY=display.name, QT_QPA_PLATFORM="xcb", NO_AT_BRIDGE="1",
               QT_LINUX_ACCESSIBILITY_ALWAYS_ON="0")
    log = open(os.environ.get("TOLVANE_BENCH_LOG", os.devnull), "w")
    recorder = subprocess.Popen([program], cwd=folder, env=env, stdout=log, stderr=subprocess.STDOUT)
    window = xdotool(display, "search", "--sync", "--onlyvisible", "--pid", str(recorder.pid)).split("\n")[0]
    appeared = time.monotonic()
    time.sleep(max(0.0, appeared + delay - time.monotonic()))
    reference = None
    if tone:
        reference = subprocess.Popen(["parecord", "--format=s16le", "--rate=44100", "--channels=2",
                                      "--file-format=wav", "--device=" + source, os.path.join(folder, "ref.wav")],
                                     env=server.env)
    pressed = time.monotonic()
    xdotool(display, "key", "--window", window, "space")
    player = None
    if tone:
        time.sleep(max(0.0, pressed + 1.0 - time.monotonic()))
        player = subprocess.Popen(["paplay", "--device=bench_take", "--latency-msec=20", tone],
                                  env=server.env)
    if freeze:
        time.sleep(max(0.0, pressed + 2.0 - time.monotonic()))
        recorder.send_signal(signal.SIGSTOP)
        time.sleep(freeze)
        recorder.send_signal(signal.SIGCONT)
    time.sleep(max(0.0, pressed + hold - time.monotonic()))
    released = time.monotonic()
    xdotool(display, "key", "--window", window, "space")
    if reference:
        reference.send_signal(signal.SIGINT)
        reference.wait()
    held = released - pressed
    # The stop waits for the source's last block, then boxes, if any, come up.
    time.sleep(3.5)
    # Windows of the program beyond its main window are message boxes; a picture of the screen
    # shows what they say.
    found = xdotool(display, "search", "--onlyvisible", "--pid", str(recorder.pid))
    boxes = max(0, len([w for w in found.split("\n") if w]) - 1)
    shot = None
    if boxes > 0:
        shot = os.path.join(args.shots, f"box-{len(os.listdir(args.shots))}.png")
        subprocess.run(["import", "-window", "root", shot], env=dict(os.environ, DISPLAY=display.name))
    recorder.send_signal(signal.SIGTERM)
    recorder.wait()
    if player:
        player.wait()
    log.close()
    takes = [n for n in os.listdir(folder) if n.endswith(".WAV")]
    take = os.path.join(folder, takes[0])
    left = audio_of(take, LEAD_IN_BYTES)
    length = len(left) / RATE
    row = {"delay": delay, "held": held, "len": length, "boxes": boxes, "shot": shot}
    if tone:
        onset, end = tone_span(left)
        ref = audio_of(os.path.join(folder, "ref.wav"), 0)
        ref_onset, ref_end = tone_span(ref)
        row.update(onset=onset, end=end, ref_onset=ref_onset, ref_len=len(ref) / RATE)
        # The tone is heard 1.0 s after the press: a take that began late has it earlier.
        if onset is not None:
            row.update(start=1.0 - onset, finish=1.0 - onset + length - held)
    return row


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", default=os.path.join(TOP, "build", "bench"))
    parser.add_argument("--sources", default="pulse-null,pulse-sine,pipewire-null")
    parser.add_argument("--delays", default="0.3,1.3")
    parser.add_argument("--hold", type=float, default=5.1)
    parser.add_argument("--freeze", type=float, default=0.0)
    parser.add_argument("--shots", default=tempfile.gettempdir())
    args = parser.parse_args()
    if not os.access(os.path.join(args.build, "recorder", "tolvane"), os.X_OK):
        subprocess.run(["cmake", "-S", TOP, "-B", args.build, "-G", "Ninja", "-DCMAKE_BUILD_TYPE=Release",
                        "-DBUILD_TESTING=OFF"], check=True, stdout=subprocess.DEVNULL)
        subprocess.run(["cmake", "--build", args.build, "--target", "tolvane"], check=True, stdout=subprocess.DEVNULL)
    work = tempfile.mkdtemp(prefix="tolvane-exact-")
    display = Display()
    tone = os.path.join(work, "tone.wav")
    tone_file(tone, args.hold - 2.0)
    print(f"{'source':14} {'press s':>7} {'held s':>7} {'audio s':>8} {'missing s':>9} {'start ms':>9} "
          f"{'end ms':>7} {'parecord start ms':>17} {'boxes':>5}")
    try:
        for name in args.sources.split(","):
            kind, what = name.split("-")
            server = Server(kind, work)
            try:
                source = "bench_take.monitor" if what == "null" else "tolvane_sine"
                server.use(source)
                for delay in (float(d) for d in args.delays.split(",")):
                    row = one_take(args, display, server, source, delay, args.hold, args.freeze, work,
                                   tone if what == "null" else None)
                    fmt = lambda k: f"{row[k] * 1000:+.0f}" if row.get(k) is not None else "-"
                    ref = f"{(1.0 - row['ref_onset']) * 1000:+.0f}" if row.get("ref_onset") is not None else "-"
                    print(f"{name:14} {delay:7.1f} {row['held']:7.3f} {row['len']:8.3f} "
                          f"{row['held'] - row['len']:9.3f} {fmt('start'):>9} {fmt('finish'):>7} {ref:>17} "
                          f"{row['boxes']:5}" + (f"  {row['shot']}" if row["shot"] else ""), flush=True)
            finally:
                server.close()
    finally:
        display.close()
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
