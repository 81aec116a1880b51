#!/usr/bin/env python3
"""The Windows window (tonefield.exe) under wine, end to end.

Run on a private X desktop (scripts/with-x-desktop) with LANG=ja_JP.UTF-8,
the IPA Gothic font and a wine prefix of the build folder's own. Each case
starts the program as a user would, with the disk sound device, drives it
with xdotool (real X key and button events through wine's X11 driver),
looks at it with window_probe and checks what it played:

  - caption "Tonefield ", client 630x223, every key and control where the
    core's geometry and the panel's table put them; Japanese captions are
    drawn as glyphs, not as boxes;
  - Z held through the X server's auto-repeat plays key 0 once and whole,
    the key red while held and white after; the comma key plays key 12; a
    click on the lowest white key plays key 0;
  - song 1 played in the window is tonefield-render.exe --song 1 sample for
    sample;
  - the default tone saved through the save dialog under a Japanese name
    (音色テスト.wav) loads back through the open dialog after another sample;
  - tonefield.exe runs alone in a folder (no DLL beside it); a second
    start with a sample's (Japanese) name brings the first window to the
    front, hands the file over and exits; the first window opens it.

Exit 77 (skip) when wine, xdotool or the Japanese locale is missing.
"""
import argparse
import os
import zlib
import shutil
import struct
import subprocess
import sys
import time

RATE = 11025  # the default tone's rate
failures = []


def check(condition, what):
    print(("ok    " if condition else "FAIL  ") + what, flush=True)
    if not condition:
        failures.append(what)
    return condition


def windows_path(path):
    return "Z:" + os.path.abspath(path).replace("/", "\\")


