"""Whole games through zarn-trace, played by a driver that plays well and by
one that does nothing, with the game's invariants checked on every pass."""
from zarn_test import LANE_X, LANE_Y, LEVELS, Driver, good_bot, idle, live, picture, region, shot


def check_pass(d):
    """Invariants that hold on every pass of a game."""
    s = d.s
    if s["loop"] != "game":
        return
    assert 0 <= s["misses"] <= 14 and 0 <= s["delivered"] <= 10 and 1 <= s["ape_rung"] <= 7, s
    for i, (state, _, x, y, dx, _, _, lane, _) in live(s):
        where = {1: y == LANE_Y[lane], 2: y == LANE_Y[lane], 4: y == 63,
                 5: LANE_Y[lane] <= y <= 212, 3: s["game_over"] or
                 ((x, y) == (137 + 17, s["ape_y"] + 20) and s["carried"] == i + 1)}
        assert -17 <= x <= 326 and where[state] and dx == (10 if LANE_X[lane] < 0 else -10), (i, s)


def game_over_and_menu(d, level):
    """From the last barrel lost: the fall, the box, a key ends the game, and
    the next game starts at the level reached."""
    assert d.s["game_over"] == 1 and d.s["misses"] == 14
    fell, before, poses = d.s["ape_y"] < 200, d.s["ape_pose"], []
    while d.s["ape_y"] < 200:
        y = d.s["ape_y"]
        d.tick("A" if y % 16 == 0 else "", "fell")  # presses during the fall are dropped
        assert (d.s["ape_y"], d.s["ape_pose"], d.s["run_active"]) == (y + 1, 7, 1)
        before = 7
    for k in range(30):
        d.tick("", "box" if k == 0 else None)
        assert d.s["run_active"] == 1 and d.s["ape_y"] == 200
        poses.append(d.s["ape_pose"])
    first = next(k for k, p in enumerate(poses) if p in (5, 6))  # every sixth tick
    assert poses == [before] * first + [(5, 6)[k // 6 % 2] for k in range(30 - first)], poses
    score, best, top = d.s["score"], d.s["hiscore"], d.s["top_score"]
    assert d.tick("SPACE")["loop"] == "menu" and d.s["run_active"] == 0 and d.s["level"] == level
    assert d.s["hiscore"] == (top if score > best else best)
    assert d.send(". ENTER")["level"] == level and d.s["cur_params"] == LEVELS[level]
    d.close()
    box = lambda img: region(img, 124, 97, 73, 15)  # only once the ape lies at the bottom
    assert not fell or box(shot(d.folder, "fell")) == box(picture(15))
    assert set(b"".join(box(shot(d.folder, "box")))) == {0, 42}


def test_bots_good_bot_reaches_level_five():
    d = Driver("--no-sound", seed=7)
    d.start()
    clears = collected = 0

    def watch(d):
        nonlocal clears, collected
        check_pass(d)
        clears += d.s["clear_countdown"] == 200
        collected += d.prev["bonus_type"] > 0 and d.s["score"] >= d.prev["score"] + 100
    d.run(good_bot, lambda s: s["level"] == 4 and s["clear_countdown"] == 0, 20000, watch)
    assert clears == 4 and collected >= 1, (clears, collected)
    d.run(idle, lambda s: s["game_over"], 5000, check_pass)
    game_over_and_menu(d, 4)


def test_bots_idle_bot_loses():
    d = Driver("--no-sound", seed=3)
    d.start()
    d.run(idle, lambda s: s["game_over"], 10000, check_pass)
    assert d.s["score"] == 0 and d.s["ape_y"] == 20
    game_over_and_menu(d, 0)
