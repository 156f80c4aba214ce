#!/usr/bin/python3
"""Drives tamewarden-sim's RCON port with Debian's python3-rcon client and with raw sockets.

usage: rcon_test.py SIM CONFIG
"""

import json
import os
import re
import shutil
import socket
import struct
import sys
import tempfile
import time
import unittest

from rcon.exceptions import WrongPassword
from rcon.source.proto import Packet

from sim_rcon import PASSWORD, RconSim, packet, read_packet

SIM = None
CONFIG = None  # the shipped config
MAX_BODY = 4096 - 10  # the longest body one packet carries
RELOADED = "Reloaded config\nConfig: 8 kinds, 4 item mappings, 0 warnings"  # the shipped config's
KEPT = "the running configuration was kept"


def closed_by_server(sock, within=5.0):
    """True when the server closes the connection without sending anything."""
    sock.settimeout(within)
    try:
        return sock.recv(1) == b""
    except ConnectionResetError:  # closed with our unread bytes still in its buffer
        return True
    except socket.timeout:
        return False


class RconPort(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.workdir = tempfile.TemporaryDirectory()
        cls.config = os.path.join(cls.workdir.name, "ArkApi", "Plugins", "Tamewarden",
                                  "config.json")
        os.makedirs(os.path.dirname(cls.config))
        shutil.copy(CONFIG, cls.config)
        cls.sim = RconSim(SIM, "--server-dir", cls.workdir.name, "--rcon-auth-timeout", "1")

    @classmethod
    def tearDownClass(cls):
        cls.sim.close()
        cls.workdir.cleanup()

    def raw(self):
        sock = self.sim.raw()
        self.addCleanup(sock.close)
        return sock

    def authenticated(self):
        sock = self.raw()
        sock.sendall(packet(1, 3, PASSWORD.encode()))
        self.assertEqual(read_packet(sock)[1:3], (1, 2))
        return sock

    def assert_still_serving(self):
        with self.sim.client() as client:
            self.assertEqual(client.run("tw.reload"), RELOADED)

    def test_auth_and_reload(self):
        with self.sim.client() as client:
            request = Packet.make_command("tw.reload")
            response = client.communicate(request)
            self.assertEqual(response.id, request.id)
            self.assertEqual(response.payload.decode(), RELOADED)

    def test_update_dinos_is_answered_with_what_the_plugin_sent(self):
        with self.sim.client() as client:
            request = Packet.make_command("UpdateDinos")
            response = client.communicate(request)
        self.assertEqual(response.id, request.id)
        # Checked against the server's own events when it has ended (the last test).
        RconPort.update_dinos = (request.id, response.payload.decode())

    def test_reload_status_and_update_dinos_say_what_happened(self):
        # A refusal with 25 errors names the first 20 and counts the rest.
        with open(CONFIG, encoding="utf-8") as shipped:
            config = json.load(shipped)
        for i in range(25):
            config["Dinos"][f"Blueprint'/Game/Test/K{i}.K{i}'"] = {"Count": "2"}
        with open(self.config, "w", encoding="utf-8") as broken:
            json.dump(config, broken)
        self.addCleanup(shutil.copy, CONFIG, self.config)
        with self.sim.client() as client:
            lines = client.run("tw.reload").split("\n")
            self.assertEqual(lines[0], KEPT)
            self.assertTrue(all(line.startswith("error: ") for line in lines[1:21]), lines)
            self.assertEqual(lines[21], "\u2026 and 5 more errors")
            status = client.run("tw.status").split("\n")
            recount = client.run("UpdateDinos").split("\n")
        # The refused file left the shipped one running.
        self.assertEqual(status[0], "Config file: " + self.config)
        self.assertEqual(status[2], "Config: 8 kinds, 4 item mappings, 0 warnings")
        self.assertEqual(recount[0], "Updated All Dinos")
        self.assertRegex(recount[1], r"^Recount \(UpdateDinos\): \d+ creatures? of \d+ teams? "
                                     r"in \d+ ms, \d+ team counts? corrected$")

    def test_wrong_password_is_refused_with_id_minus_one_then_closed(self):
        client = self.sim.client(passwd="wrong")
        self.addCleanup(client.close)
        with self.assertRaises(WrongPassword):
            client.connect(login=True)
        sock = self.raw()
        sock.sendall(packet(7, 3, b"wrong"))
        self.assertEqual(read_packet(sock)[1:4], (-1, 2, b""))
        self.assertTrue(closed_by_server(sock))
        self.assert_still_serving()

    def test_malformed_packets_drop_the_connection_and_the_server_goes_on(self):
        garbage = {
            "negative size": struct.pack("<i", -1) + b"\xff" * 8,
            "size below 10": struct.pack("<i", 9) + b"\0" * 9,
            "oversize": struct.pack("<i", 5000) + b"\0" * 5000,
            "no NULs": struct.pack("<iii", 12, 1, 2) + b"abcd",
            "random bytes": bytes(range(7, 47)),
        }
        for name, data in garbage.items():
            with self.subTest(name):
                sock = self.authenticated()
                sock.sendall(data)
                self.assertTrue(closed_by_server(sock))
        self.assert_still_serving()

    def test_commands_before_authentication_drop_the_connection(self):
        sock = self.raw()
        sock.sendall(packet(3, 2, b"tw.reload"))
        self.assertTrue(closed_by_server(sock))

    def test_idle_unauthenticated_connections_are_dropped(self):
        sock = self.raw()
        started = time.monotonic()
        self.assertTrue(closed_by_server(sock, within=5))
        self.assertLess(time.monotonic() - started, 4)

    def test_auth_gets_exactly_one_auth_response(self):
        sock = self.raw()
        sock.sendall(packet(21, 3, PASSWORD.encode()))
        time.sleep(0.3)
        sock.settimeout(0.3)
        data = b""
        try:
            while True:
                chunk = sock.recv(4096)
                if not chunk:
                    break
                data += chunk
        except socket.timeout:
            pass
        self.assertEqual(data, packet(21, 2))

    def test_packets_split_anywhere_are_read_whole(self):
        sock = self.raw()
        for byte in packet(5, 3, PASSWORD.encode()) + packet(6, 2, b"tw.reload"):
            sock.sendall(bytes([byte]))
            time.sleep(0.002)
        self.assertEqual(read_packet(sock)[1:3], (5, 2))
        self.assertEqual(read_packet(sock)[1:], (6, 0, RELOADED.encode()))

    def test_empty_command_is_echoed_empty(self):
        sock = self.authenticated()
        sock.sendall(packet(99, 2) + packet(100, 0))
        self.assertEqual(read_packet(sock), (10, 99, 0, b""))
        self.assertEqual(read_packet(sock), (10, 100, 0, b""))

    def test_long_answers_come_in_packets_of_4096_bytes_with_the_same_id(self):
        # A config whose parse error quotes a 6000-character string makes the reload's answer,
        # the error's text, longer than one packet.
        with open(self.config, "w") as config:
            config.write('{"General": {"IgnoreAdmin": "' + "a" * 6000 + '\x01"}}')
        self.addCleanup(shutil.copy, CONFIG, self.config)
        # The client asks for more whenever a packet is full.
        with self.sim.client(frag_threshold=MAX_BODY) as client:
            answer = client.run("tw.reload")
        self.assertTrue(answer.startswith("[json.exception.parse_error"), answer[:80])
        self.assertIn("a" * 6000, answer)
        sock = self.authenticated()
        sock.sendall(packet(31, 2, b"tw.reload") + packet(32, 2))
        body, sizes = b"", []
        while True:
            size, request_id, kind, part = read_packet(sock)
            if request_id == 32:
                break
            self.assertEqual((request_id, kind), (31, 0))
            sizes.append(size)
            body += part
        self.assertEqual(body.decode(), answer)
        self.assertEqual(len(sizes), 2)
        self.assertEqual(sizes[0], 4096)

    def test_connections_are_capped(self):
        time.sleep(0.5)  # earlier tests' connections are gone
        held = [self.authenticated() for _ in range(8)]
        extra = self.raw()
        self.assertTrue(closed_by_server(extra))
        for sock in held:
            sock.close()
        time.sleep(0.5)  # the server notices the closed connections
        self.assert_still_serving()

    def test_zz_interrupt_ends_the_server_cleanly(self):
        # Runs last (by name): stop the server and check what it printed.
        self.assertEqual(self.sim.interrupt(), 0)
        events = self.sim.events()
        self.assertEqual(events[-1], {"event": "unload", "line": 0})
        self.assertFalse([e for e in events if e["event"] in ("error", "crash")])
        update = getattr(RconPort, "update_dinos", None)
        if update is not None:
            request_id, answer = update
            sent = "".join(e["text"] for e in events
                           if e["event"] == "rcon" and e["id"] == request_id)
            self.assertEqual(answer, sent)


if __name__ == "__main__":
    SIM, CONFIG = sys.argv.pop(1), sys.argv.pop(1)
    unittest.main(verbosity=2)
