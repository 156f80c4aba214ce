"""tamewarden-sim with its RCON port open, for the tests that drive the port."""

import json
import re
import signal
import socket
import struct
import subprocess
import threading

from rcon.source import Client

PASSWORD = "s3cret"


def packet(request_id, kind, body=b""):
    payload = struct.pack("<ii", request_id, kind) + body + b"\0\0"
    return struct.pack("<i", len(payload)) + payload


def read_exactly(sock, size):
    data = b""
    while len(data) < size:
        chunk = sock.recv(size - len(data))
        if not chunk:
            raise ConnectionError("closed")
        data += chunk
    return data


def read_packet(sock):
    """(size, id, type, body) of the next packet; ConnectionError when the server closes."""
    size, = struct.unpack("<i", read_exactly(sock, 4))
    payload = read_exactly(sock, size)
    request_id, kind = struct.unpack("<ii", payload[:8])
    return size, request_id, kind, payload[8:-2]


class RconSim:
    """tamewarden-sim with --json, `options` and an RCON port on 127.0.0.1. Both pipes are drained
    into `stdout` and `stderr` (lists of lines) so that the server never blocks on a full one."""

    def __init__(self, sim, *options):
        self.process = subprocess.Popen(
            [sim, "--json", "--rcon-port", "0", "--rcon-password", PASSWORD, *options],
            stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
        self.stdout, self.stderr, self.readers, self.port = [], [], [], None
        for line in self.process.stderr:
            self.stderr.append(line)
            found = re.search(r"RCON listening on 127\.0\.0\.1:(\d+)", line)
            if found:
                self.port = int(found.group(1))
                break
        if self.port is None:
            self.close()
            raise RuntimeError("tamewarden-sim did not start its RCON server")
        self.readers = [threading.Thread(target=lambda: self.stdout.extend(self.process.stdout)),
                        threading.Thread(target=lambda: self.stderr.extend(self.process.stderr))]
        for reader in self.readers:
            reader.start()

    def events(self):
        """The events printed so far."""
        return [json.loads(line) for line in self.stdout if line.startswith("{")]

    def raw(self):
        """A plain socket connected to the port."""
        return socket.create_connection(("127.0.0.1", self.port), timeout=5)

    def client(self, passwd=PASSWORD, source=None, **options):
        """Debian's python3-rcon client for the port, connecting from `source` if given."""
        client = Client("127.0.0.1", self.port, passwd=passwd, timeout=5, **options)
        if source is not None:
            client._socket.bind((source, 0))  # the client offers no option for it
        return client

    def interrupt(self):
        """Ends the server as Ctrl-C does and waits for all its output; its exit status."""
        self.process.send_signal(signal.SIGTERM)
        status = self.process.wait(timeout=10)
        for reader in self.readers:
            reader.join()
        return status

    def close(self):
        if self.process.poll() is None:
            self.process.kill()
        self.process.wait()
        for reader in self.readers:
            reader.join()
        self.process.stdout.close()
        self.process.stderr.close()
