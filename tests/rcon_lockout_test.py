#!/usr/bin/python3
"""An intruder cannot lock tamewarden-sim's RCON port: 8 sockets that connect and never log in
(reconnecting whenever they are dropped) and 6 clients guessing the password, all from
127.0.0.1, while an admin on 127.0.0.2 logs in with Debian's python3-rcon client and runs
commands. The admin gets every answer; the guesses get 127.0.0.1 banned, and the ban ends.
Guesses spread over many addresses are slowed down together, while an admin's login is still
answered within a second and a logged-in admin's commands are not held up at all.

usage: rcon_lockout_test.py SIM
"""

import socket
import sys
import threading
import time
import unittest

from rcon.exceptions import WrongPassword

from sim_rcon import PASSWORD, RconSim, packet, read_packet

SIM = None
BAN_AFTER = 5
BAN_SECONDS = 6  # outlasts an admin round, each of whose logins now waits for the failures
IDLE_SOCKETS = 8
GUESSES = 6
ADMIN_COMMANDS = 10  # per round; one round before the guesses and one during the ban
RELOADED = "Reloaded config\nConfig: 8 kinds, 4 item mappings, 0 warnings"  # the default config's


def first_reply(sock):
    """The (id, type) of the first packet the server sends, or None when it closes first."""
    try:
        return read_packet(sock)[1:3]
    except ConnectionError:
        return None


class Intruder(threading.Thread):
    """A socket that connects and waits, reconnecting each time the server drops it."""

    def __init__(self, port, stop):
        super().__init__(daemon=True)
        self.port, self.stop, self.drops = port, stop, 0

    def run(self):
        while not self.stop.is_set():
            try:
                with socket.create_connection(("127.0.0.1", self.port), timeout=0.2) as sock:
                    while not self.stop.is_set():
                        try:
                            if sock.recv(1) == b"":
                                break
                        except socket.timeout:
                            continue
                        except ConnectionResetError:
                            break
                self.drops += 1
            except OSError:
                pass
            time.sleep(0.01)


class Lockout(unittest.TestCase):
    def setUp(self):
        self.sim = RconSim(SIM, "--rcon-auth-timeout", "2", "--rcon-ban-after", str(BAN_AFTER),
                           "--rcon-ban-seconds", str(BAN_SECONDS))
        self.stop = threading.Event()
        self.intruders = [Intruder(self.sim.port, self.stop) for _ in range(IDLE_SOCKETS)]

    def tearDown(self):
        self.stop.set()
        for intruder in self.intruders:
            intruder.join(timeout=5)
        self.sim.close()

    def admin_round(self, source):
        """Logs in from `source` for each command; the answers that came."""
        answers = []
        for _ in range(ADMIN_COMMANDS):
            with self.sim.client(source=source) as client:
                answers.append(client.run("tw.reload"))
        return answers

    def guess(self):
        with self.sim.raw() as sock:
            sock.sendall(packet(7, 3, b"not-the-password"))
            return first_reply(sock)

    def wait_for(self, condition, what, seconds=15):
        deadline = time.monotonic() + seconds
        while not condition():
            self.assertLess(time.monotonic(), deadline, "waited in vain for " + what)
            time.sleep(0.05)

    def ban_events(self):
        return [e for e in self.sim.events() if e["event"] == "rcon_ban"]

    def test_an_admin_gets_every_answer_while_intruders_hold_and_guess(self):
        for intruder in self.intruders:
            intruder.start()
        # More idle sockets than unauthenticated slots: they keep displacing each other.
        self.wait_for(lambda: sum(i.drops for i in self.intruders) >= IDLE_SOCKETS,
                      "the idle sockets to displace each other")
        before = self.admin_round("127.0.0.2")

        replies = [self.guess() for _ in range(GUESSES)]
        # Each guess is refused with id -1 until the ban; then the connection closes unanswered.
        self.assertEqual(replies, [(-1, 2)] * BAN_AFTER + [None] * (GUESSES - BAN_AFTER))
        during = self.admin_round("127.0.0.2")
        with self.sim.raw() as sock:
            sock.sendall(packet(8, 3, PASSWORD.encode()))
            self.assertIsNone(first_reply(sock), "the banned address was served")

        self.assertEqual(before + during, [RELOADED] * (2 * ADMIN_COMMANDS))
        print(f"admin on 127.0.0.2: {len(before + during)} of {2 * ADMIN_COMMANDS} answers; "
              f"idle sockets dropped {sum(i.drops for i in self.intruders)} times")

        self.stop.set()
        for intruder in self.intruders:
            intruder.join(timeout=5)
        self.wait_for(lambda: len(self.ban_events()) == 2, "the ban to end")
        self.assertEqual(self.admin_round("127.0.0.1")[0], RELOADED)

        self.assertEqual(self.sim.interrupt(), 0)
        self.assertEqual(self.ban_events(), [
            {"event": "rcon_ban", "address": "127.0.0.1", "failures": BAN_AFTER,
             "seconds": BAN_SECONDS, "line": 0},
            {"event": "rcon_ban", "address": "127.0.0.1", "failures": 0, "seconds": 0, "line": 0},
        ])
        stderr = "".join(self.sim.stderr)
        self.assertIn(f"RCON: 127.0.0.1 banned for {BAN_SECONDS} s after {BAN_AFTER} failed "
                      "logins", stderr)
        self.assertIn("RCON: the ban of 127.0.0.1 has ended", stderr)
        self.assertFalse([e for e in self.sim.events() if e["event"] in ("error", "crash")])


