// SPDX-License-Identifier: MIT
#include "core/game_state.h"

const LevelParams level_table[NUM_LEVELS] = {
    {2, 150, 100, 30, 30}, {4, 150, 100, 30, 30}, {6, 100, 100, 30, 30},
    {6, 100, 100, 25, 25}, {7, 80, 75, 25, 25},   {8, 80, 75, 20, 20},
    {8, 80, 75, 20, 20},   {10, 60, 75, 20, 20},  {11, 60, 50, 20, 20},
    {12, 60, 50, 20, 20},  {14, 50, 50, 15, 15},  {16, 50, 50, 15, 15},
    {16, 50, 40, 15, 15},  {18, 40, 40, 15, 10},  {18, 40, 40, 15, 10},
    {19, 20, 40, 15, 10},
};

int level;
// Only barrel_slots of this is ever read: it bounds the slot reset of the
// first game, before the starting level's row is in force.
LevelParams cur_params = {2, 200, 100, 30, 25};
int delivered;
int misses;
int score;
int top_score;
int hiscore;
int game_over;
int clear_countdown;
int cheer_timer;
int spawn_timer;

BarrelSlot barrels[MAX_BARRELS];

int ape_y;
int ape_rung;
int ape_pose;
int pose_timer;
int carried;
int handover_slot;
BITMAP *ape_sprite;

int bonus_type;
int bonus_roll_timer;
int bonus_time_left;
int score_at_roll;
FlameFigure flames[2];
int miss_anim_timer;
int miss_frame;
BITMAP *bonus_sprite;
BITMAP *flame_sprite;
BITMAP *miss_sprite;
BITMAP *lady_sprite;

std::atomic<int> tick_flag{0};
int run_ticks;
int run_active;
int key_latch;
int menu_cursor;
int menu_choice;
int sound_on;
int game_over_fresh;

DATAFILE *pack;
BITMAP *buffer;
FONT *game_font;
BITMAP *playfield_bmp;
BITMAP *title_bmp;
BITMAP *heart_bmp;
BITMAP *cursor_bmp;
SAMPLE *snd_start;
SAMPLE *snd_bonus_music;
SAMPLE *snd_music;
SAMPLE *snd_lost;
SAMPLE *snd_click;
SAMPLE *snd_handover;
SAMPLE *snd_clear;
SAMPLE *snd_gameover;
SAMPLE *snd_bonus_get;
SAMPLE *snd_instr_music;
PALETTE mode_palette;
