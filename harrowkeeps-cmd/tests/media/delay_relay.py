#!/usr/bin/env python3
"""Forwards a loopback TCP port to another, holding back every chunk it
passes on by a fixed time in each direction: with 0.5 ms a connection
through it has a round trip of about 1 ms, a good LAN, where the loopback
has a few microseconds.

Usage: delay_relay.py LISTEN-PORT TARGET-PORT DELAY-MS

Chunks are delayed, not the stream throttled: while one waits out its delay
the next is read already, so many requests in flight still overlap as on a
real network. Each direction has a reader and a sender thread; the sender
sleeps until a chunk is due (nanosleep, so a 0.5 ms delay is kept to about
a tenth of a millisecond, where an event loop's millisecond timeouts would
double it). Ends on SIGTERM or SIGINT.
"""

import collections
import ctypes
import signal
import socket
import sys
import threading
import time


class Direction:
    """One way of one connection: reads from `source`, sends to `sink`."""

    def __init__(self, source, sink, delay):
        self.source, self.sink, self.delay = source, sink, delay
        self.queue = collections.deque()
        self.ready = threading.Condition()
        threading.Thread(target=self.read, daemon=True).start()
        threading.Thread(target=self.send, daemon=True).start()

    def read(self):
        while True:
            try:
                chunk = self.source.recv(1 << 16)
            except OSError:
                chunk = b""
            with self.ready:
                self.queue.append((time.monotonic() + self.delay, chunk))
                self.ready.notify()
            if not chunk:
                return

    def send(self):
        while True:
            with self.ready:
                while not self.queue:
                    self.ready.wait()
                due, chunk = self.queue.popleft()
            wait = due - time.monotonic()
            if wait > 0:
                time.sleep(wait)
            try:
                if not chunk:
                    self.sink.shutdown(socket.SHUT_WR)
                    return
                self.sink.sendall(chunk)
            except OSError:
                # The other end went: stop reading this way too.
                try:
                    self.source.shutdown(socket.SHUT_RD)
                except OSError:
                    pass
                return


def serve(listen_port, target_port, delay):
    listener = socket.socket()
    listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    listener.bind(("127.0.0.1", listen_port))
    listener.listen(16)
    while True:
        client, _ = listener.accept()
        try:
            server = socket.create_connection(("127.0.0.1", target_port))
        except OSError:
            client.close()
            continue
        for s in (client, server):
            # Each chunk goes as it comes: Nagle's algorithm would add its own waits.
            s.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
        Direction(client, server, delay)
        Direction(server, client, delay)


def main():
    if len(sys.argv) != 4:
        sys.exit("usage: delay_relay.py LISTEN-PORT TARGET-PORT DELAY-MS")
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(0))
    # Sleeps end up to 50 us late by default (timer slack): a tenth of the delay.
    ctypes.CDLL(None).prctl(29, 1)  # PR_SET_TIMERSLACK, 1 ns
    try:
        serve(int(sys.argv[1]), int(sys.argv[2]), float(sys.argv[3]) / 1000)
    except KeyboardInterrupt:
        pass


if __name__ == "__main__":
    main()
