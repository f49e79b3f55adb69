"""Replays that pin the game's timings, tick by tick, through zarn-trace."""
from zarn_test import (LANE_X, LANE_Y, LANE_RUNG, LEVELS, RUNG_Y, Driver, good_bot, idle, live,
                       picture, region, scratch, shot, toward)


def shows(img, index, x, y):
    """Every opaque pixel of the picture lies on the screen at (x, y)."""
    return all(img[y + j][x + i] == c for j, row in enumerate(picture(index))
               for i, c in enumerate(row) if c and 8 <= y + j < 240)


def goto(d, rung):
    while (d.s["ape_rung"], d.s["ape_y"]) != (rung, RUNG_Y[rung]):
        standing = d.s["ape_y"] == RUNG_Y[d.s["ape_rung"]] and not d.s["key_latch"]
        d.tick(toward(d.s["ape_rung"], rung) if standing else "")


def test_play_ape_entry_and_climbing():
    d = Driver(seed=1)
    d.start()
    # While the latch from the menu's Enter is set, a held arrow is ignored.
    straddle = (32 + 8 - len(picture(0)) // 4 * 2) // 2  # ape across the strip's edge
    poses = {}
    for k in range(1, 27):
        s = d.tick("DOWN", "entry" if k == straddle else None)
        assert (s["ape_y"], s["ape_rung"], s["key_latch"]) == (-32 + 2 * k, 1, 1)
        poses[k] = s["ape_pose"]
    assert set(poses.values()) <= {0, 1}
    d.tick("DOWN")  # first poll, on the tick after arrival
    assert (d.s["ape_pose"], d.s["ape_rung"], d.s["key_latch"]) == (2, 1, 1)
    d.tick("", "standing")
    assert (d.s["ape_pose"], d.s["key_latch"]) == (2, 0)
    # Held Down, then held Up: rung after rung without a tick of rest.
    for keys, step, end in (("DOWN", 2, 200), ("UP", -2, 20)):
        while d.s["ape_y"] != end:
            y = d.s["ape_y"]
            d.tick(keys)
            assert d.s["ape_y"] == y + step
        d.tick(keys + ",LEFT" if end == 20 else keys + ",RIGHT")  # no reach either
        assert (d.s["ape_y"], d.s["ape_pose"], d.s["ape_rung"]) == (end, 2, 1 + (end == 200) * 6)
        d.tick("RIGHT" if end == 20 else "LEFT")
        assert d.s["ape_pose"] == (3 if end == 20 else 4)
    d.tick("DOWN,UP")  # Up wins
    assert (d.s["ape_rung"], d.s["ape_pose"], d.s["ape_y"]) == (1, 2, 20)
    d.close()
    # The status strip lies over the ape coming in; below it the ape shows.
    assert shot(d.folder, "entry")[:8] == shot(d.folder, "standing")[:8]
    assert shows(shot(d.folder, "entry"), poses[straddle], 137, -32 + 2 * straddle)


def test_play_barrel_lives_lost_row_and_escape():
    d = Driver(seed=2, folder=scratch(hiscore=b"\0\0\0\0"))
    d.start()
    lives, ended, fallen, sprite = {}, {}, set(), {}
    while not d.s["game_over"]:  # one hand-over, then nothing
        losing = any(b[0] == 5 and b[3] >= 209 for _, b in live(d.s))  # lost next tick
        label = {6: "lose7", 7: "seven", 13: "lose14"}.get(d.s["misses"])
        label = label if losing or d.s["misses"] == 7 else None
        d.tick("" if d.s["score"] else good_bot(d.s), label)
        sprite[label] = d.s["miss_sprite"]
        s, p, t = d.s, d.prev, d.s["run_ticks"]
        _, _, wait, roll, deliver = s["cur_params"]
        for i, (state, _, x, _, dx, _, left, lane, _) in enumerate(s["barrels"][:s["cur_params"][0]]):
            was = p["barrels"][i]
            if not was[0] and state:  # a new barrel inherits the slot's step_timer
                assert was[5] == {None: 0, 5: roll, 4: deliver}[ended.get(i)]
                lives[i] = {"first": t + was[5], "steps": [], "waits": []}
            if not state and was[0]:
                ended[i] = was[0]
            life = lives.get(i, {"steps": [], "waits": []})
            if state in (1, 2) and x != (was[2] if was[0] else LANE_X[lane]):
                life["steps"].append(t)
            life["waits"] += [left] if state == 2 else []
            if state == 5 and was[0] == 2:
                life["fall"] = t
            if state == 0 and was[0] == 5:
                k = next(k for k in range(1, 99) if LANE_Y[lane] + 2 * k > 210)
                assert life["steps"] == [life["first"] + j * (roll + 1) for j in range(14)], life
                assert life["waits"] == list(range(wait - 1, -1, -1)), life
                assert life["fall"] == life["steps"][-1] + wait and t - life["fall"] + 1 == k, life
                assert x == (123 if dx > 0 else 186) and s["misses"] == p["misses"] + 1
                over = [("stop", 27), ("stop", 21), ("play", 28)]
                assert d.sounds() == (over if s["game_over"] else [("play", 22)])
                fallen.add(lane)
    assert 0 in fallen and fallen & {6, 7}, fallen
    sprite["fourteen"] = d.tick("", "fourteen")["miss_sprite"]
    # Esc during the fall ends the game and takes the score as the best.
    assert d.s["ape_y"] == 41 and d.s["score"] == 10 and d.s["hiscore"] == 0
    assert d.tick("ESC")["loop"] == "menu" and d.s["hiscore"] == 10
    d.close()
    field = picture(15)
    bonus = range(152, 152 + max(len(picture(8)[0]), len(picture(9)[0])))
    for name, icons in (("lose7", 6), ("seven", 7), ("lose14", 13), ("fourteen", 14)):
        img = shot(d.folder, name)
        # Lost-barrel icons 0..icons-1 in place, opaque; nothing else in the row.
        for i in range(14):
            x = 16 * i + (96 if i > 6 else 0)
            icon = [r[:15] for r in picture(sprite[name])[:16]]
            want = icon if i < icons else region(field, x, 215, 15, 16)
            assert region(img, x, 215, 15, 16) == want, (icons, i)
            assert region(img, x + 15, 215, 1, 16) == region(field, x + 15, 215, 1, 16), (icons, i)
        # Between the groups only the two figures and the bonus item are drawn.
        for x in range(112, 208):
            if not (121 <= x < 137 or 184 <= x < 200 or x in bonus):
                assert region(img, x, 209, 1, 31) == region(field, x, 209, 1, 31), x


def test_play_grabs_handover_and_travel():
    d = Driver(seed=1)
    d.start()
    _, _, _, roll, deliver = LEVELS[0]
    # Reaching already when a barrel arrives: grabbed in its arrival tick.
    d.run(idle, lambda s: not s["key_latch"], 40)
    i, b = live(d.s)[0]
    goto(d, LANE_RUNG[b[7]])
    while d.s["barrels"][i][0] == 1:
        d.tick("LEFT" if b[4] > 0 else "RIGHT", "grab")
    s, grab_y = d.s, d.s["ape_y"] + 20
    assert d.prev["barrels"][i][0] == 1 and ("play", 29) in d.sounds() and s["carried"] == i + 1
    assert [s["barrels"][i][k] for k in (0, 1, 2, 3, 8)] == [3, 4, 154, grab_y, 38]
    # The hand-over on rung 2; then six travel steps to the stack.
    goto(d, 2)
    s = d.tick("LEFT")
    h = s["run_ticks"]
    assert ("play", 30) in d.sounds() and s["score"] == 10 and s["carried"] == 0
    assert [s["barrels"][i][k] for k in (0, 1, 2, 3, 8)] == [4, 0, 124, 63, 34]
    steps = [h + roll + j * (deliver + 1) for j in range(6)]
    while d.s["run_ticks"] <= steps[-1]:
        d.tick()
        t, b = d.s["run_ticks"], d.s["barrels"][i]
        x = 124 - 8 * sum(1 for k in steps if k <= t)
        assert b[2] == x and b[0] == (0 if x == 76 else 4) and d.s["delivered"] == (x == 76), (t, b)
    # Reaching in the tick the wait runs out: the click sounds, the barrel falls.
    d.run(idle, lambda s: any(b[0] == 1 for _, b in live(s)), 1000)
    i, b = next((i, b) for i, b in live(d.s) if b[0] == 1)
    goto(d, LANE_RUNG[b[7]])
    d.run(idle, lambda s: s["barrels"][i][0] == 2 and s["barrels"][i][6] == 0, 1000)
    d.tick("LEFT" if b[4] > 0 else "RIGHT")
    assert ("play", 29) in d.sounds() and d.s["carried"] == 0
    assert d.s["barrels"][i][0] == 5 and d.s["barrels"][i][3] == LANE_Y[b[7]] + 2
    d.close()
    assert shows(shot(d.folder, "grab"), 38, 154, grab_y)  # drawn over the ape


def test_play_level_clear_and_wrap():
    for level in (0, 15):  # the last level clears to the first
        d = Driver(seed=4)
        d.start(level)
        assert d.s["level"] == level and d.s["cur_params"] == LEVELS[level]
        d.run(good_bot, lambda s: s["clear_countdown"], 20000)
        p, s, at = d.prev, d.s, (d.s["ape_y"], d.s["ape_rung"])
        assert (p["delivered"], s["delivered"], s["clear_countdown"], s["cheer_timer"]) == (9, 10, 200, 0)
        assert all(b[0] == 0 for b in s["barrels"][:s["cur_params"][0]]) and s["carried"] == 0
        assert s["score"] == p["score"] + 100 + 10 * (("play", 30) in d.sounds())
        assert [e for e in d.sounds() if e[1] in (21, 27, 32)] == [("stop", 27), ("stop", 21), ("play", 32)]
        pose = 1 if s["ape_pose"] == 0 else 0
        for step in range(1, 201):  # the ape and the lady flip every 11 ticks
            pose = 1 - pose if step % 11 == 1 and step > 1 else pose
            s = d.tick("UP")
            assert (s["clear_countdown"], s["ape_pose"], s["lady_sprite"]) == (200 - step, pose, 18 + pose)
            assert (s["ape_y"], s["ape_rung"]) == at and s["score"] == d.prev["score"]
            assert (s["level"], s["delivered"]) == ((level, 10) if step < 200 else ((level + 1) % 16, 0))
            assert d.sounds() == ([] if step < 200 else [("play", 27)])
        assert s["cur_params"] == LEVELS[s["level"]] and s["bonus_type"] == 0
        assert s["bonus_roll_timer"] == d.prev["bonus_roll_timer"] + 300 and d.events[0]["loop"] == 1
        d.tick()  # playing again: the ape polls or walks
        assert d.s["ape_pose"] == 2 if at[0] == RUNG_Y[at[1]] else abs(d.s["ape_y"] - at[0]) == 2
        d.close()


def test_play_bonus_rolls():
    # One hand-over, then the ape waits on rung 7 (low) or 2 for the first
    # roll: it comes 300 ticks after the tick of the first points.
    def still(d):  # no points, no countdown
        assert d.s["score"] or d.s["bonus_roll_timer"] == 300
    seen = set()
    for seed in range(1, 40):
        for presses, low in ((0, True), (0, False), (5, False)):
            d = Driver(seed=seed)
            d.start(presses)
            d.run(lambda s: good_bot(s, bonus=False), lambda s: s["score"], 5000, still)
            first = d.s["run_ticks"]
            goto(d, 7 if low else 2)
            d.run(idle, lambda s: s["bonus_roll_timer"] >= 1400, 400)
            s, p, kind = d.s, d.prev, d.s["bonus_type"]
            assert s["run_ticks"] == first + 300 and p["bonus_roll_timer"] == 0
            assert s["bonus_roll_timer"] <= 1899 and s["score_at_roll"] == p["score"]
            music = [e for e in d.sounds() if e[1] in (21, 27, 31)]
            if not music:  # nothing came (only below level index 5), but the roll counted
                assert presses == 0 and kind == 0 and s["score"] == p["score"]
                for _ in range(50):  # and the next countdown waits for points
                    assert d.tick()["bonus_roll_timer"] == s["bonus_roll_timer"]
                seen.add("none")
            elif low:  # collected on the roll tick
                assert kind == 0 and s["score"] == p["score"] + 100  # kind 1
                assert s["misses"] == max(0, p["misses"] + (("play", 22) in d.sounds()) - 1)
                assert music == [("stop", 27), ("play", 21), ("play", 31), ("stop", 21), ("play", 27)]
                d.tick()  # the score now differs from the one at the roll
                assert d.s["bonus_roll_timer"] == s["bonus_roll_timer"] - 1
                seen.add("caught")
            else:  # left to expire: drawn for 301 or 251 ticks
                assert (kind == 1 or presses == 5) and s["bonus_time_left"] == 349 - 50 * kind
                d.run(idle, lambda s: s["bonus_type"] == 0, 400)
                assert d.s["run_ticks"] - s["run_ticks"] + 1 == {1: 301, 2: 251}[kind]
                assert [e for e in d.sounds() if e[1] in (21, 27)] == [("stop", 21), ("play", 27)]
                assert d.s["score"] == d.prev["score"]
                seen.add(kind)
            d.close()
        if len(seen) == 4:
            break
    assert seen == {"caught", "none", 1, 2}, seen
