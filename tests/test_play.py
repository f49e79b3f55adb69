# SPDX-License-Identifier: MIT
"""The game's rules replayed through zarn-trace, each checked as the rules
word it, on a level where breaking it shows."""
from zarn_test import (CARRIED, FALLING, FREE, LANE_X, LEVELS, ROLLING, RUNG_Y,
                       TRAVELLING, WAITING, Driver, good_bot, idle, live, picture, reach, region,
                       scratch, shot, to_game, toward, trace)

FALL = {43: 84, 87: 62, 122: 45, 157: 27, 191: 10}  # a lane's y: ticks of 2 pixels down to pass y 210
# The lanes and rungs as the rules give them, written out here and not read
# from the game's layout, so that the replays check it: a lane's y, step and
# the rung its barrels are grabbed from, and the rungs' y below the start.
LANES = [(43, -10, 1), (87, -10, 3), (122, 10, 4), (122, -10, 4), (157, 10, 5), (157, -10, 5),
         (191, 10, 6), (191, -10, 6)]
RUNGS = [20, 40, 64, 100, 134, 170, 200]


def goto(d, rung):
    d.run(lambda s: toward(s["ape_rung"], rung) if s["ape_y"] == RUNG_Y[s["ape_rung"]] and not s["key_latch"] else "",
          lambda s: (s["ape_rung"], s["ape_y"]) == (rung, RUNG_Y[rung]), 400)


def test_ape_climbs_and_reaches(tool):
    d = Driver(command=[tool])
    d.start()
    for k in range(1, 27):  # down from above the screen; Down ignored while the menu's latch holds
        d.tick("DOWN", "entry" if k == 8 else None)
        assert (d.s["ape_y"], d.s["ape_rung"], d.s["key_latch"]) == (2 * k - 32, 1, 1) and d.s["ape_pose"] < 2
    assert (d.tick("DOWN")["ape_pose"], d.s["ape_rung"], d.s["key_latch"]) == (2, 1, 1)  # the first poll
    assert (d.tick("", "standing")["ape_pose"], d.s["key_latch"]) == (2, 0)
    # Held Down, then Up: rung after rung without a tick of rest, taking the
    # next rung at each rung's y; the ends hold, a rung key beats a reach,
    # and a reach shows on its own.
    for keys, end, rung, reach, pose in (("DOWN", 200, 7, "LEFT", 4), ("UP", 20, 1, "RIGHT", 3)):
        turns = []
        while d.s["ape_y"] != end:
            assert d.tick(keys)["ape_y"] == d.prev["ape_y"] + (2 if keys == "DOWN" else -2)
            turns += [d.prev["ape_y"]] if d.s["ape_rung"] != d.prev["ape_rung"] else []
        assert turns + [end] == (RUNGS if keys == "DOWN" else RUNGS[::-1]), turns
        assert (d.tick(keys + "," + reach)["ape_pose"], d.s["ape_rung"], d.s["ape_y"]) == (2, rung, end)
        assert d.tick(reach)["ape_pose"] == pose
    assert (d.tick("DOWN,UP")["ape_rung"], d.s["ape_y"]) == (1, 20)  # Up wins
    d.close()
    assert shot(d.folder, "entry")[:8] == shot(d.folder, "standing")[:8]  # the status line over the ape


