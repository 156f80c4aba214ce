#!/usr/bin/python3
"""tamewarden-sim's command line: options, exit status, standard input and the server directory.

usage: cli_test.py SIM
"""

import json
import os
import re
import subprocess
import sys
import tempfile
import unittest

SIM = None


def run(*args, stdin=""):
    return subprocess.run([SIM, *args], input=stdin, capture_output=True, text=True, timeout=60)


def events(stdout):
    return [json.loads(line) for line in stdout.splitlines() if line.startswith("{")]


class CommandLine(unittest.TestCase):
    def test_help_lists_options_and_every_script_line(self):
        result = run("--help")
        self.assertEqual(result.returncode, 0)
        for text in ("Usage: tamewarden-sim", "--rcon-port N", "tame PLAYER DINO",
                     "spawn PLAYER PATH", "truth [TEAM]"):
            self.assertIn(text, result.stdout)

    def test_bad_options_exit_with_2_and_say_why(self):
        cases = {
            ("--bogus",): "unknown option --bogus",
            ("--rcon-port", "27020"): "--rcon-port needs --rcon-password",
            ("--rcon-password", "pw"): "--rcon-password is only used with --rcon-port",
            ("--rcon-port", "70000", "--rcon-password", "pw"): "from 0 to 65535",
            ("--plugin", "/no/such/plugin.so"): "no plug-in library at /no/such/plugin.so",
            ("no-such-script.tws",): "no script file no-such-script.tws",
            ("a.tws", "b.tws"): "more than one script",
            ("--server-dir",): "--server-dir needs a value",
        }
        for args, message in cases.items():
            with self.subTest(args=args):
                result = run(*args)
                self.assertEqual(result.returncode, 2)
                self.assertIn(message, result.stderr)

    def test_lines_from_a_pipe_run_to_its_end(self):
        result = run("--json", stdin="player p id=100001\ndino d kind=/Game/A/B.B team=100001\n"
                                     "truth 100001\nbogus line\ntruth 100001")
        self.assertEqual(result.returncode, 1)
        found = events(result.stdout)
        self.assertEqual([e["event"] for e in found],
                         ["result", "load", "truth", "error", "truth", "unload"])
        self.assertEqual(found[3], {"event": "error", "line": 4, "text": "unknown line \"bogus\""})

    def test_text_output_echoes_lines_and_describes_events(self):
        result = run(stdin="# a comment is not echoed\nrcon tw.reload\n")
        self.assertEqual(result.returncode, 0)
        self.assertEqual(result.stdout.splitlines(), [
            "   2> rcon tw.reload",
            "    result AShooterGameMode.InitGame: game function ran",
            "    plug-in loaded: 6 commands, 16 hooks",
            "    rcon answer to request 1: \"Reloaded config\"",
            "    log info [Tamewarden] Reloaded Config",
            "    plug-in unloaded",
        ])
        # --verbose lists the six commands and sixteen hooks the plug-in registered.
        lines = run("--verbose", stdin="rcon tw.reload\n").stdout.splitlines()
        self.assertEqual(lines[2:4], ["    plug-in loaded: 6 commands, 16 hooks",
                                      "      RegisterChatCommand /limits"])
        self.assertEqual(lines[24], "      InstallHook AShooterCharacter.OnWeaponEquipped")
        self.assertEqual(lines[25], "    rcon answer to request 1: \"Reloaded config\"")

    def test_the_temporary_server_directory_is_removed_at_exit(self):
        result = run(stdin="truth\n")
        found = re.search(r"server directory (\S+)", result.stderr)
        self.assertIsNotNone(found)
        self.assertFalse(os.path.exists(found.group(1)))

    def test_a_given_server_directory_is_used_and_kept(self):
        with tempfile.TemporaryDirectory() as server_dir:
            plugin_dir = os.path.join(server_dir, "ArkApi", "Plugins", "Tamewarden")
            os.makedirs(plugin_dir)
            with open(os.path.join(plugin_dir, "config.json"), "w") as config:
                config.write("{ not json")
            result = run("--json", "--server-dir", server_dir, stdin="load\n")
            load = [e for e in events(result.stdout) if e["event"] == "load"]
            self.assertFalse(load[0]["ok"])
            self.assertIn("parse error", load[0]["error"])
            self.assertTrue(os.path.isfile(os.path.join(server_dir, "ArkApi", "Logs",
                                                        "server.log")))


if __name__ == "__main__":
    SIM = sys.argv.pop(1)
    unittest.main(verbosity=2)
