// SPDX-License-Identifier: MIT
// The whole program's state: one set of globals and fixed tables that every
// step reads and writes in place. Nothing is passed between steps except
// through these.
#ifndef ZARN_GAME_STATE_H
#define ZARN_GAME_STATE_H

#include <allegro.h>

#include "core/pack_catalogue.h"
#include "core/playfield_layout.h"

#include <atomic>

struct LevelParams {
  int barrel_slots;  // bounds every loop over barrels
  int spawn_base;    // spawn interval base
  int stop_wait;     // ticks a barrel waits at its stop
  int roll_delay;    // ticks between roll steps
  int deliver_delay; // ticks between travel steps to the stack
};

// A barrel slot's state; the order matters: a state above BARREL_FREE is a
// live barrel.
enum BarrelState {
  BARREL_FREE,
  BARREL_ROLLING,    // rolling in to its stop
  BARREL_WAITING,    // at its stop beside the ladder
  BARREL_CARRIED,    // held by the ape
  BARREL_TRAVELLING, // handed over, on its way to the lady's stack
  BARREL_FALLING     // waited too long and is being lost
};

struct BarrelSlot {
  int state; // a BarrelState
  int frame; // roll picture 0..3, 4 while carried
  int x, y;
  int dx;
  int step_timer;
  int wait_timer;
  int lane;
  BITMAP *sprite;
};

struct FlameFigure {
  int x;
  int frame;
  int timer;
};

enum { NUM_LEVELS = 16, MAX_BARRELS = 20 };
enum { CARRIED_NONE = 0 };
enum { BONUS_NONE, BONUS_KIND_1, BONUS_KIND_2 };

// Fixed tables. The rungs, the lanes and the ape's x are the playfield's
// layout, which the pack tool and the Python tools read too.
extern const LevelParams level_table[NUM_LEVELS];
inline constexpr const int (&rung_y)[NUM_RUNGS] = layout::rung_y;
inline constexpr const int (&lane_x)[NUM_LANES] = layout::lane_x;
inline constexpr const int (&lane_y)[NUM_LANES] = layout::lane_y;
inline constexpr const int (&lane_dir)[NUM_LANES] = layout::lane_dir;
inline constexpr const int (&lane_rung)[NUM_LANES] = layout::lane_rung;
inline constexpr int ape_x = APE_X;

// Game progress.
extern int level;
extern LevelParams cur_params;
extern int delivered;
extern int misses;
extern int score;
extern int top_score;
extern int hiscore;
extern int game_over;
extern int clear_countdown;
extern int cheer_timer;
extern int spawn_timer;

// Barrels.
extern BarrelSlot barrels[MAX_BARRELS];

// The ape.
extern int ape_y;
extern int ape_rung;
// The pack index of the ape's picture, which is also its pose: the grab and
// the hand-over read it.
extern int ape_pose;
extern int pose_timer;
// The slot of the barrel the ape holds, plus 1; CARRIED_NONE when it holds
// none.
extern int carried;
extern int handover_slot;
extern BITMAP *ape_sprite;

// Bonus item, lost-barrel row, bottom figures.
// BONUS_NONE, or the kind of the bonus item up: its picture is OBJ_BONUS_1
// or OBJ_BONUS_2.
extern int bonus_type;
extern int bonus_roll_timer;
extern int bonus_time_left;
extern int score_at_roll;
extern FlameFigure flames[2];
extern int miss_anim_timer;
extern int miss_frame;
extern BITMAP *bonus_sprite;
extern BITMAP *flame_sprite;
extern BITMAP *miss_sprite;
extern BITMAP *lady_sprite;

// Control. The tick flag is written by the timer's own thread.
extern std::atomic<int> tick_flag;
extern int run_ticks;
extern int run_active;
extern int key_latch;
extern int menu_cursor;
extern int menu_choice;
extern int sound_on;
// Set when the last barrel is lost, so the first game-over tick can drop
// key presses made during play when there is no fall to do it.
extern int game_over_fresh;

// Resources, bound once at start-up.
extern DATAFILE *pack;
extern BITMAP *buffer;
extern FONT *game_font;
extern BITMAP *playfield_bmp;
extern BITMAP *title_bmp;
extern BITMAP *heart_bmp;
extern BITMAP *cursor_bmp;
extern SAMPLE *snd_start;
extern SAMPLE *snd_bonus_music;
extern SAMPLE *snd_music;
extern SAMPLE *snd_lost;
extern SAMPLE *snd_click;
extern SAMPLE *snd_handover;
extern SAMPLE *snd_clear;
extern SAMPLE *snd_gameover;
extern SAMPLE *snd_bonus_get;
extern SAMPLE *snd_instr_music;
extern PALETTE mode_palette;

inline BITMAP *pack_bitmap(int index) {
  return static_cast<BITMAP *>(pack[index].dat);
}

// Per-tick steps and the procedures around them.
void tick_handler();
// One tick's work: the playfield, the phase's steps and the status line.
void run_tick();
void run_game();
// The best score the game keeps if it ends now: a game over raises it to the
// Top its status line shows, even before the box is dismissed.
int kept_hiscore();
void apply_level_params();
int lane_in_use(int lane);
void spawn_barrel();
void update_barrels();
int ape_input();
void walk_anim();
void update_ape();
void draw_delivered();
void cheer_anim();
void update_level_clear();
void update_bonus();
void draw_misses();
void update_flames();
void print_number4(int v, int x, int y);
void print_number2(int v, int x, int y);
void draw_status();

#endif