def test_barrels_roll_wait_and_fall():
    # Nobody plays. Up to level index 4 no two live barrels share a lane and a
    # barrel never takes its slot's last lane, from 5 on they may; at 13 the
    # roll and deliver delays differ.
    fallen = {}
    for level in (4, 5, 13):
        run = trace(to_game(level) + ["T"] * 2500)
        _, _, wait, roll, _ = LEVELS[level]
        sounds, lives, shared = {}, {}, False
        for n, e in run.events():
            sounds.setdefault(n, []).append((e["sound"], e["sample"]))
        for n, (p, s) in enumerate(zip(run.passes, run.passes[1:])):
            if s["loop"] != "game" or p["game_over"]:
                continue
            lanes = [b.lane for _, b in live(s)]
            shared |= len(set(lanes)) < len(lanes)
            for i, b in enumerate(s["barrels"][:s["cur_params"][0]]):
                was, life = p["barrels"][i], lives.get(i)
                if b.state != FREE and was.state == FREE:  # its step timer is the slot's last barrel's
                    assert (level > 4 or b.lane != was.lane) and was.step == (roll if life else 0), (i, was)
                    life = lives[i] = {"first": s["run_ticks"] + was.step, "steps": [], "waits": []}
                if b.state in (ROLLING, WAITING) and b.x != (was.x if was.state else LANE_X[b.lane]):
                    life["steps"].append(s["run_ticks"])
                if b.state == WAITING:
                    life["waits"].append(b.wait)
                if b.state == FALLING and was.state == WAITING:
                    life["fall"], life["lane"] = s["run_ticks"], (was.y, was.dx)
                if b.state == FREE and was.state == FALLING:
                    assert life["steps"] == [life["first"] + j * (roll + 1) for j in range(14)], life
                    assert life["waits"] == list(range(wait - 1, -1, -1)), life
                    assert life["fall"] == s["run_ticks"] - FALL[LANES[b.lane][0]] + 1 == life["steps"][-1] + wait
                    assert b.x == (123 if b.dx > 0 else 186) and s["misses"] == p["misses"] + 1
                    assert s["game_over"] == (s["misses"] == 14)
                    assert sounds.get(n) == ([("stop", 27), ("stop", 21), ("play", 28)] if s["game_over"]
                                             else [("play", 22)]), sounds.get(n)
                    fallen[b.lane] = life["lane"]
        assert shared == (level > 4) and s["game_over"], level
    assert fallen == {lane: (y, dx) for lane, (y, dx, _) in enumerate(LANES)}, fallen


def test_grab_hand_over_on_rung_2_and_travel():
    d = Driver(seed=1)
    d.start(13)
    _, _, _, roll, deliver = LEVELS[13]
    # Reaching already when a barrel arrives: it is grabbed in its arrival tick.
    d.run(idle, lambda s: not s["key_latch"], 40)
    i, b = next((i, b) for i, b in live(d.s) if b.state == ROLLING)
    goto(d, LANES[b.lane][2])
    while d.s["barrels"][i].state == ROLLING:
        d.tick(reach(b))
    s, b = d.s, d.s["barrels"][i]
    assert ("play", 29) in d.sounds() and s["carried"] == i + 1
    assert (b.state, b.frame, b.x, b.y, b.sprite) == (CARRIED, 4, 154, s["ape_y"] + 20, 38)
    for rung in (1, 3, 2):  # reaching left hands over on rung 2 only
        goto(d, rung)
        s = d.tick("LEFT")
        assert s["ape_pose"] == 4 and (("play", 30) in d.sounds(), s["carried"], s["score"]) == \
            ((True, 0, 10) if rung == 2 else (False, i + 1, 0)), rung
    b = s["barrels"][i]
    assert (b.state, b.frame, b.x, b.y, b.sprite) == (TRAVELLING, 0, 124, 63, 34)
    # The first travel step a roll delay after the hand-over, then one every deliver delay + 1.
    h, x = s["run_ticks"], 124
    steps = {h + roll + j * (deliver + 1): x for j, x in enumerate((116, 108, 100, 92, 84, 76))}
    while d.s["run_ticks"] < max(steps):
        x, b = steps.get(d.tick()["run_ticks"], x), d.s["barrels"][i]
        assert (b.state, b.x, d.s["delivered"]) == ((FREE, 76, 1) if x == 76 else (TRAVELLING, x, 0))
    # Reaching in the tick the wait runs out: the click sounds, the barrel falls.
    d.run(idle, lambda s: any(b.state == ROLLING for _, b in live(s)), 1000)
    i, b = next((i, b) for i, b in live(d.s) if b.state == ROLLING)
    goto(d, LANES[b.lane][2])
    d.run(idle, lambda s: s["barrels"][i].state == WAITING and s["barrels"][i].wait == 0, 1000)
    d.tick(reach(b))
    assert ("play", 29) in d.sounds() and d.s["carried"] == 0
    fell = d.s["barrels"][i]
    assert (fell.state, fell.y) == (FALLING, LANES[b.lane][0] + 2)
    # Esc, and the next game starts afresh at the same level but for what carries over.
    assert d.s["misses"] and d.send(". ESC")["loop"] == "menu"
    assert d.sounds() == [("stop", 27), ("stop", 21), ("stop", 24), ("stop", 28)]  # the game's samples
    assert d.send(". ENTER")["loop"] == "game"
    fresh = {"score": 0, "top_score": 100, "misses": 0, "delivered": 0, "carried": 0, "ape_y": -32, "ape_rung": 1,
             "clear_countdown": 0, "game_over": 0, "run_ticks": 0, "bonus_type": 0, "level": 13}
    assert {k: d.s[k] for k in fresh} == fresh and not live(d.s)
    d.close()


