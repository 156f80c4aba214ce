#!/usr/bin/env python3
"""Writes a configuration of N "Dinos" keys, each a real creature path with one letter changed,
to measure how long `tamewarden-sim --check` takes when every key asks for a suggestion:

    python3 bench/near_miss_config.py 20000 /tmp/near.json
    time build/sim/tamewarden-sim --check /tmp/near.json
"""
import json
import pathlib
import random
import sys


def main():
    count, out = int(sys.argv[1]), sys.argv[2]
    creatures = pathlib.Path(__file__).resolve().parent.parent / "examples" / "creatures.tsv"
    paths = [line.split("\t")[1].strip() for line in creatures.read_text().splitlines()
             if "\t/Game/" in line]
    rng = random.Random(1)
    dinos = {}
    while len(dinos) < count:
        path = rng.choice(paths)
        at = rng.randrange(len("/Game/"), len(path))
        path = path[:at] + rng.choice("abcdefghxyz") + path[at + 1:]
        dinos[f"Blueprint'{path}'"] = {"Count": 5}
    with open(out, "w") as file:
        json.dump({"General": {"MaxAmount": 60}, "Messages": {}, "Dinos": dinos}, file)


if __name__ == "__main__":
    main()
