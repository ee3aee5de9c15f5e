#!/usr/bin/python3
"""A name server on loopback for the tests: UDP on ADDRESS:53 inside the caller's network
namespace. Each query's arrival is appended to LOG (one line: seconds since 1970 and the name).

  dns_stub.py drop ADDRESS LOG                 reads every query and never answers
  dns_stub.py answer ADDRESS LOG DELAY NAME IPV4 IPV6
                                               answers A and AAAA for NAME after DELAY seconds,
                                               any other name with NXDOMAIN
Ends after an hour at most, so that a test that forgot it leaves nothing running.
"""
import socket
import struct
import sys
import threading
import time

LIFETIME_S = 3600


def question(query):
    """The first question's name, type and the question's bytes; None if malformed."""
    at, labels = 12, []
    while at < len(query):
        length = query[at]
        if length == 0:
            qtype = struct.unpack_from("!H", query, at + 1)[0] if at + 5 <= len(query) else 0
            return ".".join(labels).lower(), qtype, query[12:at + 5]
        if length & 0xC0:
            return None
        labels.append(query[at + 1:at + 1 + length].decode("ascii", "replace"))
        at += 1 + length
    return None


def answer(query, name, ipv4, ipv6):
    parsed = question(query)
    if parsed is None:
        return None
    asked, qtype, qbytes = parsed
    records = []
    if asked == name and qtype == 1:
        records.append((1, socket.inet_pton(socket.AF_INET, ipv4)))
    elif asked == name and qtype == 28:
        records.append((28, socket.inet_pton(socket.AF_INET6, ipv6)))
    rcode = 0 if asked == name else 3
    flags = 0x8180 | rcode  # response, recursion desired and available
    header = query[:2] + struct.pack("!HHHHH", flags, 1, len(records), 0, 0)
    body = b"".join(b"\xc0\x0c" + struct.pack("!HHIH", t, 1, 60, len(d)) + d for t, d in records)
    return header + qbytes + body


def main():
    mode, address, log = sys.argv[1], sys.argv[2], sys.argv[3]
    family = socket.AF_INET6 if ":" in address else socket.AF_INET
    sock = socket.socket(family, socket.SOCK_DGRAM)
    sock.bind((address, 53))
    sock.settimeout(1.0)
    end = time.time() + LIFETIME_S
    with open(log, "a", buffering=1) as out:
        while time.time() < end:
            try:
                query, peer = sock.recvfrom(512)
            except socket.timeout:
                continue
            parsed = question(query)
            out.write("%.3f %s\n" % (time.time(), parsed[0] if parsed else "?"))
            if mode != "answer":
                continue
            delay, name, ipv4, ipv6 = float(sys.argv[4]), sys.argv[5].lower(), sys.argv[6], sys.argv[7]
            reply = answer(query, name, ipv4, ipv6)
            if reply is not None:
                threading.Timer(delay, sock.sendto, (reply, peer)).start()


if __name__ == "__main__":
    main()