def test_level_clear_and_the_wrap_after_the_last_level():
    d = Driver(seed=1)
    d.start(14)
    clock, grabbed = set(), set()

    def roll_clock(p, s):
        # The bonus roll clock counts down on a playing tick with no item up
        # and points since the last roll while at most 9 barrels are
        # delivered: it stands on the tick of the tenth.
        if not (p["bonus_type"] or s["bonus_type"] or p["game_over"]) and s["score"] != s["score_at_roll"]:
            clock.add(s["delivered"])
            assert s["bonus_roll_timer"] == p["bonus_roll_timer"] - (s["delivered"] <= 9), (p, s)
        # A barrel is grabbed only from its lane's rung.
        for i, b in live(s):
            if b.state == CARRIED and p["barrels"][i].state == WAITING:
                assert s["ape_rung"] == LANES[b.lane][2], (b, s["ape_rung"])
                grabbed.add(b.lane)

    for level, after in ((14, 15), (15, 0)):
        d.run(good_bot, lambda s: s["clear_countdown"], 5000, roll_clock)
        p, s, at = d.prev, d.s, (d.s["ape_y"], d.s["ape_rung"])
        assert (s["level"], p["delivered"], s["delivered"], s["clear_countdown"], s["cheer_timer"]) == \
            (level, 9, 10, 200, 0) and not live(s) and s["carried"] == 0
        assert s["score"] == p["score"] + 100 + 10 * (("play", 30) in d.sounds())
        assert [e for e in d.sounds() if e[1] in (21, 27, 32)] == [("stop", 27), ("stop", 21), ("play", 32)]
        pose = 1 if s["ape_pose"] == 0 else 0
        for step in range(1, 201):  # the ape and the lady flip on steps 1, 12, 23, ...
            pose = 1 - pose if step % 11 == 1 and step > 1 else pose
            s = d.tick("UP")
            assert (s["clear_countdown"], s["ape_pose"], s["lady_sprite"]) == (200 - step, pose, 18 + pose)
            assert (s["ape_y"], s["ape_rung"], s["score"]) == (*at, d.prev["score"])
            # The next level brings 300 more ticks on the bonus roll clock.
            assert (s["level"], s["delivered"], s["bonus_roll_timer"] - d.prev["bonus_roll_timer"]) == \
                ((level, 10, 0) if step < 200 else (after, 0, 300))
            assert d.events == ([] if step < 200 else [{"sound": "play", "sample": 27, "loop": 1}])
        assert s["cur_params"] == LEVELS[after] and s["bonus_type"] == 0
    assert {9, 10} <= clock and len(grabbed) >= 6, (clock, grabbed)
    d.close()


def looped(d, sample):
    """Whether the last pass played the sample to loop until stopped, as
    either music does."""
    return [e["loop"] for e in d.events if e.get("sound") == "play" and e["sample"] == sample] == [1]