class GlobalGuessing(unittest.TestCase):
    """Each login waits 50 ms for every failed login of the last minute, over all addresses,
    at most 750 ms."""

    STEP, MOST = 0.05, 0.75
    ADDRESSES, PER_ADDRESS = 5, 2  # below the ban of an address

    def setUp(self):
        self.sim = RconSim(SIM)
        self.addCleanup(self.sim.close)

    def guess(self, source):
        client = self.sim.client(passwd="not-the-password", source=source)
        try:
            with self.assertRaises(WrongPassword):
                client.connect(login=True)
        finally:
            client.close()

    def test_spread_guesses_wait_longer_and_longer_but_an_admin_is_answered(self):
        with self.sim.client(source="127.0.0.2") as admin:  # logged in before any failure
            sources = [f"127.0.1.{a}" for a in range(1, self.ADDRESSES + 1)]
            guesses = sources * self.PER_ADDRESS
            started = time.monotonic()
            guessing = threading.Thread(target=lambda: [self.guess(s) for s in guesses])
            guessing.start()
            # The logged-in admin's commands are answered while the guesses wait.
            slowest = 0.0
            while guessing.is_alive():
                asked = time.monotonic()
                self.assertTrue(admin.run("tw.reload").startswith("Reloaded config\n"))
                slowest = max(slowest, time.monotonic() - asked)
                time.sleep(0.02)
            guessing.join()
            took = time.monotonic() - started
        # The n-th guess waited n-1 steps: 0 + 50 + ... + 450 ms.
        least = sum(min(self.STEP * n, self.MOST) for n in range(len(guesses)))
        self.assertGreaterEqual(took, least * 0.95)
        self.assertLess(slowest, least / 2, "commands waited for the guesses")

        # The next login waits 10 steps, right password or not; the right one gets in.
        asked = time.monotonic()
        with self.sim.client(source="127.0.0.3") as admin:
            self.assertTrue(admin.run("tw.reload").startswith("Reloaded config\n"))
        waited = time.monotonic() - asked
        self.assertGreaterEqual(waited, self.STEP * len(guesses) * 0.95)
        self.assertLess(waited, 1.0)
        print(f"{len(guesses)} guesses from {self.ADDRESSES} addresses took {took:.2f} s "
              f"(at least {least:.2f} s); the admin's login then took {waited:.2f} s; "
              f"a logged-in admin's slowest answer meanwhile {slowest:.3f} s")
        self.assertFalse([e for e in self.sim.events() if e["event"] == "rcon_ban"])


if __name__ == "__main__":
    SIM = sys.argv.pop(1)
    unittest.main(verbosity=2)
