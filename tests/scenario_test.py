#!/usr/bin/python3
"""Runs a scenario through tamewarden-sim and compares the events that matter.

usage: scenario_test.py SIM SCRIPT EXPECTED

EXPECTED holds one JSON object per line; blank lines and lines starting with # are skipped.
An object with "event" is an expected event; {"exit": N} sets the expected exit status
(default 0); {"compare": [KIND, ...]} compares kinds that no expected event mentions, so that
none may appear; {"args": [...]} gives the tool options before SCRIPT (such as --cluster). The
events compared are those of the kinds EXPECTED mentions, plus "error" and "crash", which must
never appear unless expected. They must come in the same order, and each expected object must
match the fields it names (numbers to within 1e-6); other fields, other kinds and lines that
are not JSON (the plug-in's diagnostics) are ignored. In the events compared, the temporary
server directory a run makes is written $SERVER_DIR and a private database's directory
$DB_DIR; a recount's time ("in 3 ms"), which varies from run to run, is written "in # ms", a
cluster's outage "unreachable since TIME: REASON" and a map's last write "last wrote TIME".
"""

import json
import re
import subprocess
import sys

SERVER_DIR = re.compile(r'(?:/[\w.+-]+)*/tamewarden-sim-[A-Za-z0-9]{6}')
DB_DIR = re.compile(r'(?:/[\w.+-]+)*/tw-mariadb-[A-Za-z0-9]{6}')


def load_expected(path):
    events, status, kinds, args = [], 0, {"error", "crash"}, []
    with open(path, encoding="utf-8") as lines:
        for number, line in enumerate(lines, 1):
            line = line.strip()
            if not line or line.startswith("#"):
                continue
            try:
                item = json.loads(line)
            except json.JSONDecodeError as error:
                sys.exit(f"{path}:{number}: {error}")
            if "event" in item:
                events.append(item)
                kinds.add(item["event"])
            else:
                status = item.get("exit", status)
                kinds.update(item.get("compare", []))
                args += item.get("args", [])
    return events, status, kinds, args


RECOUNT_TIME = re.compile(r"\bin \d+ ms\b")
UNREACHABLE = re.compile(r"\bunreachable since \d{4}-\d{2}-\d{2} \d{2}:\d{2}:\d{2}: [^\n]*")
LAST_WROTE = re.compile(r"\blast wrote \d{4}-\d{2}-\d{2} \d{2}:\d{2}:\d{2}\b")


def masked(event):
    if isinstance(event.get("text"), str):
        text = RECOUNT_TIME.sub("in # ms", event["text"])
        text = UNREACHABLE.sub("unreachable since TIME: REASON", text)
        event["text"] = LAST_WROTE.sub("last wrote TIME", text)
    return event


def matches(expected, actual):
    if isinstance(expected, dict):
        return isinstance(actual, dict) and all(
            key in actual and matches(value, actual[key]) for key, value in expected.items())
    if isinstance(expected, list):
        return (isinstance(actual, list) and len(expected) == len(actual)
                and all(matches(e, a) for e, a in zip(expected, actual)))
    if isinstance(expected, bool) or isinstance(actual, bool):
        return expected is actual
    if isinstance(expected, (int, float)) and isinstance(actual, (int, float)):
        return abs(expected - actual) <= 1e-6
    return expected == actual


def main():
    sim, script, expected_path = sys.argv[1:4]
    expected, status, kinds, args = load_expected(expected_path)
    run = subprocess.run([sim, "--json", *args, script], stdin=subprocess.DEVNULL,
                         capture_output=True, text=True, timeout=120)
    actual = []
    for line in run.stdout.splitlines():
        if line.startswith("{"):
            line = DB_DIR.sub("$DB_DIR", SERVER_DIR.sub("$SERVER_DIR", line))
            event = masked(json.loads(line))
            if event.get("event") in kinds:
                actual.append(event)

    problems = []
    if run.returncode != status:
        problems.append(f"exit status {run.returncode}, expected {status}")
    for i in range(max(len(expected), len(actual))):
        want = expected[i] if i < len(expected) else None
        got = actual[i] if i < len(actual) else None
        if want is None or got is None or not matches(want, got):
            problems.append(f"event {i + 1}:\n  expected {json.dumps(want)}\n"
                            f"  actual   {json.dumps(got)}")
            break  # later events are usually off by one from here
    if problems:
        print(f"{script}: scenario differs", *problems, sep="\n")
        print("stderr:", run.stderr, sep="\n")
        sys.exit(1)
    print(f"{script}: {len(expected)} events as expected")


if __name__ == "__main__":
    main()
