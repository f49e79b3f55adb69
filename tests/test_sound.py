# SPDX-License-Identifier: MIT
"""The path to the sound card, which the replays cannot see: a game in a real
window with the library's ALSA output captured to a WAV file (a file device
on null, in a scratch HOME) plays the start jingle from its start, and Esc
silences it. The mixer brings the 22050 Hz samples up to the capture's
44100 Hz by interpolating, so the capture's every second frame, from the one
a sample starts on, is the sample's own value."""
import array
import os
import tempfile
import time
import wave

from xwindow import Window, xserver
from zarn_test import BUILD, scratch

ASOUNDRC = """pcm.zarn_capture {{ type plug; slave {{ pcm "zarn_file"; format S16_LE }} }}
pcm.zarn_file {{ type file; slave.pcm "null"; file "{wav}"; format "wav" }}
"""
# Without the fragment size the file fills faster than real time.
ALLEGRORC = "[sound]\nalsa_device = zarn_capture\nalsa_fragsize = 441\n"


def loud(cap, at, n=882):
    return (sum(x * x for x in cap[at:at + n]) / n) ** 0.5


def fit(a, b):
    ab, aa, bb = (sum(x * y for x, y in zip(u, v)) for u, v in ((a, b), (a, a), (b, b)))
    return ab / (aa * bb) ** 0.5 if aa and bb else 0.0


def test_sound_start_jingle_then_silence_after_esc():
    home, folder = tempfile.mkdtemp(prefix="zarn-home-"), scratch()
    wav = os.path.join(folder, "capture.wav")
    open(os.path.join(home, ".asoundrc"), "w").write(ASOUNDRC.format(wav=wav))
    open(os.path.join(home, ".allegrorc"), "w").write(ALLEGRORC)
    with xserver() as env:
        with Window(dict(env, HOME=home), folder, "sound") as win:
            time.sleep(0.5)
            win.press("2")
            win.press("Return", settle=1.0)  # a second into the 3-second jingle
            win.press("Escape", settle=1.5)
            code, err = win.quit_from_game()
            assert code == 0, err
    with wave.open(wav) as w:
        assert (w.getsampwidth(), w.getnchannels(), w.getframerate()) == (2, 2, 44100)
        cap = array.array("h", w.readframes(w.getnframes()))[0::2].tolist()
    with wave.open(os.path.join(BUILD, "data", "pack", "24_game_start.wav")) as w:
        jingle = [b - 128 for b in w.readframes(w.getnframes())]
    # Compared past its first tenth of a second, where the menu's click sounds with it.
    first, skip, n = next(at for at in range(0, len(cap), 441) if loud(cap, at) > 200), 2205, 5512
    q, start = max((fit(cap[at + 2 * skip:at + 2 * (skip + n):2], jingle[skip:skip + n]), at)
                   for at in range(first - 882, first + 882))
    assert q > 0.99, q
    # Cut off within its first 2.5 seconds, then a second of silence.
    quiet = [loud(cap, at) < 20 for at in range(start, len(cap), 882)]
    cut = next(k for k in range(len(quiet)) if all(quiet[k:k + 50])) * 882
    assert cut < 2.5 * 44100, cut / 44100
