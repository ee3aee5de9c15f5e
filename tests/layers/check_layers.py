#!/usr/bin/env python3
"""Checks the include rules between the folders of src/.

A folder is a directory that holds sources (src/sntp, src/platform/linux, src/server_config/qt).
  cycles    no two folders include each other, directly or round a longer loop
  upwards   no folder includes a folder of a higher layer than its own
  posix     the core's folders include no system header beyond standard C++, except the
            file-system calls in the few files that do the file operations themselves

--pretend FOLDER=HEADER adds an include to the sources (a probe: the check must then fail).
Exits 1 and names every breach when a rule is broken.
"""

import argparse
import pathlib
import re
import sys

# Bottom up: a folder may include its own layer and those below it. Same-layer includes are
# allowed as long as they form no cycle.
LAYERS = [
    ("ports", ["ports"]),
    # The settings record loads and saves through the store and message-box ports.
    ("base", ["base"]),
    ("core", ["sntp", "logging", "server_config", "helper", "nts"]),
    ("linux", ["platform/linux", "helper/linux"]),
    ("qt", ["platform/qt"]),
    ("windows", ["ui", "logging/qt", "server_config/qt", "nts/qt"]),
    # The program's top, which wires everything, and the tool that draws the icons.
    ("program", ["app/qt", "resources"]),
]
CORE_LAYERS = {"ports", "base", "core"}

# The Parts' files are real files. The few files that open, flush, rename and list them
# need calls standard C++ lacks (O_NONBLOCK against a FIFO, O_NOFOLLOW, fsync,
# RENAME_NOREPLACE, a "C" locale for parsing); nothing else in the core reaches the system.
FILE_SYSTEM_HEADERS = {"fcntl.h", "unistd.h", "sys/stat.h", "dirent.h", "locale.h"}
FILE_OPERATION_SOURCES = {
    "logging/log_reader.cpp",
    "logging/log_rotation.cpp",
    "logging/log_statistics.cpp",
    "logging/sync_log.cpp",
    "server_config/list_file_ops.cpp",
}

INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^>"]+)[>"]', re.MULTILINE)


def layer_of(folder):
    for index, (name, folders) in enumerate(LAYERS):
        if folder in folders:
            return index, name
    return None, None


def read_sources(src, pretend):
    """{file relative to src: [(kind, header)]}, kind '"' or '<'."""
    sources = {}
    for path in sorted(src.rglob("*")):
        if path.suffix in (".h", ".cpp") and path.is_file():
            text = path.read_text(encoding="utf-8", errors="replace")
            sources[path.relative_to(src).as_posix()] = INCLUDE.findall(text)
    for item in pretend:
        folder, _, header = item.partition("=")
        kind = "<" if header.startswith("<") else '"'
        sources.setdefault(f"{folder}/(probe).cpp", []).append((kind, header.strip('<>"')))
    return sources


def folder_edges(sources):
    """{(from folder, to folder): first file that makes the edge}."""
    edges = {}
    for file, includes in sources.items():
        here = file.rsplit("/", 1)[0]
        for kind, header in includes:
            if kind != '"' or "/" not in header:
                continue
            there = header.rsplit("/", 1)[0]
            if there != here:
                edges.setdefault((here, there), f"{file} includes {header}")
    return edges


def check_upwards(sources, edges):
    breaches = []
    folders = {file.rsplit("/", 1)[0] for file in sources}
    for folder in sorted(folders):
        if layer_of(folder)[0] is None:
            breaches.append(f"{folder} has no layer: add it to LAYERS in tests/layers/check_layers.py")
    for (here, there), why in sorted(edges.items()):
        mine, my_name = layer_of(here)
        theirs, their_name = layer_of(there)
        if mine is not None and theirs is not None and theirs > mine:
            breaches.append(f"{why}: {here} ({my_name}) may not include {their_name}")
    return breaches


def check_cycles(edges):
    graph = {}
    for here, there in edges:
        graph.setdefault(here, set()).add(there)
    breaches, done, path = [], set(), []

    def visit(node):
        path.append(node)
        for nxt in sorted(graph.get(node, ())):
            if nxt in path:
                loop = path[path.index(nxt):] + [nxt]
                steps = [edges[(a, b)] for a, b in zip(loop, loop[1:])]
                breaches.append("cycle " + " -> ".join(loop) + ": " + "; ".join(steps))
            elif nxt not in done:
                visit(nxt)
        path.pop()
        done.add(node)

    for node in sorted(graph):
        if node not in done:
            visit(node)
    return breaches


def is_standard_cpp(header):
    # Standard C++ headers have neither a directory nor an extension (<vector>, <cstdio>).
    return "/" not in header and "." not in header


def check_posix(sources):
    breaches = []
    for file, includes in sorted(sources.items()):
        folder = file.rsplit("/", 1)[0]
        if layer_of(folder)[1] not in CORE_LAYERS:
            continue
        for kind, header in includes:
            if kind != "<" or is_standard_cpp(header):
                continue
            if header in FILE_SYSTEM_HEADERS and file in FILE_OPERATION_SOURCES:
                continue
            breaches.append(f"{file} includes <{header}>: the core reaches the system only "
                            "through src/ports/")
    return breaches


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("check", choices=["cycles", "upwards", "posix"])
    parser.add_argument("--src", type=pathlib.Path,
                        default=pathlib.Path(__file__).resolve().parents[2] / "src")
    parser.add_argument("--pretend", action="append", default=[], metavar="FOLDER=HEADER")
    args = parser.parse_args()
    sources = read_sources(args.src, args.pretend)
    edges = folder_edges(sources)
    if args.check == "cycles":
        breaches = check_cycles(edges)
    elif args.check == "upwards":
        breaches = check_upwards(sources, edges)
    else:
        breaches = check_posix(sources)
    for breach in breaches:
        print(breach)
    print(f"{args.check}: {len(sources)} files, {len(edges)} folder includes, "
          f"{len(breaches)} breaches")
    return 1 if breaches else 0


if __name__ == "__main__":
    sys.exit(main())
