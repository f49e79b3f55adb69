// SPDX-License-Identifier: MIT
// The C library's rand and srand as Linux's C library has them, linked into
// the browser build in place of emscripten's own: the game's random numbers
// come from rand() after srand(seed), and only the same generator makes a
// seeded game in the browser the same game as on the desktop. It is the
// additive feedback generator x[i] = x[i-3] + x[i-31] over 31 words, its
// words seeded by 16807 * x mod (2^31 - 1) and its first 310 results
// discarded; each result is the sum's top 31 bits.
#include <cstdint>
#include <cstdlib>

namespace {

const int words = 31;
const int gap = 3;
int32_t state[words];
int front = gap, rear = 0;
bool seeded;

int32_t next() {
  state[front] = static_cast<int32_t>(static_cast<uint32_t>(state[front]) +
                                      static_cast<uint32_t>(state[rear]));
  int32_t result =
      static_cast<int32_t>(static_cast<uint32_t>(state[front]) >> 1);
  front = (front + 1) % words;
  rear = (rear + 1) % words;
  return result;
}

void seed(unsigned s) {
  if (s == 0)
    s = 1;
  int32_t word = static_cast<int32_t>(s);
  state[0] = word;
  for (int i = 1; i < words; i++) {
    // 16807 * word mod (2^31 - 1), without overflowing 31 bits.
    int64_t hi = word / 127773, lo = word % 127773;
    word = static_cast<int32_t>(16807 * lo - 2836 * hi);
    if (word < 0)
      word += 2147483647;
    state[i] = word;
  }
  front = gap;
  rear = 0;
  seeded = true;
  for (int i = 0; i < 10 * words; i++)
    next();
}

} // namespace

extern "C" void srand(unsigned s) { seed(s); }
// Unseeded, the generator starts as srand(1) leaves it.
extern "C" int rand() {
  if (!seeded)
    seed(1);
  return next();
}
