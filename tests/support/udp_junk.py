#!/usr/bin/python3
"""Sends LENGTH zero bytes to ADDRESS:PORT RATE times a second for SECONDS, from a fresh
folder MARKERS: after a second's wait for the listener, MARKERS/started is written, and at the
end MARKERS/done with the number of datagrams sent. Bounded by SECONDS.

  udp_junk.py ADDRESS PORT LENGTH RATE SECONDS MARKERS
"""
import os
import shutil
import socket
import sys
import time


def mark(markers, name, text):
    """Written whole, then renamed: a reader never sees half of it."""
    path = os.path.join(markers, name)
    with open(path + ".tmp", "w") as out:
        out.write(text + "\n")
    os.rename(path + ".tmp", path)


def main():
    address, port, length, rate, seconds, markers = sys.argv[1:7]
    port, length, rate, seconds = int(port), int(length), int(rate), float(seconds)
    shutil.rmtree(markers, ignore_errors=True)
    os.makedirs(markers)
    time.sleep(1.0)
    sock = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    datagram = bytes(length)
    mark(markers, "started", "%.3f" % time.time())
    start = time.monotonic()
    sent = 0
    while True:
        due = start + sent / rate
        if due - start >= seconds:
            break
        time.sleep(max(0.0, due - time.monotonic()))
        try:
            sock.sendto(datagram, (address, port))
        except OSError:
            pass
        sent += 1
    mark(markers, "done", "%d" % sent)


if __name__ == "__main__":
    main()
