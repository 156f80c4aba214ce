#!/usr/bin/python3
"""tamewarden-sim --cluster as a process: a map's server that dies is reported as an error naming
the map and the run ends with status 1 instead of hanging; a stop signal ends every map and the
private database, and the temporary directories go; at a terminal, the prompt opens with a banner
and typed lines' errors carry no line number.

usage: cluster_test.py SIM
"""

import glob
import json
import os
import pty
import re
import select
import signal
import subprocess
import sys
import tempfile
import time
import unittest

SIM = None


def children(pid):
    """The map processes the tool started: (pid, map name)."""
    found = []
    for stat in glob.glob("/proc/[0-9]*/stat"):
        try:
            with open(stat) as f:
                fields = f.read().rsplit(")", 1)[1].split()
            with open(stat.replace("stat", "cmdline")) as f:
                argv = f.read().split("\0")
        except OSError:
            continue
        if int(fields[1]) == pid and "--map-process" in argv:
            found.append((int(stat.split("/")[2]), argv[argv.index("--map-process") + 1]))
    return found


class Rehearsal:
    """The tool with a script on a pipe, read event by event."""

    def __init__(self, *maps, tmpdir=None):
        env = dict(os.environ, TMPDIR=tmpdir) if tmpdir else None
        self.process = subprocess.Popen(
            [SIM, "--json", "--cluster", ",".join(maps), "-"], stdin=subprocess.PIPE,
            stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, env=env)
        self.events = []
        self.seen = 0  # events wait_for has looked at
        self.pending = b""

    def send(self, line):
        self.process.stdin.write((line + "\n").encode())
        self.process.stdin.flush()

    def read_lines(self, timeout):
        """The whole lines that arrive within `timeout`; None at the end of the output."""
        fd = self.process.stdout.fileno()
        ready, _, _ = select.select([fd], [], [], timeout)
        if not ready:
            return []
        chunk = os.read(fd, 65536)
        if not chunk:
            return None
        self.pending += chunk
        *lines, self.pending = self.pending.split(b"\n")
        return [line.decode() for line in lines]

    def wait_for(self, accept, seconds=30):
        """The first event not looked at yet that `accept` takes."""
        deadline = time.monotonic() + seconds
        while True:
            while self.seen < len(self.events):
                self.seen += 1
                if accept(self.events[self.seen - 1]):
                    return self.events[self.seen - 1]
            lines = self.read_lines(0.1)
            if lines is None or time.monotonic() > deadline:
                raise AssertionError(f"no such event within {seconds} s; got {self.events}")
            self.events += [json.loads(line) for line in lines if line.startswith("{")]

    def finish(self, seconds=30):
        self.process.stdin.close()
        deadline = time.monotonic() + seconds
        while time.monotonic() < deadline:
            lines = self.read_lines(0.1)
            if lines is None:
                break
            self.events += [json.loads(line) for line in lines if line.startswith("{")]
        return self.process.wait(timeout=max(0.1, deadline - time.monotonic()))


class MapProcesses(unittest.TestCase):
    def test_a_map_that_dies_is_reported_by_name_and_the_run_fails(self):
        run = Rehearsal("Alpha", "Beta")
        run.send("player ann id=100001")
        run.send("truth")  # boots every map: each reports its load
        run.wait_for(lambda e: e["event"] == "load" and e.get("map") == "Beta")
        maps = children(run.process.pid)
        self.assertEqual(sorted(name for _, name in maps), ["Alpha", "Beta"])
        os.kill(dict((name, pid) for pid, name in maps)["Alpha"], signal.SIGKILL)
        run.send("truth 100001")
        error = run.wait_for(lambda e: e["event"] == "error")
        self.assertEqual(error["map"], "Alpha")
        self.assertEqual(error["line"], 3)
        self.assertIn("ended unexpectedly; it was killed by signal 9", error["text"])
        # The other map plays on; the dead one is not asked again.
        run.send("@Beta truth 100001")
        run.send("@Alpha truth")
        status = run.finish()
        self.assertEqual(status, 1)
        errors = [e for e in run.events if e["event"] == "error"]
        self.assertEqual([e["line"] for e in errors], [3, 5])
        self.assertIn("no longer runs", errors[1]["text"])
        truths = [e for e in run.events if e["event"] == "truth" and e["team"] == 100001]
        self.assertEqual([e["map"] for e in truths], ["Beta", "Beta"])

    def test_a_stop_signal_ends_every_map_and_the_database(self):
        # The run's temporary directories (the servers', the database's) go in one of the test's.
        with tempfile.TemporaryDirectory() as tmpdir:
            run = Rehearsal("Alpha", "Beta", tmpdir=tmpdir)
            run.send("player ann id=100001")
            run.send("truth")
            run.wait_for(lambda e: e["event"] == "load" and e.get("map") == "Beta")
            self.assertEqual(len(os.listdir(tmpdir)), 2)
            maps = [pid for pid, _ in children(run.process.pid)]
            self.assertEqual(len(maps), 2)
            run.process.send_signal(signal.SIGTERM)
            status = run.finish()
            self.assertEqual(status, 1)  # a script cut short
            for pid in maps:  # reaped, so gone
                self.assertFalse(os.path.exists(f"/proc/{pid}"))
            self.assertEqual(os.listdir(tmpdir), [])

    def test_at_a_terminal_the_prompt_has_a_banner_and_errors_name_no_line(self):
        main, secondary = pty.openpty()
        sim = subprocess.Popen([SIM, "--cluster", "Alpha,Beta"], stdin=secondary,
                               stdout=secondary, stderr=secondary, close_fds=True,
                               env=dict(os.environ, NO_COLOR="1"))
        os.close(secondary)
        shown, since = b"", 0
        # A map's error (relayed) and the rehearsal's own (an unknown map).
        for pattern, keys in [(r"with each map's cluster keys.*tw> ", "tame alice nessie\r"),
                              (r'no dino "nessie".*tw> ', "@Gamma truth\r"),
                              (r'no map "Gamma".*tw> ', "\x04")]:
            deadline = time.monotonic() + 60
            while not re.search(pattern.encode(), shown[since:], re.S):
                self.assertLess(time.monotonic(), deadline, shown.decode(errors="replace"))
                if select.select([main], [], [], 0.1)[0]:
                    shown += os.read(main, 4096)
            since = len(shown)
            os.write(main, keys.encode())
        self.assertEqual(sim.wait(timeout=60), 1)
        os.close(main)
        text = shown.decode(errors="replace")
        self.assertEqual(text.count("type help for help"), 1)
        self.assertIn('error: no dino "nessie"', text)
        self.assertIn('error: no map "Gamma"', text)
        self.assertNotIn("on line", text)


if __name__ == "__main__":
    SIM = sys.argv.pop(1)
    unittest.main()