def test_bonus_item():
    # After the first points the ape waits on rung 6 for the roll; then it
    # climbs down to the item or leaves it to run out.
    seen = set()
    for seed, level, down in ((1, 0, False), (2, 0, False), (7, 5, False), (1, 5, True), (5, 5, True)):
        d = Driver(seed=seed)
        d.start(level)
        d.run(lambda s: good_bot(s, bonus=False), lambda s: s["score"], 5000)
        first = d.s["run_ticks"]
        goto(d, 6)
        d.run(idle, lambda s: s["bonus_roll_timer"] >= 1400, 400)
        s, kind = d.s, d.s["bonus_type"]  # on the 301st tick, the one of the points counting
        assert s["run_ticks"] - first == 300 and 1400 <= s["bonus_roll_timer"] <= 1899
        assert s["score_at_roll"] == s["score"]
        assert [e for e in d.sounds() if e[1] in (21, 27)] == ([("stop", 27), ("play", 21)] if kind else [])
        assert not kind or looped(d, 21)
        if not kind:  # the rare kind's share below level index 5: nothing, and the clock waits for points
            assert level < 5 and all(d.tick()["bonus_roll_timer"] == s["bonus_roll_timer"] for _ in range(50))
        elif down:  # collected on the tick the ape passes below y 184
            while d.s["bonus_type"]:
                assert d.s["ape_y"] <= 184
                d.tick("DOWN")
            p, s = d.prev, d.s
            misses = p["misses"] + (("play", 22) in d.sounds())  # a barrel lost on the same tick
            assert (p["ape_y"], s["ape_y"], s["score"] - p["score"]) == (184, 186, 100 * kind)
            assert s["misses"] == (misses - 1 if kind == 1 else 0) and (kind == 1 or misses > 1)
            assert [e for e in d.sounds() if e[1] != 22] == [("play", 31), ("stop", 21), ("play", 27)]
            assert looped(d, 27)
        else:  # drawn on 301 or 251 ticks, the roll's and the last included
            d.run(idle, lambda s: s["bonus_type"] == 0, 400)
            assert d.s["run_ticks"] - s["run_ticks"] + 1 == {1: 301, 2: 251}[kind]
            assert [e for e in d.sounds() if e[1] in (21, 27)] == [("stop", 21), ("play", 27)]
            assert looped(d, 27)
            assert d.s["score"] == d.prev["score"]
        seen.add((kind, down))
        d.close()
    assert seen == {(0, False), (1, False), (2, False), (1, True), (2, True)}, seen


def test_game_over_fall_box_and_keys():
    # Level 16 left alone, Enter pressed every 40 ticks: with the ape falling
    # from rung 1 or already lying on rung 7, the box waits for a press made
    # once the game is lost and the ape lies at the bottom; Enter still held
    # then starts the next game from the menu at the level reached.
    for lead, hiscore in (([], b"\xfb\xff\xff\xff"), (["T"] * 30 + ["T DOWN"] * 100, None)):
        lines = to_game(15) + lead + ["T ENTER", "T ENTER", *["T"] * 38] * 60
        ps = trace(lines, folder=scratch(hiscore=hiscore)).passes
        g = next(n for n, p in enumerate(ps) if p["game_over"])
        down = g + 200 - ps[g]["ape_y"]  # one pixel a tick
        fall = [(y, 7) for y in range(201 if lead else 21, 201)]
        assert [(p["ape_y"], p["ape_pose"]) for p in ps[g:down + 1]] == [(ps[g]["ape_y"], 2)] + fall
        end = next(n for n in range(max(g + 1, down), len(ps)) if lines[n] == "T ENTER" != lines[n - 1])
        assert all(p["loop"] == "game" for p in ps[g:end + 1])
        poses = [p["ape_pose"] for p in ps[down + 1:end + 1]]
        first = next(k for k, pose in enumerate(poses) if pose in (5, 6))  # then every sixth tick
        assert poses[first:] == [(5, 6)[k // 6 % 2] for k in range(len(poses) - first)], poses
        assert (ps[end + 1]["loop"], ps[end + 1]["hiscore"]) == ("menu", 0 if hiscore else 100)
        assert (ps[end + 2]["loop"], ps[end + 2]["level"], ps[end + 2]["top_score"]) == \
            ("game", 15, ps[end + 1]["hiscore"])
        if not lead:  # the box shows from the tick after the fall, over the playfield
            lines[down] += " @fall"
            lines[down + 1] += " @box"
            folder = trace(lines, folder=scratch(hiscore=hiscore), shots=True).folder
            box = [region(shot(folder, name), 124, 97, 73, 15) for name in ("fall", "box")]
            assert box[0] == region(picture(15), 124, 97, 73, 15) and set(b"".join(box[1])) == {0, 42}
            # The 14 lost barrels' icons, all one picture: 7 from the left edge, 7 from x 208.
            icons = [region(shot(folder, "box"), 16 * i + 96 * (i > 6), 215, 15, 16) for i in range(14)]
            assert icons == icons[:1] * 14 and icons[0] in [region(picture(k), 0, 0, 15, 16) for k in (10, 11)]
