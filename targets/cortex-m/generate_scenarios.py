#!/usr/bin/env python3
"""Random seatbelt scenarios for the back-to-back comparison of desktop and board.

Each scenario mixes busy stretches, with stimuli of every input over its whole value range, with
quiet stretches long enough for the stuck monitors to report (latch after 5 s, speed after 10 s
without a change). Several stimuli often fall on one tick: at the same time, or at times that
round up to the same tick. Calibrations take their edges, 0 and 65535, among other values; notes
carry any byte but the line end, a 0 byte included; some files use Windows line ends, blanks and
comments. Each file also states a few expectations of every form about random signals, which
pass or fail as they happen to; desktop and board must agree on the verdicts. The same seed
gives the same files, so a failure found in CI can be rerun:

    generate_scenarios.py --seed 7 --count 24 OUTPUT_DIR
"""

import argparse
import os
import random
import sys

FIELDS = ("latch_debounce_ms", "unlatch_debounce_ms", "occ_debounce_ms", "speed_threshold",
          "door_grace_ms")
U32_MAX = 4294967295

# Inputs with their largest value and the words a scenario may write for two of their values.
INPUTS = {
    "latch": (255, ("latched", "unlatched")),
    "occupancy": (U32_MAX, ("occupied", "empty")),
    "speed": (65535, ()),
    "door": (1, ("closed", "open")),
    "ignition": (U32_MAX, ("on", "off")),
}

# How often each input is driven: mostly the belt and the speed, which turn the warning on and off.
WEIGHTS = {"latch": 30, "speed": 25, "door": 10, "occupancy": 10, "ignition": 10, "note": 15}

# Longer than the stuck monitors' 5100 ms (latch) and 10100 ms (speed) from a change to the
# passed report.
QUIET_MS = (5200, 16000)


# Usual values, weighted towards a drive with the belt open so that the warning comes and goes.
USUAL = {
    "latch": [0, 0, 1, 2],
    "occupancy": [1, 1, 0],
    "speed": [0, 24, 25, 26, 30, 30, 60, 130],
    "door": [1, 1, 0],
    "ignition": [1, 1, 1, 0, 2],
}


def value_text(rng, name):
    """A value of the input: usually one the components treat specially, sometimes any value
    of the whole range, sometimes a word."""
    largest, words = INPUTS[name]
    pick = rng.random()
    if words and pick < 0.15:
        return rng.choice(words)
    if pick < 0.85:
        return str(rng.choice(USUAL[name]))
    if pick < 0.92:
        return str(largest)
    return str(rng.randint(0, largest))


def note_text(rng):
    """Narration of any bytes but the line end; '#' starts a comment that ends it early."""
    alphabet = [chr(c) for c in range(32, 127)] + ["\t", "\x00", "\x01", "\x1b", "é", "€", "\x7f"]
    text = "".join(rng.choice(alphabet) for _ in range(rng.randint(1, 40)))
    return "x" + text  # never empty, so the line stays a note


def calibration(rng, index):
    """Calibration lines. The first scenario takes 0 for every field, the second 65535; the
    others a mix of edges, defaults (no line) and random values."""
    lines = []
    for field in FIELDS:
        if index == 0:
            value = 0
        elif index == 1:
            value = 65535
        else:
            pick = rng.random()
            if pick < 0.3:
                continue
            value = rng.choice([0, 10, 65535, rng.randint(0, 500), rng.randint(0, 3000),
                                rng.randint(0, 65535)])
        lines.append(f"calibration {field} {value}")
    rng.shuffle(lines)
    return lines


# Signals an expectation may name, with the largest value it may compare them with.
SIGNALS = {
    "latch_raw": 255, "occupancy_raw": U32_MAX, "speed_raw": 65535, "door_raw": 1,
    "ignition_raw": U32_MAX, "latch_filtered": 1, "latch_filtered_status": 255,
    "occupancy_filtered": U32_MAX, "occupancy_filtered_status": 255, "vehicle_speed": 65535,
    "vehicle_speed_status": 255, "ignition_state": U32_MAX, "ignition_state_status": 255,
    "door_closed": 1, "door_closed_status": 255, "warning_request": 255, "latch_stuck": 1,
    "speed_stuck": 1,
}
OPERATORS = ("==", "!=", "<", "<=", ">", ">=")


def expectations(rng, end_ms):
    """A few expect lines whose windows lie within a run that ends at end_ms."""
    last_tick = (end_ms + 9) // 10 * 10
    lines = []
    for number in range(rng.randint(0, 6) if last_tick >= 10 else 0):
        signal = rng.choice(list(SIGNALS))
        value = rng.choice([0, 1, 2, 25, 132, rng.randint(0, SIGNALS[signal])])
        value = min(value, SIGNALS[signal])
        start = rng.randint(0, last_tick - 10)
        stop = rng.randint(start + 10, last_tick)
        when = rng.choice([f"at {start}", f"during {start}..{stop}", f"within {start}..{stop}",
                           "always"])
        as_id = rng.choice(["", f" as GEN-{number}", " as x.y_z-1"])
        lines.append(f"expect {signal} {rng.choice(OPERATORS)} {value} {when}{as_id}")
    return lines


def scenario(rng, index):
    lines = [f"# generated scenario {index}"] + calibration(rng, index)
    if rng.random() < 0.7:
        lines += ["0 ignition on", "0 occupancy occupied", "0 latch unlatched", "0 speed 30"]
    time_ms = 0
    length_ms = rng.randint(20000, 90000)
    while time_ms < length_ms:
        if rng.random() < 0.3:
            time_ms += rng.randint(*QUIET_MS)
            continue
        for _ in range(rng.randint(1, 25)):
            # 0 to 9 ms later is often the same tick; a repeated time always is.
            time_ms += rng.choice([0, 0, rng.randint(1, 9), rng.randint(10, 400), 1000])
            name = rng.choices(list(WEIGHTS), weights=list(WEIGHTS.values()))[0]
            if name == "note":
                lines.append(f"{time_ms} note {note_text(rng)}")
            else:
                lines.append(f"{time_ms}{rng.choice([' ', '  ', chr(9)])}{name} "
                             f"{value_text(rng, name)}")
    end_ms = time_ms + rng.randint(0, 3000)
    lines.append(f"end {end_ms}")
    # From a generator of their own, so that the stimuli do not depend on them.
    lines += expectations(random.Random(rng.random()), end_ms)
    ending = "\r\n" if rng.random() < 0.2 else "\n"
    return ending.join(lines) + ending


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n", 1)[0])
    parser.add_argument("--seed", type=int, required=True)
    parser.add_argument("--count", type=int, default=24)
    parser.add_argument("output_dir")
    args = parser.parse_args(argv)
    rng = random.Random(args.seed)
    os.makedirs(args.output_dir, exist_ok=True)
    for index in range(args.count):
        path = os.path.join(args.output_dir, f"generated_{args.seed}_{index:02d}.txt")
        with open(path, "w", encoding="utf-8", newline="") as out:
            out.write(scenario(rng, index))
    return 0


if __name__ == "__main__":
    sys.exit(main())
