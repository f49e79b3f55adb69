// SPDX-License-Identifier: MIT
#include "sound.h"

#include "image.h" // SourceError

#include <algorithm>
#include <cmath>
#include <sstream>

namespace pack {

namespace {

constexpr double kPi = 3.14159265358979323846;

// The one source of noise: a fixed xorshift, so every build sounds the same.
struct Noise {
  uint32_t state = 0x2545F491u;
  double next() {
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    return static_cast<double>(state) / 2147483648.0 - 1.0;
  }
};

enum class Wave { Pulse, Triangle, Sine, Saw };

struct Instrument {
  Wave wave = Wave::Pulse;
  double duty = 0.5;
  double gain = 0.3;
  double attack = 0.004; // s to full level
  double decay = 0.12;   // s for the fall towards the sustain level
  double sustain = 0.55; // level while held
  double release = 0.04; // s to silence after the key is let go
  double legato = 0.92;  // part of its length a note is held
  double vibrato = 0.0;  // depth in semitones
  double vibrato_rate = 5.5;
  double vibrato_delay = 0.18;
};

// Band-limits the steps of the pulse and saw so high notes do not alias.
double poly_blep(double t, double dt) {
  if (t < dt) {
    t /= dt;
    return t + t - t * t - 1.0;
  }
  if (t > 1.0 - dt) {
    t = (t - 1.0) / dt;
    return t * t + t + t + 1.0;
  }
  return 0.0;
}

double oscillator(Wave wave, double duty, double phase, double dt) {
  switch (wave) {
  case Wave::Pulse: {
    double v = phase < duty ? 1.0 : -1.0;
    v += poly_blep(phase, dt);
    v -= poly_blep(std::fmod(phase + 1.0 - duty, 1.0), dt);
    // Centred on zero: a narrow pulse would otherwise carry an offset that
    // clicks whenever a sound starts or stops.
    return v - (2.0 * duty - 1.0);
  }
  case Wave::Triangle:
    return phase < 0.5 ? 4.0 * phase - 1.0 : 3.0 - 4.0 * phase;
  case Wave::Sine:
    return std::sin(2.0 * kPi * phase);
  case Wave::Saw:
    return 2.0 * phase - 1.0 - poly_blep(phase, dt);
  }
  return 0.0;
}

double envelope(const Instrument &ins, double t, double held) {
  auto level = [&](double u) {
    if (u < ins.attack)
      return u / ins.attack;
    return ins.sustain +
           (1.0 - ins.sustain) * std::exp(-(u - ins.attack) / ins.decay);
  };
  if (t < held)
    return level(t);
  double r = (t - held) / ins.release;
  return r >= 1.0 ? 0.0 : level(held) * (1.0 - r);
}

size_t at(double seconds) {
  return static_cast<size_t>(std::lround(seconds * kRate));
}

void add_note(std::vector<double> &buf, const Instrument &ins, double start,
              double length, double freq) {
  const double held = length * ins.legato;
  const size_t first = at(start);
  const size_t count = at(held + ins.release);
  if (buf.size() < first + count)
    buf.resize(first + count, 0.0);
  double phase = 0.0;
  for (size_t i = 0; i < count; i++) {
    const double t = static_cast<double>(i) / kRate;
    double f = freq;
    if (ins.vibrato > 0.0 && t > ins.vibrato_delay)
      f *= std::pow(2.0, ins.vibrato *
                             std::sin(2.0 * kPi * ins.vibrato_rate *
                                      (t - ins.vibrato_delay)) /
                             12.0);
    const double dt = f / kRate;
    buf[first + i] += ins.gain * envelope(ins, t, held) *
                      oscillator(ins.wave, ins.duty, phase, dt);
    phase += dt;
    phase -= std::floor(phase);
  }
}

struct Note {
  double start, length, freq;
};

// A part is written as words: a note is a letter, an optional # or b and an
// octave (c4 is middle C), then an optional :LENGTH (4 a quarter, 8 an
// eighth, a trailing '.' dots it); r is a rest; lN sets the length used when
// a note gives none. '|' marks bars for the reader only.
std::vector<Note> parse_part(const std::string &text, double tempo,
                             double &end) {
  static const int kSemitone[7] = {9, 11, 0, 2, 4, 5, 7}; // a b c d e f g
  const double quarter = 60.0 / tempo;
  std::vector<Note> notes;
  std::istringstream in(text);
  std::string word;
  std::string default_length = "4";
  double time = 0.0;
  auto length_of = [&](const std::string &len) {
    bool dotted = !len.empty() && len.back() == '.';
    int n = std::atoi(len.c_str());
    if (n != 1 && n != 2 && n != 4 && n != 8 && n != 16 && n != 32)
      throw SourceError("bad note length '" + len + "' in: " + text);
    double q = 4.0 / n * quarter;
    return dotted ? q * 1.5 : q;
  };
  while (in >> word) {
    if (word == "|")
      continue;
    if (word[0] == 'l') {
      default_length = word.substr(1);
      length_of(default_length);
      continue;
    }
    size_t colon = word.find(':');
    std::string pitch = word.substr(0, colon);
    double length = length_of(
        colon == std::string::npos ? default_length : word.substr(colon + 1));
    if (pitch != "r") {
      if (pitch.size() < 2 || pitch[0] < 'a' || pitch[0] > 'g')
        throw SourceError("bad note '" + word + "' in: " + text);
      int semitone = kSemitone[pitch[0] - 'a'];
      size_t i = 1;
      if (pitch[i] == '#') {
        semitone++;
        i++;
      } else if (pitch[i] == 'b' && i + 1 < pitch.size()) {
        semitone--;
        i++;
      }
      if (i + 1 != pitch.size() || pitch[i] < '0' || pitch[i] > '8')
        throw SourceError("bad note '" + word + "' in: " + text);
      int midi = 12 * (pitch[i] - '0' + 1) + semitone;
      notes.push_back(
          {time, length, 440.0 * std::pow(2.0, (midi - 69) / 12.0)});
    }
    time += length;
  }
  end = time;
  return notes;
}

// Drum lines have one character a sixteenth: k kick, s snare, h closed hat,
// o open hat, '.' nothing. Spaces and '|' are for the reader.
void add_drum(std::vector<double> &buf, char kind, double start, Noise &noise) {
  const size_t first = at(start);
  const double length = kind == 'k'   ? 0.22
                        : kind == 's' ? 0.18
                        : kind == 'o' ? 0.16
                                      : 0.05;
  const size_t count = at(length);
  if (buf.size() < first + count)
    buf.resize(first + count, 0.0);
  double phase = 0.0, last = 0.0;
  for (size_t i = 0; i < count; i++) {
    const double t = static_cast<double>(i) / kRate;
    double v = 0.0;
    if (kind == 'k') {
      double f = 40.0 + 110.0 * std::exp(-t / 0.035);
      phase += f / kRate;
      v = 0.55 * std::sin(2.0 * kPi * phase) * std::exp(-t / 0.07);
    } else if (kind == 's') {
      phase += 185.0 / kRate;
      v = 0.22 * noise.next() * std::exp(-t / 0.05) +
          0.18 * std::sin(2.0 * kPi * phase) * std::exp(-t / 0.03);
    } else {
      // Differencing white noise tilts it up into a hiss.
      double n = noise.next();
      v = 0.10 * (n - last) * std::exp(-t / (kind == 'o' ? 0.05 : 0.012));
      last = n;
    }
    // The last millisecond fades out so no hit ends on a click.
    double fade =
        std::min(1.0, static_cast<double>(count - i) / (kRate / 1000.0));
    buf[first + i] += v * fade;
  }
}

struct Part {
  Instrument ins;
  std::string notes;
};

struct Tune {
  double tempo;
  std::vector<Part> parts;
  std::string drums;
  bool loop;
};

std::vector<double> render_tune(const Tune &tune, const std::string &name) {
  std::vector<double> buf;
  double end = -1.0;
  auto same_end = [&](double e) {
    if (end < 0.0)
      end = e;
    else if (std::fabs(e - end) > 1e-9)
      throw SourceError(name + ": the parts are of different lengths");
  };
  for (const Part &p : tune.parts) {
    double e = 0.0;
    for (const Note &n : parse_part(p.notes, tune.tempo, e))
      add_note(buf, p.ins, n.start, n.length, n.freq);
    same_end(e);
  }
  if (!tune.drums.empty()) {
    Noise noise;
    const double step = 15.0 / tune.tempo;
    double time = 0.0;
    for (char c : tune.drums) {
      if (c == ' ' || c == '|')
        continue;
      if (c != '.' && c != 'k' && c != 's' && c != 'h' && c != 'o')
        throw SourceError(name + ": unknown drum '" + std::string(1, c) + "'");
      if (c != '.')
        add_drum(buf, c, time, noise);
      time += step;
    }
    same_end(time);
  }
  const size_t length = at(end);
  if (tune.loop) {
    // What rings past the end of a loop sounds again at its start, so the
    // seam cannot be heard.
    for (size_t i = length; i < buf.size(); i++)
      buf[i - length] += buf[i];
    buf.resize(length);
  } else if (buf.size() < length) {
    buf.resize(length, 0.0);
  }
  return buf;
}

void normalise(std::vector<double> &pcm, double peak) {
  double top = 0.0;
  for (double v : pcm)
    top = std::max(top, std::fabs(v));
  if (top > 0.0)
    for (double &v : pcm)
      v *= peak / top;
}

Instrument lead() {
  Instrument i;
  i.duty = 0.25;
  i.gain = 0.30;
  i.vibrato = 0.15;
  return i;
}

Instrument pad() {
  Instrument i;
  i.duty = 0.5;
  i.gain = 0.12;
  i.attack = 0.03;
  i.decay = 0.3;
  i.sustain = 0.7;
  i.release = 0.08;
  return i;
}

Instrument bass() {
  Instrument i;
  i.wave = Wave::Triangle;
  i.gain = 0.45;
  i.decay = 0.2;
  i.sustain = 0.7;
  i.legato = 0.85;
  return i;
}

// ---- Tunes ---------------------------------------------------------------

// While the barrels roll: a cheerful eight-bar tune that loops.
Tune playfield_tune() {
  return {
      150.0,
      {{lead(), "l8 | c5:4 e5 g5 a5:4 g5 e5 | f5:4 a5 g5 e5:4 c5:4 "
                "| d5 e5 f5 g5 a5:4 g5 f5 | e5 d5 c5 d5 e5:2 "
                "| c5:4 e5 g5 c6:4 b5 a5 | g5 a5 g5 e5 f5:4 d5:4 "
                "| e5 f5 g5 a5 b5 a5 g5 f5 | e5:4 d5:4 g5:4 r:4"},
       {pad(),
        "l2 | e4 e4 | a4 g4 | f4 g4 | e4 g4 | e4 e4 | d4 f4 | f4 d4 | e4 d4"},
       {bass(), "l4 | c3 g3 e3 g3 | f3 a3 c3 g3 | d3 f3 g2 b2 | c3 e3 g3 e3 "
                "| c3 g3 a2 e3 | g2 b2 d3 f3 | g2 d3 b2 d3 | c3 e3 g2 b2"}},
      "k.h.s.h.k.h.s.hh|k.h.s.h.k.h.s.hh|k.h.s.h.k.h.s.hh|k.h.s.h.k.h.s.hh|"
      "k.h.s.h.k.h.s.hh|k.h.s.h.k.h.s.hh|k.h.s.h.k.h.s.hh|k.h.s.h.k.s.ssss",
      true};
}

// While a bonus item is up: faster, in A minor, over and over.
Tune bonus_tune() {
  Instrument arp = lead();
  arp.duty = 0.125;
  arp.vibrato = 0.0;
  arp.legato = 0.7;
  Instrument b = bass();
  b.legato = 0.6;
  return {176.0,
          {{arp, "l8 | a5 c6 e6 c6 a5 c6 e6 c6 | f5 a5 c6 a5 f5 a5 c6 a5 "
                 "| g5 b5 d6 b5 g5 b5 d6 b5 | e5 g#5 b5 e6 d6:4 b5:4"},
           {b, "l8 | a2 a3 a2 a3 a2 a3 a2 a3 | f2 f3 f2 f3 f2 f3 f2 f3 "
               "| g2 g3 g2 g3 g2 g3 g2 g3 | e2 e3 e2 e3 e2 e3 g#2 b2"}},
          "k.hhs.hhk.hhs.hh|k.hhs.hhk.hhs.hh|k.hhs.hhk.hhs.hh|k.hhs.hhs.s.ssss",
          true};
}

Tune start_tune() {
  return {160.0,
          {{lead(), "l8 | c5 e5 g5 c6 e5 g5 c6:4 | d6 c6 b5 d6 c6:2"},
           {pad(), "l2 | e4 e4 | f4 e4"},
           {bass(), "l4 | c3 g3 c3 g3 | g2 g3 c3:2"}},
          "k...s...k...s.s.|k.k.s.s.k.......",
          false};
}

// Under the instruction pages: calm, played once. Its eight bars last as
// long as the four pages (4 x 181 ticks, 14.48 s), so it ends with them.
Tune instructions_tune() {
  Instrument soft = lead();
  soft.wave = Wave::Triangle;
  soft.gain = 0.42;
  soft.release = 0.12;
  Instrument echo = pad();
  echo.duty = 0.25;
  return {
      132.6,
      {{soft, "| e5:4 g5:8 e5:8 c5:4 e5:4 | f5:4 a5:8 f5:8 c5:2 "
              "| d5:4 g5:8 f5:8 e5:4 d5:4 | e5:2 c5:2 "
              "| a4:4 c5:8 e5:8 a5:4 g5:4 | f5:4 e5:8 d5:8 c5:4 a4:4 "
              "| b4:4 d5:8 g5:8 f5:4 d5:4 | c5:2. r:4"},
       {echo, "l2 | c4 c4 | a3 a3 | b3 b3 | g3 g3 | c4 c4 | a3 f3 | g3 b3 | "
              "e3:2. r:4"},
       {bass(), "l4 | c3 g3 e3 g3 | f2 c3 a2 c3 | g2 d3 b2 d3 | c3 g3 e3 g3 "
                "| a2 e3 c3 e3 | f2 c3 a2 c3 | g2 d3 b2 d3 | c3:2. r"}},
      "h...h...h...h...|h...h...h...h...|h...h...h...h...|h...h...h...h...|"
      "h...h...h...h...|h...h...h...h...|h...h...h...h...|k...............",
      false};
}

Tune game_over_tune() {
  Instrument sad = lead();
  sad.duty = 0.5;
  sad.vibrato = 0.35;
  sad.vibrato_delay = 0.1;
  sad.sustain = 0.75;
  sad.release = 0.25;
  return {132.0,
          {{sad, "l8 | g4 f#4 f4 e4 eb4:4 d4:4 c4:2"},
           {bass(), "| c3:2 ab2:4 g2:4 c2:2"}},
          "",
          false};
}

Tune clear_tune() {
  Instrument brass = lead();
  brass.duty = 0.35;
  brass.sustain = 0.8;
  Instrument second = pad();
  second.gain = 0.16;
  second.attack = 0.01;
  return {150.0,
          {{brass, "l8 | c5 c5 c5 e5 g5:4. e5 | g5 a5 b5 d6 c6:2"},
           {second, "l8 | e4 e4 e4 g4 c5:4. g4 | e5 f5 g5 b5 g5:2"},
           {bass(), "l4 | c3 c3 c3 c3 | g2 g2 c3:2"}},
          "k.k.k.k.k.s.k.s.|k.s.k.s.k.......",
          false};
}

// ---- Effects ---------------------------------------------------------------

std::vector<double> click() {
  std::vector<double> pcm(at(0.040));
  double phase = 0.0;
  for (size_t i = 0; i < pcm.size(); i++) {
    double t = static_cast<double>(i) / kRate;
    double f = 1500.0 - 500.0 * t / 0.040;
    double dt = f / kRate;
    pcm[i] = oscillator(Wave::Pulse, 0.5, phase, dt) * std::exp(-t / 0.012);
    phase = std::fmod(phase + dt, 1.0);
  }
  return pcm;
}

std::vector<double> handover() {
  std::vector<double> pcm;
  Instrument ding = lead();
  ding.vibrato = 0.0;
  ding.decay = 0.05;
  ding.sustain = 0.3;
  ding.release = 0.02;
  ding.legato = 1.0;
  add_note(pcm, ding, 0.0, 0.06, 1046.5);
  add_note(pcm, ding, 0.06, 0.07, 1568.0);
  return pcm;
}

std::vector<double> bonus_get() {
  std::vector<double> pcm;
  Instrument bell = lead();
  bell.vibrato = 0.0;
  bell.decay = 0.05;
  bell.sustain = 0.4;
  bell.legato = 1.0;
  Instrument under = bass();
  under.gain = 0.25;
  under.legato = 1.0;
  const double notes[] = {523.25, 659.26, 783.99, 1046.5,
                          1318.5, 1568.0, 2093.0};
  for (int i = 0; i < 7; i++) {
    double start = 0.055 * i;
    double length = i == 6 ? 0.10 : 0.055;
    add_note(pcm, bell, start, length, notes[i]);
    add_note(pcm, under, start, length, notes[i] / 2.0);
  }
  return pcm;
}

// A falling whistle and the thud of the barrel hitting the ground.
std::vector<double> lost() {
  const double fall = 0.36;
  std::vector<double> pcm(at(0.56));
  Noise noise;
  double phase = 0.0, low = 0.0, thud_phase = 0.0;
  for (size_t i = 0; i < pcm.size(); i++) {
    double t = static_cast<double>(i) / kRate;
    double v = 0.0;
    if (t < fall) {
      double f = 1900.0 * std::pow(350.0 / 1900.0, t / fall);
      phase = std::fmod(phase + f / kRate, 1.0);
      double amp = std::min(1.0, t / 0.01) * std::min(1.0, (fall - t) / 0.02);
      v = 0.45 * amp *
          (std::sin(2.0 * kPi * phase) + 0.2 * std::sin(4.0 * kPi * phase));
    } else {
      double u = t - fall;
      double f = 40.0 + 80.0 * std::exp(-u / 0.05);
      thud_phase += f / kRate;
      low += 0.08 * (noise.next() - low); // a one-pole low-pass: a dull crunch
      double tail = std::min(1.0, (0.56 - t) / 0.01);
      v = tail * (0.9 * std::sin(2.0 * kPi * thud_phase) * std::exp(-u / 0.07) +
                  2.0 * low * std::exp(-u / 0.04));
    }
    pcm[i] = v;
  }
  return pcm;
}

} // namespace

std::vector<Sound> make_sounds() {
  std::vector<Sound> out;
  auto tune = [&](const char *name, const Tune &t) {
    std::vector<double> pcm = render_tune(t, name);
    normalise(pcm, 0.85);
    out.push_back({name, std::move(pcm)});
  };
  auto effect = [&](const char *name, std::vector<double> pcm) {
    // The last two milliseconds fade out, so no effect ends on a step.
    const size_t fade = std::min(pcm.size(), at(0.002));
    for (size_t i = 0; i < fade; i++)
      pcm[pcm.size() - 1 - i] *=
          static_cast<double>(i) / static_cast<double>(fade);
    normalise(pcm, 0.9);
    out.push_back({name, std::move(pcm)});
  };
  tune("21_bonus_music", bonus_tune());
  effect("22_barrel_lost", lost());
  tune("24_game_start", start_tune());
  tune("26_instructions_music", instructions_tune());
  tune("27_playfield_music", playfield_tune());
  tune("28_game_over", game_over_tune());
  effect("29_click", click());
  effect("30_handover", handover());
  effect("31_bonus_collected", bonus_get());
  tune("32_level_cleared", clear_tune());
  return out;
}

std::vector<uint8_t> encode_wav(const std::vector<double> &pcm) {
  std::vector<uint8_t> out;
  auto put = [&](uint32_t v, int bytes) {
    for (int i = 0; i < bytes; i++)
      out.push_back(static_cast<uint8_t>(v >> (8 * i)));
  };
  auto tag = [&](const char *t) { out.insert(out.end(), t, t + 4); };
  const uint32_t n = static_cast<uint32_t>(pcm.size());
  tag("RIFF");
  put(36 + n + (n & 1), 4);
  tag("WAVE");
  tag("fmt ");
  put(16, 4);
  put(1, 2); // PCM
  put(1, 2); // mono
  put(kRate, 4);
  put(kRate, 4);
  put(1, 2);
  put(8, 2);
  tag("data");
  put(n, 4);
  for (double v : pcm) {
    long s = std::lround(std::clamp(v, -1.0, 1.0) * 127.0) + 128;
    out.push_back(static_cast<uint8_t>(s));
  }
  if (n & 1)
    out.push_back(0x80);
  return out;
}

} // namespace pack
