"""Each installed command's manual page and its --help name the same options."""

import os
import pathlib
import re
import subprocess
import sys

import pytest

DOC = pathlib.Path(os.environ["DOC_DIR"])
COMMANDS = {
    "run_station": [os.environ["RUN_STATION"]],
    "run_stations": [os.environ["RUN_STATIONS"]],
    "gather_stations": [os.environ["GATHER_STATIONS"]],
    "station_import": [sys.executable, os.environ["STATION_IMPORT"]],
    "soil_grid": [sys.executable, os.environ["SOIL_GRID"]],
}
OPTION = re.compile(r"(?<![\w-])--[a-z][a-z-]*[a-z]")


def options_in(text):
    return set(OPTION.findall(text))


@pytest.mark.parametrize("command", COMMANDS)
def test_the_manual_page_and_help_name_the_same_options(command):
    shown = subprocess.run(COMMANDS[command] + ["--help"], capture_output=True, text=True)
    assert shown.returncode == 0, shown.stderr
    page = (DOC / f"{command}.1").read_text().replace("\\-", "-").replace("\\fB", "").replace("\\fR", "")
    page = page.split(".SH EXAMPLES")[0]  # examples may show other commands' options
    assert options_in(shown.stdout + shown.stderr) == options_in(page)


@pytest.mark.parametrize("command", ["soil_grid", "station_import"])
def test_the_manual_page_gives_the_defaults_that_the_command_takes(command):
    # The commands take their defaults from the library's table of station parameters; the
    # page must say the same numbers.
    shown = subprocess.run(COMMANDS[command] + ["--help"], capture_output=True, text=True, env=dict(
        os.environ, COLUMNS="200")).stdout
    defaults = [re.search(rf"--{option} \S+ .*?default ([-\d.]+)", shown).group(1)
                for option in ("soil-temp-offset", "amplitude-factor")]
    north, south = re.search(r"--phase-shift \S+ .*?default ([-\d.]+) in the north, ([-\d.]+) in the south",
                             shown).groups()
    page = " ".join((DOC / f"{command}.1").read_text().split())
    assert f"(defaults {defaults[0]}, {defaults[1]}, and {north} days in the north, {south} in the south)" in page
