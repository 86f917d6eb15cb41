"""The station page, its figures alone and the index of stations, as a browser, an SVG
converter and a parser see them."""

import os
import pathlib
import re
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
    return station_in(tmp_path_factory.mktemp("page") / "davis", "--csv", "--html", "--figures")


CALENDARS = ("Soil moisture of every day of every year", "Soil temperature of every day of every year")


def svgs_of(page):
    """Every <svg> element of the page, as its own XML document."""
    parts = page.split("<svg ")[1:]
    return [ElementTree.fromstring("<svg " + part[:part.index("</svg>") + len("</svg>")]) for part in parts]


def test_other_files_are_the_same_with_or_without_the_page(davis, tmp_path):
    plain = station_in(tmp_path / "plain", "--csv")
    labels = [line.split()[0] for line in (EXAMPLE / "monthly_T").read_text().splitlines() if line.strip()]
    for name in OUTPUTS + tuple(labels):
        assert (davis / name).read_bytes() == (plain / name).read_bytes(), name
    assert not (plain / "station.html").exists() and not (plain / "moisture_calendar.svg").exists()


def test_the_page_parses_and_holds_one_row_a_year_in_each_calendar(davis):
    page = (davis / "station.html").read_text()
    html5lib.HTMLParser(strict=True).parse(page)  # raises on any parse error
    assert "<script" not in page and "http://" not in page.replace("http://www.w3.org/2000/svg", "")
    svg = "{http://www.w3.org/2000/svg}"
    calendars = [element for element in svgs_of(page) if element.get("aria-label") in CALENDARS]
    assert len(calendars) == 2
    for calendar in calendars:
        assert not [element for element in calendar.iter() if element.get("class") or element.tag == svg + "style"]
        rows = [group for group in calendar.iter(svg + "g") if group.find(svg + "title") is not None]
        assert len(rows) == 30
        assert rows[0].find(svg + "title").text == "1981: XERIC, DRY XERIC, Thermic"
        # Every row covers the 360 days, each day once, two pixels a day, then the regime's cell.
        for row in rows:
            rects = [rect for rect in row.iter(svg + "rect")]
            assert sum(int(rect.get("width")) for rect in rects[:-1]) == 720
            assert rects[-1].get("x") == "726"
    legend = page[page.index("Soil temperature calendar"):]
    assert ">5 &#176;C</text>" in legend and ">8 &#176;C</text>" in legend
    # What a printed page tells without hovering: the run's parameters and every year's regimes.
    assert "offset 2.5 &#176;C, amplitude factor 0.66, phase shift 0 days. Made by run_station " in page
    summary = page[page.index('<table class="summary">'):]
    assert summary.count("<td>XERIC</td><td>DRY XERIC</td><td>Thermic</td></tr>") == 30


def test_a_year_missing_from_the_record_is_an_empty_labelled_row(tmp_path):
    folder = tmp_path / "gap"
    folder.mkdir()
    for name in ("monthly_T", "monthly_P", "parameter"):
        lines = (EXAMPLE / name).read_text().splitlines(keepends=True)
        (folder / name).write_text("".join(line for line in lines if not line.startswith(("1990 ", "1991 "))))
    subprocess.run([RUN_STATION, "--html", "--no-reports"], cwd=folder, check=True, stdout=subprocess.DEVNULL)
    page = (folder / "station.html").read_text()
    svg = "{http://www.w3.org/2000/svg}"
    for calendar in [element for element in svgs_of(page) if element.get("aria-label") in CALENDARS]:
        titles = [group.find(svg + "title").text for group in calendar.iter(svg + "g")
                  if group.find(svg + "title") is not None]
        assert len(titles) == 30
        assert titles[8:11] == ["1989: XERIC, DRY XERIC, Thermic", "1990: no record", "1991: no record"]


def report_calendar(report, heading):
    lines = report.split("\n")
    start = lines.index(heading) + 2
    return [cell for line in lines[start:start + 12] for cell in line.split()[1:]]


def chromium_shot(source, shot, profile, size="1000,900"):
    chromium = shutil.which("chromium") or shutil.which("chromium-browser")
    if chromium is None:
        pytest.skip("chromium is not installed")
    subprocess.run([chromium, "--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
                    "--disable-background-networking", "--disable-component-update", "--disable-sync",
                    "--hide-scrollbars", f"--user-data-dir={profile}", f"--window-size={size}",
                    f"--screenshot={shot}", source.as_uri()],
                   check=True, capture_output=True, timeout=120)
    return Image.open(shot).convert("RGB")


def rsvg_picture(source, picture):
    if shutil.which("rsvg-convert") is None:
        pytest.skip("rsvg-convert (librsvg2-bin) is not installed")
    subprocess.run(["rsvg-convert", "--background-color=white", "-o", str(picture), str(source)], check=True)
    return Image.open(picture).convert("RGB")


def first_row_days(image, colours):
    """The colour of each of the 360 days of the picture's first calendar row: the first
    line that is mostly the calendar's colours, from its first such pixel to its last."""
    width, height = image.size
    pixels = image.load()
    assert len(set(image.getdata())) > 20, "the picture is not blank"
    top = next(y for y in range(height) if sum(pixels[x, y] in colours for x in range(width)) > width // 3)
    inside = [x for x in range(width) if pixels[x, top + 1] in colours]
    left, right = inside[0], inside[-1] + 1
    return [pixels[int(left + (day + 0.5) * (right - left) / 360), top + 2] for day in range(360)]


def check_dry_and_moist_days(days, davis):
    codes = report_calendar((davis / "1981").read_text(), "Soil Moisture Calender:")
    for code, expected in (("1", DRY), ("3", MOIST)):
        day = next(d for d in range(10, 350) if codes[d - 1] == codes[d] == codes[d + 1] == code)
        assert days[day] == expected, f"day {day} is {code}"


def test_a_browser_shows_the_first_years_dry_and_moist_days(davis, tmp_path):
    image = chromium_shot(davis / "station.html", tmp_path / "page.png", tmp_path / "profile")
    check_dry_and_moist_days(first_row_days(image, {DRY, MOIST, (0xF0, 0xE4, 0x42)}), davis)


@pytest.mark.parametrize("renderer", ["chromium", "rsvg-convert"])
def test_the_figures_alone_show_the_pages_colours(davis, tmp_path, renderer):
    def picture(name):
        if renderer == "chromium":
            return chromium_shot(davis / name, tmp_path / f"{name}.png", tmp_path / "profile", "700,600")
        return rsvg_picture(davis / name, tmp_path / f"{name}.png")

    check_dry_and_moist_days(first_row_days(picture("moisture_calendar.svg"), {DRY, MOIST, (0xF0, 0xE4, 0x42)}),
                             davis)
    # The temperature calendar's colours, named by reference, are the scale's own.
    figure = (davis / "temperature_calendar.svg").read_text()
    scale = {tuple(int(stop[i:i + 2], 16) for i in (0, 2, 4))
             for stop in re.findall(r'stop-color="#([0-9A-F]{6})"', figure)}
    days = first_row_days(picture("temperature_calendar.svg"), scale)
    assert sum(day in scale for day in days) > 320  # all but the month lines and the edges of runs
    assert len(set(days)) >= 5, "summer and winter differ"
    frequencies = picture("regime_frequencies.svg").getdata()
    assert (0xEE, 0x66, 0x77) in set(frequencies), "the XERIC bar in its colour"


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
