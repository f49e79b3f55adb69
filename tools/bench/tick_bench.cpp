// SPDX-License-Identifier: MIT
// The heaviest tick the game can meet: level index 15 with all 19 slots
// live, a bonus item up, 14 lost barrels in the row and nine barrels in the
// stack. Every barrel is due to move this tick. The state is put back before
// each tick (the records, and every value zarn-trace prints), so every timed
// tick does the same work; putting it back is timed too, which only makes
// the figure larger.
#include <benchmark/benchmark.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "core/game_state.h"
#include "platform/platform.h"
#include "startup/pack.h"
#include "state_table.h"
#include "test_support.h"

namespace {

struct Snapshot {
  BarrelSlot barrels[MAX_BARRELS];
  FlameFigure flames[2];
  std::vector<int> values;
};
Snapshot heavy;

void take(Snapshot &s) {
  memcpy(s.barrels, barrels, sizeof barrels);
  memcpy(s.flames, flames, sizeof flames);
  for (int i = 0; i < state_int_count; i++)
    s.values.push_back(state_ints[i].value ? *state_ints[i].value : 0);
}

void put_back(const Snapshot &s) {
  memcpy(barrels, s.barrels, sizeof barrels);
  memcpy(flames, s.flames, sizeof flames);
  for (int i = 0; i < state_int_count; i++)
    if (state_ints[i].value)
      *state_ints[i].value = s.values[static_cast<size_t>(i)];
}

// Every kind of barrel at once, all due to step: rolling on every lane,
// waiting, one carried, travelling to the stack and falling.
void set_heaviest() {
  level = 15;
  cur_params = level_table[level];
  misses = 14;
  delivered = 9;
  score = top_score = hiscore = 9990;
  game_over = clear_countdown = 0;
  run_ticks = 1000;
  spawn_timer = 5;
  ape_rung = 4;
  ape_y = rung_y[4] - 10; // climbing
  ape_pose = 0;
  carried = 0;
  bonus_type = 2;
  bonus_time_left = 200;
  bonus_roll_timer = 1000;
  sound_on = 1;
  for (int i = 0; i < cur_params.barrel_slots; i++) {
    BarrelSlot &b = barrels[i];
    int lane = i % NUM_LANES;
    b = {1 + i % 5,
         i % 4,
         lane_x[lane] + lane_dir[lane] * 60,
         lane_y[lane],
         lane_dir[lane] * 10,
         0,
         30,
         lane,
         pack_bitmap(OBJ_BARREL_ROLL + i % 4)};
    if (b.state == BARREL_CARRIED) {
      if (carried != 0)
        b.state = BARREL_WAITING;
      else
        carried = i + 1;
    }
    if (b.state == BARREL_TRAVELLING) {
      b.x = 100;
      b.y = 63;
    }
  }
}

void BM_HeaviestTick(benchmark::State &state) {
  for (auto _ : state) {
    put_back(heavy);
    run_tick();
    benchmark::DoNotOptimize(buffer->line[120][160]);
  }
  int live = 0;
  for (int i = 0; i < cur_params.barrel_slots; i++)
    live += barrels[i].state > 0;
  // A tick that lost its barrels, or ended the game, is not the heaviest.
  if (live != 19 || game_over != 0 || misses != 14 || bonus_type != 2)
    state.SkipWithError("the state did not stay at its heaviest");
}
BENCHMARK(BM_HeaviestTick);

} // namespace

int main(int argc, char **argv) {
  benchmark::Initialize(&argc, argv);
  // Headless, on the harnesses' stand-in platform, whose sample calls go
  // nowhere (the real ones only hand the sample to the mixer's thread).
  if (!test_load_game_pack()) {
    fprintf(stderr, "zarn_tick_bench: cannot load %s\n", ZARN_PACK_PATH);
    return 1;
  }
  set_heaviest();
  take(heavy);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
