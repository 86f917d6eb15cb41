"""The station page and the index of stations, as a browser and a parser see them."""

import os
import pathlib
import shutil
import subprocess
import xml.etree.ElementTree as ElementTree

import pytest

html5lib = pytest.importorskip("html5lib")
Image = pytest.importorskip("PIL.Image")

EXAMPLE = pathlib.Path(os.environ["EXAMPLES_DIR"]) / "davis"
RUN_STATION = os.environ["RUN_STATION"]
RUN_STATIONS = os.environ["RUN_STATIONS"]
OUTPUTS = ("summary", "SMR", "SMRS", "WSMR", "years.csv")
DRY, MOIST = (0xD5, 0x5E, 0x00), (0x00, 0x72, 0xB2)


def station_in(folder, *options):
    folder.mkdir()
    for name in ("monthly_T", "monthly_P", "parameter"):
        shutil.copy(EXAMPLE / name, folder / name)
    subprocess.run([RUN_STATION, *options], cwd=folder, check=True, stdout=subprocess.DEVNULL)
    return folder


@pytest.fixture(scope="module")
def davis(tmp_path_factory):
    return station_in(tmp_path_factory.mktemp("page") / "davis", "--csv", "--html")


def svgs_of(page):
    """Every <svg> element of the page, as its own XML document."""
    parts = page.split("<svg ")[1:]
    return [ElementTree.fromstring("<svg " + part[:part.index("</svg>") + len("</svg>")]) for part in parts]


def test_other_files_are_the_same_with_or_without_the_page(davis, tmp_path):
    plain = station_in(tmp_path / "plain", "--csv")
    labels = [line.split()[0] for line in (EXAMPLE / "monthly_T").read_text().splitlines() if line.strip()]
    for name in OUTPUTS + tuple(labels):
        assert (davis / name).read_bytes() == (plain / name).read_bytes(), name
    assert not (plain / "station.html").exists()


def test_the_page_parses_and_holds_one_row_a_year_in_each_calendar(davis):
    page = (davis / "station.html").read_text()
    html5lib.HTMLParser(strict=True).parse(page)  # raises on any parse error
    assert "<script" not in page and "http://" not in page.replace("http://www.w3.org/2000/svg", "")
    svg = "{http://www.w3.org/2000/svg}"
    calendars = [element for element in svgs_of(page) if element.get("class") == "calendar"]
    assert len(calendars) == 2
    for calendar in calendars:
        rows = [group for group in calendar.iter(svg + "g") if group.find(svg + "title") is not None]
        assert len(rows) == 30
        assert rows[0].find(svg + "title").text == "1981: XERIC, DRY XERIC, Thermic"
        # Every row covers the 360 days, each day once, two pixels a day.
        for row in rows:
            widths = sum(int(rect.get("width")) for rect in row.iter(svg + "rect"))
            assert widths == 720
    legend = page[page.index("Soil temperature calendar"):]
    assert ">5 &#176;C</text>" in legend and ">8 &#176;C</text>" in legend


def report_calendar(report, heading):
    lines = report.split("\n")
    start = lines.index(heading) + 2
    return [cell for line in lines[start:start + 12] for cell in line.split()[1:]]


def test_a_browser_shows_the_first_years_dry_and_moist_days(davis, tmp_path):
    chromium = shutil.which("chromium") or shutil.which("chromium-browser")
    if chromium is None:
        pytest.skip("chromium is not installed")
    shot = tmp_path / "page.png"
    subprocess.run([chromium, "--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
                    "--disable-background-networking", "--disable-component-update", "--disable-sync",
                    "--hide-scrollbars", f"--user-data-dir={tmp_path / 'profile'}", "--window-size=1000,900",
                    f"--screenshot={shot}", (davis / "station.html").as_uri()],
                   check=True, capture_output=True, timeout=120)
    image = Image.open(shot).convert("RGB")
    width, height = image.size
    pixels = image.load()
    assert len(set(image.getdata())) > 20, "the picture is not blank"

    # The moisture calendar's first row: the first line of the picture that is mostly
    # the calendar's colours; its first such pixel is day 0, two pixels a day.
    colours = {DRY, MOIST, (0xF0, 0xE4, 0x42)}
    top = next(y for y in range(height) if sum(pixels[x, y] in colours for x in range(width)) > 500)
    left = next(x for x in range(width) if pixels[x, top + 2] in colours)
    codes = report_calendar((davis / "1981").read_text(), "Soil Moisture Calender:")
    for code, expected in (("1", DRY), ("3", MOIST)):
        day = next(d for d in range(10, 350) if codes[d - 1] == codes[d] == codes[d + 1] == code)
        assert pixels[left + 2 * day + 1, top + 4] == expected, f"day {day} is {code}"


def test_run_stations_writes_an_index_with_a_row_and_a_link_per_station(tmp_path):
    for name in ("a", "b b"):
        station_in(tmp_path / name)
    subprocess.run([RUN_STATIONS, "--html", "-o", "results", "a", "b b"], cwd=tmp_path, check=True,
                   env=dict(os.environ, RUN_STATION=RUN_STATION), capture_output=True)
    index = (tmp_path / "results" / "index.html").read_text()
    html5lib.HTMLParser(strict=True).parse(index)
    rows = index.split("<tbody>")[1].split("<tr>")[1:]
    assert len(rows) == 2
    for row, folder in zip(rows, ("a", "b b")):
        href = row.split('href="')[1].split('"')[0]
        page = (tmp_path / "results" / href.replace("%20", " ")).resolve()
        assert page == tmp_path / "results" / "stations" / folder / "station.html"
        assert f">{folder}</a>" in row, "the station as given on the command line"
        assert "XERIC</td><td>Thermic</td>" in row
    for element in svgs_of(index):
        if element.get("aria-label") == "moisture regime by year":
            assert element.get("viewBox") == "0 0 30 1"