class Wine:
    def __init__(self, prefix, work, sound=False):
        self.env = dict(os.environ)
        self.env.update({
            "WINEPREFIX": os.path.abspath(prefix),
            "WINEDEBUG": "-all",
            "WINEDLLOVERRIDES": "mscoree,mshtml=;winemenubuilder.exe=d",
            "LANG": "ja_JP.UTF-8", "LC_ALL": "ja_JP.UTF-8",
            "TONEFIELD_AUDIO_DRIVER": "disk",
        })
        if sound:  # the real sound system: wine's driver for the sound server of the environment
            del self.env["TONEFIELD_AUDIO_DRIVER"]
            self.env.pop("SDL_AUDIODRIVER", None)
        self.work = work
        os.makedirs(prefix, exist_ok=True)
        if not os.path.exists(os.path.join(prefix, "system.reg")):
            subprocess.run(["wineboot", "--init"], env=self.env, stdout=subprocess.DEVNULL,
                           stderr=subprocess.DEVNULL, timeout=180)
            subprocess.run(["wineserver", "--wait"], env=self.env, timeout=180)

    def start(self, exe, *args, env=None):
        merged = dict(self.env)
        merged.update(env or {})
        return subprocess.Popen(["wine", exe, *args], env=merged, cwd=self.work,
                                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    def run(self, exe, *args, timeout=60):
        # Output through a file, not a pipe: processes wine starts on the
        # way (its services) inherit the handles and would hold a pipe open.
        output = os.path.join(self.work, "probe-output.txt")
        with open(output, "wb") as out:
            done = subprocess.run(["wine", exe, *args], env=self.env, cwd=self.work, timeout=timeout,
                                  stdout=out, stderr=subprocess.DEVNULL)
        with open(output, "rb") as out:
            done.stdout = out.read()
        return done

    def stop(self):
        subprocess.run(["wineserver", "-k"], env=self.env, timeout=30)


def xdotool(*args):
    subprocess.run(["xdotool", *args], check=True, timeout=20)


def read_samples(path):
    with open(path, "rb") as f:
        data = f.read()
    return list(struct.unpack("<%dh" % (len(data) // 2), data[: len(data) // 2 * 2]))


def wave_data(path):
    with open(path, "rb") as f:
        data = f.read()
    at = 12
    while at + 8 <= len(data):
        size = struct.unpack_from("<I", data, at + 4)[0]
        if data[at:at + 4] == b"data":
            chunk = data[at + 8:at + 8 + size]
            return list(struct.unpack("<%dh" % (len(chunk) // 2), chunk))
        at += 8 + size + (size & 1)
    return []


def write_tone_wave(path, frequency, seconds):
    """A 16-bit mono WAV file of a sine tone at the default tone's rate."""
    import math
    count = int(RATE * seconds)
    data = struct.pack("<%dh" % count, *(int(12000 * math.sin(2 * math.pi * frequency * i / RATE)) for i in range(count)))
    header = struct.pack("<4sI4s4sIHHIIHH4sI", b"RIFF", 36 + len(data), b"WAVE", b"fmt ", 16, 1, 1, RATE, RATE * 2, 2, 16,
                         b"data", len(data))
    with open(path, "wb") as f:
        f.write(header + data)


class Bitmap:
    def __init__(self, path):
        with open(path, "rb") as f:
            data = f.read()
        offset = struct.unpack_from("<I", data, 10)[0]
        self.width, self.height = struct.unpack_from("<ii", data, 18)
        self.stride = (self.width * 3 + 3) & ~3
        self.pixels = data[offset:]

    def at(self, x, y):
        row = self.height - 1 - y
        i = row * self.stride + x * 3
        b, g, r = self.pixels[i:i + 3]
        return (r, g, b)

    def crop(self, x, y, w, h):
        return [self.at(x + i, y + j) for j in range(h) for i in range(w)]


def write_png(bitmap, path):
    rows = b"".join(b"\0" + bytes(c for x in range(bitmap.width) for c in bitmap.at(x, y))
                    for y in range(bitmap.height))

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))

    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n")
        f.write(chunk(b"IHDR", struct.pack(">IIBBBBB", bitmap.width, bitmap.height, 8, 2, 0, 0, 0)))
        f.write(chunk(b"IDAT", zlib.compress(rows, 9)))
        f.write(chunk(b"IEND", b""))


class Window:
    """One run of tonefield.exe with its own output file."""

    def __init__(self, wine, opts, name, extra_env=None, exe=None, args=()):
        self.wine, self.opts = wine, opts
        self.played = os.path.join(opts.work, name + ".raw")
        if os.path.exists(self.played):
            os.remove(self.played)
        env = {"SDL_DISKAUDIOFILE": windows_path(self.played)}
        env.update(extra_env or {})
        self.process = wine.start(exe or opts.window, *args, env=env)
        self.info = {}
        self.refresh(60)

    def refresh(self, seconds=5):
        """Caption, client size and origin as they are now (a window restored may sit elsewhere)."""
        result = self.probe("wait", str(seconds), timeout=seconds + 30)
        for line in result.splitlines():
            parts = line.split("\t")
            self.info[parts[0]] = parts[1:]

    def probe(self, *args, timeout=30):
        done = self.wine.run(self.opts.probe, *args, timeout=timeout)
        return done.stdout.decode("utf-8", "replace")

    def origin(self):
        return int(self.info["origin"][0]), int(self.info["origin"][1])

    def shot(self, name):
        path = os.path.join(self.opts.work, name + ".bmp")
        self.probe("shot", windows_path(path))
        return Bitmap(path)

    def wait_for_pixel(self, x, y, colour, seconds):
        deadline = time.time() + seconds
        while True:
            if self.shot("wait").at(x, y) == colour:
                return True
            if time.time() > deadline:
                return False
            time.sleep(0.2)

    def control_text(self, control_id):
        for line in self.probe("layout").splitlines():
            parts = line.split("\t")
            if len(parts) >= 7 and parts[1] == str(control_id):
                return parts[6]
        return None

    def click(self, x, y):
        ox, oy = self.origin()
        xdotool("mousemove", str(ox + x), str(oy + y), "click", "1")

    def focus(self):
        ox, oy = self.origin()
        # A click on the panel's empty corner gives the window the keyboard.
        xdotool("mousemove", str(ox + 624), str(oy + 70), "click", "1")
        time.sleep(0.3)

    def close(self):
        subprocess.run(["xdotool", "search", "--sync", "--name", "^Tonefield $", "windowactivate"],
                       timeout=10, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.refresh()
        self.click(600, 52)  # 終了
        try:
            self.process.wait(timeout=30)
        except subprocess.TimeoutExpired:
            self.process.kill()
            check(False, "the window closed within 30 s of 終了")


def stretches(samples):
    """Runs of sound separated by more than a quarter second of silence."""
    found = []
    last = None
    for i, s in enumerate(samples):
        if s == 0:
            continue
        if last is None or i - last > RATE // 4:
            found.append([i, i, 0])
        found[-1][1] = i
        found[-1][2] += 1
        last = i
    return found


def zero_crossings_per_second(samples):
    crossings = sum(1 for a, b in zip(samples, samples[1:]) if (a < 0) != (b < 0))
    return crossings * RATE / max(len(samples), 1)


def case_layout_and_keys(wine, opts):
    w = Window(wine, opts, "keys")
    check(w.info.get("caption") == ["Tonefield "], "caption is \"Tonefield \" (%r)" % w.info.get("caption"))
    check(w.info.get("client") == ["630", "223"], "client area is 630x223 (%r)" % w.info.get("client"))
    layout = w.probe("check-layout")
    check("layout ok" in layout, "keys and controls where the core and the panel put them\n" + layout)
    shot = w.shot("window")
    check(shot.at(100, 20) == (0, 255, 0), "the status line is lime (%r)" % (shot.at(100, 20),))
    # 音声読込 and 楽譜読込: the same caption width, so their glyphs sit at the
    # same offsets. Drawn as glyphs the first two differ and the last two
    # (読込) are equal; drawn as boxes all four would be equal.
    first = [shot.crop(bx + 20, by + 5, 24, 15) for bx, by in ((248, 8), (128, 40))]
    last = [shot.crop(bx + 44, by + 5, 24, 15) for bx, by in ((248, 8), (128, 40))]
    dark = sum(1 for p in last[0] if sum(p) < 200)
    check(dark > 20, "読込 is drawn (%d dark pixels)" % dark)
    check(last[0] == last[1], "読込 looks the same on both buttons")
    check(first[0] != first[1], "音声 and 楽譜 look different: Japanese glyphs, not boxes")

    # What a screen reader is told (MSAA): a button's caption. The names
    # given to the status line and the owner-drawn keys through
    # IAccPropServices are not applied by wine's oleacc (it answers their
    # window text): printed, not judged.
    told = w.probe("name", "101").strip()
    check(told == "name\t音声読込", "a button is named by its caption for assistive technology (%r)" % told)
    for control_id, given in ((100, "状態表示"), (1000, "ド 3")):
        print("      control %d, named %s on Windows, is told under wine as %r" % (
            control_id, given, w.probe("name", str(control_id)).strip()))

    w.focus()
    xdotool("keydown", "z")
    time.sleep(2.5)  # through the X server's auto-repeat (660 ms, then 25/s)
    check(w.shot("held").at(15, 180) == (255, 0, 0), "key 0 is red while Z is held")
    xdotool("keyup", "z")
    check(w.wait_for_pixel(15, 180, (255, 255, 255), 3), "key 0 is white after Z comes up")
    xdotool("key", "--delay", "300", "comma")
    time.sleep(1.5)
    ox, oy = w.origin()
    xdotool("mousemove", str(ox + 15), str(oy + 200), "mousedown", "1")  # the lowest white key
    time.sleep(0.5)
    xdotool("mouseup", "1")
    time.sleep(1.5)
    w.close()

    played = read_samples(w.played)
    runs = stretches(played)
    check(len(runs) == 3, "three strokes, three stretches of sound (%d)" % len(runs))
    for (first_i, last_i, sounding), key, what in zip(runs, (0, 12, 0), ("Z held", "comma", "click")):
        check(sounding <= RATE, "%s: no more sound than one wave (%d samples)" % (what, sounding))
        rate = zero_crossings_per_second(played[first_i:last_i])
        # The default tone's 262 Hz at key 0, an octave higher at key 12.
        want = 2 * 262 * 2 ** (key / 12)
        check(abs(rate - want) < want * 0.1, "%s plays key %d (%.0f crossings/s, %.0f wanted)" % (what, key, rate, want))
    first_i, last_i, sounding = runs[0] if runs else (0, 0, 0)
    check(sounding > RATE * 0.9, "Z held plays its wave whole (%d of %d samples)" % (sounding, RATE))


def case_song(wine, opts):
    w = Window(wine, opts, "song", {"SDL_DISKAUDIODELAY": "2"})
    w.click(224, 52)  # 演奏
    deadline = time.time() + 120
    time.sleep(1)
    while time.time() < deadline and w.control_text(110) != "演奏":
        time.sleep(1)
    check(w.control_text(110) == "演奏", "the song ends and the button reads 演奏 again")
    w.close()
    reference = os.path.join(opts.work, "song1.wav")
    done = wine.run(opts.render, "--song", "1", "--out", windows_path(reference), timeout=120)
    check(done.returncode == 0, "tonefield-render.exe --song 1 runs")
    rendered = wave_data(reference)
    played = read_samples(w.played)
    first_played = next((i for i, s in enumerate(played) if s != 0), len(played))
    first_rendered = next((i for i, s in enumerate(rendered) if s != 0), len(rendered))
    start = first_played - first_rendered
    ok = start >= 0 and start + len(rendered) <= len(played)
    check(ok, "the whole song was played (%d samples rendered, %d played)" % (len(rendered), len(played)))
    if ok:
        same = played[start:start + len(rendered)] == rendered
        if not same:
            diff = next(i for i in range(len(rendered)) if played[start + i] != rendered[i])
            print("      first difference at sample %d of %d" % (diff, len(rendered)))
        check(same, "song 1 in the window equals the render sample for sample")
        check(all(s == 0 for s in played[start + len(rendered):]), "nothing sounds after the song's end")


def choose_in_dialog(w, title, path):
    """The file dialog titled so gets the file's name in its name field, then Return."""
    typed = w.probe("type", title, windows_path(path))
    check("typed" in typed, "the dialog %s is up with its name field (%r)" % (title, typed.strip()))
    time.sleep(0.5)
    xdotool("key", "Return")


def wait_for_status(w, text, seconds):
    deadline = time.time() + seconds
    status = w.control_text(100) or ""
    while time.time() < deadline and text not in status:
        time.sleep(0.5)
        status = w.control_text(100) or ""
    return status


def case_japanese_sample_name(wine, opts):
    """The default tone saved through the save dialog as 音色テスト.wav, another
    sample loaded, then the saved one loaded back: Z plays the default tone again."""
    saved = os.path.join(opts.work, "音色テスト.wav")
    other = os.path.join(opts.work, "other.wav")
    for path in (saved, other):
        if os.path.exists(path):
            os.remove(path)
    write_tone_wave(other, 440, 1.0)
    w = Window(wine, opts, "japanese")
    w.click(356, 20)  # 音声保存
    choose_in_dialog(w, "Waveファイルの保存", saved)
    status = wait_for_status(w, "音色テスト.wav", 20)
    check(os.path.exists(saved) and len(wave_data(saved)) > RATE // 2,
          "the sample is saved as 音色テスト.wav (%r)" % status)
    w.click(284, 20)  # 音声読込
    choose_in_dialog(w, "Waveファイルの読み込み", other)
    check("other.wav" in wait_for_status(w, "other.wav", 20), "another sample is loaded")
    time.sleep(1)
    w.click(284, 20)
    choose_in_dialog(w, "Waveファイルの読み込み", saved)
    status = wait_for_status(w, "音色テスト.wav", 20)
    check("音色テスト.wav" in status, "音色テスト.wav loads back (%r)" % status)
    time.sleep(1)
    w.focus()
    xdotool("keydown", "z")
    time.sleep(0.8)
    xdotool("keyup", "z")
    time.sleep(1)
    w.close()
    runs = stretches(read_samples(w.played))
    if check(len(runs) >= 1, "Z sounds after the sample loaded back"):
        first_i, last_i, _ = runs[-1]
        rate = zero_crossings_per_second(read_samples(w.played)[first_i:last_i])
        check(abs(rate - 524) < 52, "Z plays the default tone saved and loaded back (%.0f crossings/s, 524 wanted)" % rate)


def case_second_start(wine, opts):
    # The first one runs from a folder of its own, with nothing beside it.
    alone = os.path.join(opts.work, "alone")
    shutil.rmtree(alone, ignore_errors=True)
    os.makedirs(alone)
    shutil.copy(opts.window, os.path.join(alone, "tonefield.exe"))
    w = Window(wine, opts, "first", exe=os.path.join(alone, "tonefield.exe"))
    check(w.info.get("caption") == ["Tonefield "], "tonefield.exe runs alone in its folder")
    subprocess.run(["xdotool", "search", "--name", "^Tonefield $", "windowminimize"], timeout=10)
    time.sleep(1)
    # The second start names a sample under a Japanese name, relative to its own folder.
    sample = os.path.join(opts.work, "音色テスト.wav")
    write_tone_wave(sample, 440, 0.5)
    second = wine.start(opts.window, os.path.basename(sample),
                        env={"SDL_DISKAUDIOFILE": windows_path(os.path.join(opts.work, "second.raw"))})
    try:
        code = second.wait(timeout=60)
    except subprocess.TimeoutExpired:
        second.kill()
        code = None
    check(code == 0, "a second start exits with 0 (%r)" % code)
    time.sleep(1)
    count = w.probe("count")
    check("windows\t1" in count, "one window only\n" + count)
    check("front\tyes" in count, "the first window is in front again\n" + count)
    deadline = time.time() + 20
    status = w.control_text(100)
    while time.time() < deadline and "音色テスト.wav" not in (status or ""):
        time.sleep(0.5)
        status = w.control_text(100)
    check("音色テスト.wav" in (status or ""), "the first window opened the sample handed over (%r)" % status)
    w.close()


def take_screenshot(wine, opts):
    """Not a test: the picture of the window for the documentation, three keys held."""
    w = Window(wine, opts, "screenshot")
    w.focus()
    for key in ("comma", "w", "slash"):
        xdotool("keydown", key)
    time.sleep(0.5)
    write_png(w.shot("screenshot"), opts.screenshot)
    for key in ("comma", "w", "slash"):
        xdotool("keyup", key)
    w.close()


def main():
    parser = argparse.ArgumentParser()
    for name in ("window", "probe", "work", "prefix"):
        parser.add_argument("--" + name, required=True)
    parser.add_argument("--render")
    parser.add_argument("--screenshot", help="only write the window's picture to this PNG file")
    opts = parser.parse_args()
    for name in ("window", "probe", "work", "prefix", "render", "screenshot"):
        if getattr(opts, name):
            setattr(opts, name, os.path.abspath(getattr(opts, name)))
    for tool in ("wine", "wineserver", "xdotool"):
        if shutil.which(tool) is None:
            print("skip: %s is not installed (scripts/bootstrap installs it)" % tool)
            return 77
    if "ja_JP.utf8" not in subprocess.run(["locale", "-a"], capture_output=True, text=True).stdout:
        print("skip: the ja_JP.UTF-8 locale is not generated (scripts/bootstrap makes it)")
        return 77
    os.makedirs(opts.work, exist_ok=True)
    wine = Wine(opts.prefix, opts.work)
    started = time.time()
    cases = (take_screenshot,) if opts.screenshot else (case_layout_and_keys, case_song, case_japanese_sample_name,
                                                        case_second_start)
    try:
        for case in cases:
            print("== " + case.__name__, flush=True)
            case(wine, opts)
    finally:
        wine.stop()
    print("%d failures in %.0f s" % (len(failures), time.time() - started))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
