"""What the player hears: a session in a real window with the library's ALSA
output captured to a WAV file (through a file device on null, in a scratch
HOME), measured against the samples the build renders into build/data/pack/."""
import array
import os
import tempfile
import time
import wave

from xwindow import Window, play_to_first_handover, xserver
from zarn_test import BUILD, scratch

PACK_DIR = os.path.join(BUILD, "data", "pack")
RATE = 22050  # the samples' rate; the capture runs at twice it
ASOUNDRC = """pcm.zarn_capture {{
  type plug
  slave {{ pcm "zarn_file"; format S16_LE }}
}}
pcm.zarn_file {{
  type file
  slave.pcm "null"
  file "{wav}"
  format "wav"
}}
"""
# Without the fragment size the file fills faster than real time.
ALLEGRORC = "[sound]\nalsa_device = zarn_capture\nalsa_fragsize = 441\n"


def sample(name):
    """A pack sample as signed values at its own rate."""
    path = next(os.path.join(PACK_DIR, f) for f in os.listdir(PACK_DIR) if f.endswith(name + ".wav"))
    with wave.open(path) as w:
        assert (w.getsampwidth(), w.getnchannels(), w.getframerate()) == (1, 1, RATE)
        return [b - 128 for b in w.readframes(w.getnframes())]


def capture(path):
    """The capture's left channel brought down to the samples' rate."""
    with wave.open(path) as w:
        assert (w.getsampwidth(), w.getnchannels(), w.getframerate()) == (2, 2, 2 * RATE)
        data = array.array("h", w.readframes(w.getnframes()))
    return data[0::4].tolist()


def fit(cap, ref, at, start=0, n=1024):
    """How well cap[at:] follows ref[start:], as a normalised correlation."""
    a, b = cap[at:at + n], ref[start:start + n]
    if len(a) < n or len(b) < n:
        return 0.0
    ab = sum(x * y for x, y in zip(a, b))
    aa, bb = sum(x * x for x in a), sum(y * y for y in b)
    return ab / (aa * bb) ** 0.5 if aa and bb else 0.0


def find(cap, ref, lo, hi, skip=RATE // 10, n=1024):
    """Where in [lo, hi) ref begins best: coarse steps, then each lag near.
    Its first tenth of a second is left out, as a click of the key that
    started it may sound with it."""
    lo = max(lo, 0)
    best = max(range(lo, hi, 4), key=lambda at: fit(cap, ref, at + skip, skip, n // 2))
    at = max(range(max(lo, best - 4), best + 5), key=lambda at: fit(cap, ref, at + skip, skip, n))
    return at, fit(cap, ref, at + skip, skip, n)


def loud(cap, at, n=441):
    return (sum(x * x for x in cap[at:at + n]) / n) ** 0.5


def test_sound_start_music_and_esc():
    home, folder = tempfile.mkdtemp(prefix="zarn-home-"), scratch()
    wav = os.path.join(folder, "capture.wav")
    open(os.path.join(home, ".asoundrc"), "w").write(ASOUNDRC.format(wav=wav))
    open(os.path.join(home, ".allegrorc"), "w").write(ALLEGRORC)
    with xserver() as env:
        win = Window(dict(env, HOME=home), folder, "sound")
        try:
            time.sleep(0.5)
            win.press("2")
            win.press("Return", settle=0)
            enter = time.time()
            play_to_first_handover(win)
            # Into the music, whose start may come after the points.
            time.sleep(max(0.0, enter + 7.0 - time.time()))
            win.press("Escape", settle=0)
            esc = time.time()
            time.sleep(1.5)
            for name in ("Down", "Down", "Down", "Return"):
                win.press(name)
            code, err = win.finish()
            assert code == 0, err
        finally:
            win.kill()
    cap = capture(wav)
    start, music = sample("game_start"), sample("playfield_music")
    # The start sample begins with the game: the first long sound after the
    # menu's clicks, within the time the key press took to be heard.
    first = next(at for at in range(0, len(cap) - RATE, 220)
                 if all(loud(cap, at + k * 441) > 200 for k in range(20)))
    t_start, q = find(cap, start, first - 2205, first + 2205)
    assert q > 0.9, q
    # The playfield music 275 ticks later, 5.5 s: the first tick may be
    # pending already, and the capture's clock is the mixer's, not the
    # timer's (it was seen 0.7 % fast), so 5.44 s to 5.56 s.
    t_music, q = find(cap, music, t_start + int(5.3 * RATE), t_start + int(5.7 * RATE))
    assert q > 0.9 and abs(t_music - t_start - 5.5 * RATE) < 0.06 * RATE, (q, (t_music - t_start) / RATE)
    # Esc ends the game and its samples: past a lost barrel's short cry, silence.
    quiet = t_start + int((esc - enter + 0.7) * RATE)
    playing = quiet - RATE
    assert fit(cap, music, playing, playing - t_music) > 0.8, "no music before Esc"
    assert all(loud(cap, quiet + k * 441) < 20 for k in range(30)), [loud(cap, quiet + k * 441) for k in range(30)]
