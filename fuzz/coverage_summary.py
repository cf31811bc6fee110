#!/usr/bin/env python3
"""Line and branch coverage of groups of core sources from gcov's JSON output.

    coverage_summary.py BUILD_DIR SOURCE_ROOT LABEL=PATH[,PATH...] ...

A PATH ending in '/' takes every source below it. Branches are counted twice:
all of them, as lcov does, and without the edges gcov marks as exception
unwinding ("throw"), which no input can take unless an allocation fails.
"""
import glob
import json
import os
import subprocess
import sys


def gcov_files(build_dir):
    objects = os.path.join(os.path.abspath(build_dir), "CMakeFiles", "tarvil_core.dir")
    for gcda in sorted(glob.glob(os.path.join(objects, "**", "*.gcda"), recursive=True)):
        output = subprocess.run(["gcov", "--json-format", "--stdout", "-b", gcda],
                                capture_output=True, check=True, cwd=build_dir).stdout
        for line in output.splitlines():
            if line.strip():
                yield from json.loads(line)["files"]


def main():
    build_dir, root = sys.argv[1], os.path.realpath(sys.argv[2])
    groups = [arg.split("=", 1) for arg in sys.argv[3:]]
    files = list(gcov_files(build_dir))
    for label, paths in groups:
        wanted = [os.path.join(root, p) for p in paths.split(",")]
        lines = covered_lines = 0
        branches = covered = plain = covered_plain = 0
        for entry in files:
            path = os.path.realpath(os.path.join(build_dir, entry["file"]))
            if not any(path == w or (w.endswith("/") and path.startswith(w)) for w in wanted):
                continue
            for line in entry["lines"]:
                lines += 1
                covered_lines += line["count"] > 0
                for branch in line["branches"]:
                    branches += 1
                    covered += branch["count"] > 0
                    if not branch["throw"]:
                        plain += 1
                        covered_plain += branch["count"] > 0
        pct = lambda a, b: 100.0 * a / b if b else 0.0
        print(f"{label:12} lines {pct(covered_lines, lines):5.1f}% ({covered_lines}/{lines})"
              f"  branches {pct(covered, branches):5.1f}% ({covered}/{branches})"
              f"  without exception edges {pct(covered_plain, plain):5.1f}% ({covered_plain}/{plain})")


if __name__ == "__main__":
    main()
