#!/usr/bin/python3
"""Seeded legal play over three maps of one cluster, through tamewarden-sim --cluster: tames,
claims, pod releases, spawning items, admin spawns, uploads (a creature leaves one map) and
downloads (on another), deaths, merges, recounts, and a database outage during which only one map
plays. After every step, every map's counts of every team equal the sum over all maps of the
world's own count (`truth`), and no team owns more than a limit allows anywhere in the cluster.
A failing seed is cut down to its shortest failing script, which is printed.

usage: cluster_differential_test.py SIM [SEEDS] [STEPS]
"""

import json
import os
import random
import subprocess
import sys
import tempfile
import time

MAPS = ["TheIsland", "Ragnarok", "Valguero"]
PLAYERS = {"alice": (100001, 200001), "bob": (100002, 200001), "carol": (100003, 200002),
           "dave": (100004, 200003)}
TEAMS = sorted({team for _, team in PLAYERS.values()})


def path(folder, name):
    return f"/Game/PrimalEarth/Dinos/{folder}/{name}.{name}"


# The limited kinds (display name -> path, limit), and a kind no limit names.
KINDS = {
    "Rex": (path("Rex", "Rex_Character_BP"), 3),
    "Raptor": (path("Raptor", "Raptor_Character_BP"), 4),
    "Enforcer": ("/Game/Extinction/Dinos/Enforcer/Enforcer_Character_BP.Enforcer_Character_BP", 2),
}
DODO = path("Dodo", "Dodo_Character_BP")
TOTAL_LIMIT = 8
SPAWNER = ("/Game/Extinction/CoreBlueprints/Items/"
           "PrimalItem_Spawner_Enforcer.PrimalItem_Spawner_Enforcer")


def wrapped(p):
    return f"Blueprint'{p}'"


def config():
    return {
        "General": {"MaxAmount": TOTAL_LIMIT, "IgnoreAdmin": False},
        "Messages": {"ShowLimitMsg": "{0}: {1}/{2}\n", "TotalLimitMsg": "Total: {0}/{1}"},
        "Dinos": {wrapped(p): {"Count": limit, "Name": name}
                  for name, (p, limit) in KINDS.items()},
        "ItemMap": {wrapped(SPAWNER): wrapped(KINDS["Enforcer"][0])},
        "Cluster": {"ServerName": "TheIsland", "SyncIntervalMs": 50},
    }


