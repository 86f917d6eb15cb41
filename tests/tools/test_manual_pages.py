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
