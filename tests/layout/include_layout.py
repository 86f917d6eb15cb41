#!/usr/bin/env python3
"""Walks the project's include graph and fails on an arrow against the layout: each folder
may include its own headers and those of the folders below it, and nothing else. The
tests and benchmarks may include anything.

usage: include_layout.py SOURCE_DIR"""

import pathlib
import re
import sys

SCIENCE = {"evapotranspiration", "water_balance", "soil_temperature", "classification"}
MODEL = {"common"} | SCIENCE | {"model", "soil_climate"}
# The folders each folder may include besides its own. "soil_climate" is the public
# header's folder (include/soil_climate), included as <soil_climate/...>.
MAY_INCLUDE = {
    "common": set(),
    "evapotranspiration": {"common"},
    "water_balance": {"common"},
    "soil_temperature": {"common"},
    "classification": {"common", "soil_temperature"},
    "model": {"common"} | SCIENCE | {"soil_climate"},
    "soil_climate": {"common", "soil_temperature", "classification", "model"},
    "report": MODEL,
    "station_files": {"common"},
    "inputs": MODEL | {"station_files"},
    "outputs": MODEL | {"report", "station_files"},
    "driver": MODEL | {"report", "station_files", "inputs", "outputs"},
    # The adapter both bindings share, and the bindings: they read station folders, the
    # model and the palette; they write no file.
    "bindings": MODEL | {"station_files", "inputs"},
    "python": MODEL | {"station_files", "bindings", "report/palette.hpp"},
    "r/src": MODEL | {"station_files", "bindings", "report/palette.hpp"},
}
INCLUDE = re.compile(r'^\s*#\s*include\s*[<"]([^>"]+)[>"]', re.MULTILINE)


def folder_of(path, root):
    relative = path.relative_to(root).as_posix()
    if relative.startswith("include/soil_climate/"):
        return "soil_climate"
    if relative.startswith("r/src/") and "/library/" not in relative:
        return "r/src"
    top = relative.split("/", 1)[0]
    return top if top in MAY_INCLUDE and "/" in relative else None


def arrows_against_the_layout(root):
    """Every (file, included header) whose arrow the layout does not allow."""
    wrong = []
    for path in sorted(root.rglob("*")):
        if path.suffix not in (".cpp", ".hpp") or "build" in path.relative_to(root).parts[:1]:
            continue
        folder = folder_of(path, root)
        if folder is None:
            continue
        allowed = MAY_INCLUDE[folder] | {folder}
        for header in INCLUDE.findall(path.read_text(encoding="utf-8")):
            if "/" not in header:
                continue  # the standard library's and the toolkits' own headers
            target = header.split("/", 1)[0]
            if target not in MAY_INCLUDE or target in allowed or header in allowed:
                continue
            wrong.append(f"{path.relative_to(root)} includes {header}")
    return wrong


def main():
    root = pathlib.Path(sys.argv[1]).resolve()
    wrong = arrows_against_the_layout(root)
    for line in wrong:
        print(line)
    sys.exit(1 if wrong else 0)


if __name__ == "__main__":
    main()
