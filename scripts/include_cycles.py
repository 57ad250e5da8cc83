#!/usr/bin/env python3
"""Fails when files of src/ include each other, directly or round a loop.

A module is a header and the source of the same name (x.h and x.cpp): when
x's files include y.h and y's files include x.h, the two modules include
each other. Prints every loop found; exit code 0 when there is none.
"""
import os
import re
import sys

INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.M)


def modules(src):
    graph = {}
    for folder, _, names in os.walk(src):
        for name in names:
            if not name.endswith((".h", ".cpp")):
                continue
            path = os.path.join(folder, name)
            module = os.path.splitext(os.path.relpath(path, src))[0]
            with open(path, encoding="utf-8") as f:
                targets = {os.path.splitext(t)[0] for t in INCLUDE.findall(f.read())}
            graph.setdefault(module, set()).update(t for t in targets if t != module)
    return graph


def loops(graph):
    """Strongly connected groups of more than one module (Tarjan)."""
    index, low, stack, on_stack, found = {}, {}, [], set(), []

    def visit(node):
        index[node] = low[node] = len(index)
        stack.append(node)
        on_stack.add(node)
        for nxt in sorted(graph.get(node, ())):
            if nxt not in graph:
                continue
            if nxt not in index:
                visit(nxt)
                low[node] = min(low[node], low[nxt])
            elif nxt in on_stack:
                low[node] = min(low[node], index[nxt])
        if low[node] == index[node]:
            group = []
            while True:
                top = stack.pop()
                on_stack.discard(top)
                group.append(top)
                if top == node:
                    break
            if len(group) > 1:
                found.append(sorted(group))

    sys.setrecursionlimit(10000)
    for node in sorted(graph):
        if node not in index:
            visit(node)
    return found


def main():
    src = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..", "src")
    found = loops(modules(src))
    for group in found:
        print("files that include each other: " + ", ".join(group))
    return 1 if found else 0


if __name__ == "__main__":
    sys.exit(main())