class Script:
    """The lines of a run, in steps; each step ends with a check of every map and team. A model
    of every map's tamed creatures and tribes keeps the play legal: a line that follows a
    checked road (a download after its request) is written only when the road lets it through.
    """

    def __init__(self, rng):
        self.rng = rng
        self.serial = 0
        self.down = None  # the one map that plays while the database is stopped
        self.owned = {m: {} for m in MAPS}  # map -> (team, kind path) -> creatures
        self.team = {m: {p: team for p, (_, team) in PLAYERS.items()} for m in MAPS}

    def name(self, prefix):
        self.serial += 1
        return f"{prefix}{self.serial}"

    def kind(self):
        return self.rng.choice([p for p, _ in KINDS.values()] + [DODO])

    def count(self, team, kind=None):
        return sum(n for owned in self.owned.values() for (t, k), n in owned.items()
                   if t == team and kind in (None, k))

    def allowed(self, team, kind):
        """Whether the team may gain one creature of the kind, over the whole cluster."""
        if any(self.count(team, p) > limit for p, limit in KINDS.values()):
            return False
        limit = next((limit for p, limit in KINDS.values() if p == kind), None)
        return self.count(team) < TOTAL_LIMIT and (limit is None or
                                                   self.count(team, kind) < limit)

    def gain(self, where, player, kind):
        """A checked gain: True (and counted) when allowed."""
        team = self.team[where][player]
        if not self.allowed(team, kind):
            return False
        owned = self.owned[where]
        owned[(team, kind)] = owned.get((team, kind), 0) + 1
        return True

    def lose(self, where, team, kind):
        self.owned[where][(team, kind)] -= 1

    def step(self):
        """The lines of one random step of legal play."""
        rng = self.rng
        where = self.down or rng.choice(MAPS)
        player = rng.choice(list(PLAYERS))
        team = self.team[where][player]
        kind = self.kind()
        at = f"@{where} "
        road = rng.choice(["tame", "tame", "tame", "claim", "pod", "item", "spawn", "upload",
                           "die", "merge", "recount", "outage"])
        if road in ("tame", "claim"):
            # Claimed from team 0, a creature is the claimer's gain as a tame is.
            dino = self.name("wild")
            self.gain(where, player, kind)
            return [f"{at}dino {dino} kind={kind}", f"{at}{road} {player} {dino}"]
        if road == "pod":
            # A released creature is counted by the next recount.
            pod = self.name("pod")
            self.gain(where, player, kind)
            return [f"{at}cryopod {pod} holds={kind}", f"{at}release {player} {pod}",
                    f"{at}rcon UpdateDinos"]
        if road == "item":
            kit = self.name("kit")
            self.gain(where, player, KINDS["Enforcer"][0])
            return [f"{at}item {kit} kind={SPAWNER} type=4 consumable=3 "
                    f"spawns={KINDS['Enforcer'][0]}", f"{at}use {player} {kit}",
                    f"{at}rcon UpdateDinos"]
        if road == "spawn":
            # An admin's spawn is checked against the admin's team; the creature is wild.
            return [f"{at}spawn alice {wrapped(kind)}"]
        if road in ("upload", "die"):
            # The player tames a creature here (checked, so it may stay wild), and it leaves:
            # uploaded, its kind is then asked for on another map and downloaded when allowed.
            dino = self.name("up")
            lines = [f"{at}dino {dino} kind={kind}", f"{at}tame {player} {dino}"]
            if self.gain(where, player, kind):
                self.lose(where, team, kind)
            if road == "die":
                return lines + [f"{at}die {dino}"]
            lines.append(f"{at}destroy {dino}")
            other = rng.choice([m for m in MAPS if m != where]) if not self.down else where
            lines.append(f"@{other} request_download {player} {kind}")
            if self.gain(other, player, kind):
                lines.append(f"@{other} download {player} {kind}")
            return lines
        if road == "merge":
            other = rng.choice([p for p in PLAYERS if p != player])
            old = self.team[where][other]
            if old != team and self.merge_fits(team, old):
                # The other player's whole tribe joins, with its creatures on this map.
                for p, t in self.team[where].items():
                    if t == old:
                        self.team[where][p] = team
                owned = self.owned[where]
                for (t, k), n in list(owned.items()):
                    if t == old:
                        owned[(team, k)] = owned.get((team, k), 0) + n
                        owned[(t, k)] = 0
            return [f"{at}merge {player} {other}"]
        if road == "recount":
            return [f"{at}rcon UpdateDinos"]
        # The database stops and only one map plays until it starts again: the others' last
        # known counts stay exact, so the limits still hold.
        if self.down:
            self.down = None
            return ["db_start"]
        self.down = where
        return ["db_stop"]

    def merge_fits(self, a, b):
        if self.count(a) + self.count(b) > TOTAL_LIMIT:
            return False
        return all(self.count(a, p) + self.count(b, p) <= limit for p, limit in KINDS.values())

    def check(self):
        lines = []
        for where in MAPS if not self.down else [self.down]:
            for team in TEAMS:
                lines += [f"@{where} truth {team}", f"@{where} rcon tw.counts {team}"]
        return lines


def generate(seed, steps):
    rng = random.Random(seed)
    script = Script(rng)
    head = ["config config.json"]
    head += [f"player {name} id={pid} tribe={team}" + (" admin" if name == "alice" else "")
             for name, (pid, team) in PLAYERS.items()]
    head.append("sync")  # every map loads and reads the others before play begins
    body = []
    for _ in range(steps):
        body.append(script.step() + script.check())
    if script.down:
        script.down = None
        body.append(["db_start"] + script.check())
    return head, body


def parse_counts(text):
    """tw.counts TEAM's answer: {"": total, name: count}."""
    counts = {"": 0}
    for line in text.split("\n"):
        name, sep, rest = line.partition(": ")
        if not sep or "/" not in rest or name.startswith("on "):
            continue
        value = int(rest.split("/")[0])
        counts["" if name == "Total" else name] = value
    return counts


