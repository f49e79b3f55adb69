// SPDX-License-Identifier: MIT
#include "state_table.h"

#include "core/game_state.h"

const StateInt state_ints[] = {
    {"level", &level},
    {"cur_params", nullptr},
    {"delivered", &delivered},
    {"misses", &misses},
    {"score", &score},
    {"top_score", &top_score},
    {"hiscore", &hiscore},
    {"game_over", &game_over},
    {"clear_countdown", &clear_countdown},
    {"cheer_timer", &cheer_timer},
    {"spawn_timer", &spawn_timer},
    {"ape_y", &ape_y},
    {"ape_rung", &ape_rung},
    {"ape_pose", &ape_pose},
    {"pose_timer", &pose_timer},
    {"carried", &carried},
    {"handover_slot", &handover_slot},
    {"key_latch", &key_latch},
    {"menu_cursor", &menu_cursor},
    {"menu_choice", &menu_choice},
    {"run_ticks", &run_ticks},
    {"run_active", &run_active},
    {"sound_on", &sound_on},
    {"bonus_type", &bonus_type},
    {"bonus_roll_timer", &bonus_roll_timer},
    {"bonus_time_left", &bonus_time_left},
    {"score_at_roll", &score_at_roll},
    {"flames", nullptr},
    {"miss_anim_timer", &miss_anim_timer},
    {"miss_frame", &miss_frame},
    {"barrels", nullptr},
};
const int state_int_count = sizeof state_ints / sizeof state_ints[0];
