// SPDX-License-Identifier: MIT
// zarn-trace's JSON lines: the game state as the tool prints it on every
// pass, and the strings of its other lines.
#include <cstdio>
#include <cstring>
#include <string>

#include "core/game_state.h"
#include "state_table.h"
#include "trace.h"

namespace {

// The pack's pictures and samples by address, as last seen: the exit line
// comes after the pack is unloaded and still names what the state held.
const void *pack_objects_seen[PACK_OBJECTS];
const DATAFILE *pack_seen;

void append_int(std::string &s, const char *name, long v) {
  s += ",\"";
  s += name;
  s += "\":";
  s += std::to_string(v);
}

} // namespace

int object_index(const void *p) {
  if (pack != nullptr && pack != pack_seen) {
    for (int i = 0; i < PACK_OBJECTS; i++)
      pack_objects_seen[i] = pack[i].dat;
    pack_seen = pack;
  }
  if (p == nullptr)
    return -1;
  for (int i = 0; i < PACK_OBJECTS; i++)
    if (pack_objects_seen[i] == p)
      return i;
  return -1;
}

std::string json_string(const char *text) {
  std::string out = "\"";
  for (const unsigned char *p = reinterpret_cast<const unsigned char *>(text);
       *p; p++) {
    if (*p == '"' || *p == '\\') {
      out += '\\';
      out += static_cast<char>(*p);
    } else if (*p == '\n') {
      out += "\\n";
    } else if (*p < 0x20) {
      char esc[8];
      snprintf(esc, sizeof esc, "\\u%04x", *p);
      out += esc;
    } else {
      out += static_cast<char>(*p);
    }
  }
  return out + "\"";
}

void trace_emit(const std::string &line) {
  fputs(line.c_str(), stdout);
  fputc('\n', stdout);
  fflush(stdout);
}

namespace {

void append_records(std::string &s, const char *name) {
  if (strcmp(name, "cur_params") == 0) {
    s += ",\"cur_params\":[" + std::to_string(cur_params.barrel_slots) + "," +
         std::to_string(cur_params.spawn_base) + "," +
         std::to_string(cur_params.stop_wait) + "," +
         std::to_string(cur_params.roll_delay) + "," +
         std::to_string(cur_params.deliver_delay) + "]";
  } else if (strcmp(name, "flames") == 0) {
    s += ",\"flames\":[";
    for (int i = 0; i < 2; i++) {
      if (i)
        s += ",";
      s += "[" + std::to_string(flames[i].x) + "," +
           std::to_string(flames[i].frame) + "," +
           std::to_string(flames[i].timer) + "]";
    }
    s += "]";
  } else {
    s += ",\"barrels\":[";
    for (int i = 0; i < MAX_BARRELS; i++) {
      const BarrelSlot &b = barrels[i];
      if (i)
        s += ",";
      s += "[" + std::to_string(b.state) + "," + std::to_string(b.frame) + "," +
           std::to_string(b.x) + "," + std::to_string(b.y) + "," +
           std::to_string(b.dx) + "," + std::to_string(b.step_timer) + "," +
           std::to_string(b.wait_timer) + "," + std::to_string(b.lane) + "," +
           std::to_string(object_index(b.sprite)) + "]";
    }
    s += "]";
  }
}

} // namespace

std::string trace_state() {
  std::string s;
  append_int(s, "tick_flag", tick_flag.load());
  for (int i = 0; i < state_int_count; i++) {
    const StateInt &f = state_ints[i];
    if (f.value != nullptr)
      append_int(s, f.name, *f.value);
    else
      append_records(s, f.name);
  }
  append_int(s, "ape_sprite", object_index(ape_sprite));
  append_int(s, "lady_sprite", object_index(lady_sprite));
  append_int(s, "bonus_sprite", object_index(bonus_sprite));
  append_int(s, "flame_sprite", object_index(flame_sprite));
  append_int(s, "miss_sprite", object_index(miss_sprite));
  return s;
}