def run(sim, workdir, head, body):
    """The failures of one run: texts, empty when every check held."""
    script = "\n".join(head + [line for step in body for line in step]) + "\n"
    with open(os.path.join(workdir, "run.tws"), "w") as f:
        f.write(script)
    result = subprocess.run([sim, "--cluster", ",".join(MAPS), "--json", "run.tws"],
                            cwd=workdir, capture_output=True, text=True, timeout=600)
    events = [json.loads(line) for line in result.stdout.splitlines() if line.startswith("{")]
    # Every check line, in order, with the rcon request id it gets on its map.
    ids = {m: 0 for m in MAPS}
    checks = []  # (step, map, team, rcon id)
    for index, step in enumerate(body):
        for line in step:
            where, _, rest = line[1:].partition(" ") if line.startswith("@") else (None, "", line)
            if rest.startswith("rcon "):
                for m in [where] if where else MAPS:
                    ids[m] += 1
                if rest.startswith("rcon tw.counts "):
                    checks.append((index, where, int(rest.split()[-1]), ids[where]))
    answers = {(e["map"], e["id"]): e["text"] for e in events if e["event"] == "rcon"}
    truths = {}  # (map, team) in order of appearance, consumed per check
    pending = {}
    for e in events:
        if e["event"] == "truth":
            pending.setdefault((e["map"], e["team"]), []).append(e)
    failures = []
    if result.returncode not in (0, 1):
        failures.append(f"exit status {result.returncode}: {result.stderr[-500:]}")
    by_step = {}
    for step, where, team, rid in checks:
        truth = pending.get((where, team), [])
        if not truth:
            failures.append(f"step {step}: no truth of team {team} on {where}")
            continue
        t = truth.pop(0)
        by_step.setdefault(step, {}).setdefault(team, {})[where] = (t, answers.get((where, rid)))
    names = {wrapped(p): name for name, (p, _) in KINDS.items()}
    for step, teams in sorted(by_step.items()):
        for team, per_map in teams.items():
            cluster = {"": sum(t["total"] for t, _ in per_map.values())}
            for t, _ in per_map.values():
                for kind, count in t["kinds"].items():
                    if kind in names:
                        cluster[names[kind]] = cluster.get(names[kind], 0) + count
            if len(per_map) < len(MAPS):
                continue  # during the outage only the playing map is checked, against itself
            if cluster[""] > TOTAL_LIMIT or any(
                    cluster.get(name, 0) > limit for name, (_, limit) in KINDS.items()):
                failures.append(f"step {step}: team {team} owns {cluster} in the cluster, past "
                                f"a limit")
            for where, (_, answer) in per_map.items():
                if answer is None:
                    failures.append(f"step {step}: no tw.counts answer on {where}")
                    continue
                shown = parse_counts(answer)
                want = {k: v for k, v in cluster.items() if v}
                got = {k: v for k, v in shown.items() if v}
                if got != want:
                    failures.append(f"step {step}: {where} shows team {team} as {got}, the "
                                    f"worlds hold {want}")
    return failures


def shortest(sim, workdir, head, body, budget):
    """Drops steps while the run still fails, within `budget` seconds."""
    end = time.monotonic() + budget
    index = 0
    while index < len(body) and time.monotonic() < end:
        trial = body[:index] + body[index + 1:]
        if run(sim, workdir, head, trial):
            body = trial
        else:
            index += 1
    return body


def main():
    sim = os.path.abspath(sys.argv[1])
    seeds = int(sys.argv[2]) if len(sys.argv) > 2 else 2
    steps = int(sys.argv[3]) if len(sys.argv) > 3 else 20
    failed = False
    with tempfile.TemporaryDirectory(prefix="tw-cluster-diff-") as workdir:
        with open(os.path.join(workdir, "config.json"), "w") as f:
            json.dump(config(), f, indent=2)
        for seed in range(1, seeds + 1):
            head, body = generate(seed, steps)
            started = time.monotonic()
            failures = run(sim, workdir, head, body)
            print(f"seed {seed}: {steps} steps on {len(MAPS)} maps, "
                  f"{sum(len(s) for s in body)} lines, {time.monotonic() - started:.1f} s: "
                  f"{'ok' if not failures else 'FAILED'}")
            if failures:
                failed = True
                print("\n".join(failures[:10]))
                body = shortest(sim, workdir, head, body, budget=120)
                print(f"shortest failing script of seed {seed}, which fails with:")
                print("\n".join(run(sim, workdir, head, body)[:5]))
                print("\n".join(head + [line for step in body for line in step]))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
