#!/usr/bin/env python3
"""The ride page in a real browser: headless Chromium driven by Selenium.

The ride example gets real H.264 chapters made by ffmpeg (320x240, 5 fps),
the first as long as the example's first chapter, the second 10 s shorter
than the example's so that the log runs past the last chapter found. The
page made by `datview page` is then loaded from a file:// address and
checked: no console error and no request beyond the local files; seeking to
a table of times names the right chapter and time, the video element shows
that chapter at that time and the live values equal `datview dump --json`;
a click on the hardest hit moves the video there; playing across the
chapter boundary continues in the next chapter. The converter, with the
settings key ride_page, writes the same page beside the chapters.

    ride_page_browser.py DATVIEW CONVERTER SOURCE_DIR WORK_DIR [--screenshot PNG]
    ride_page_browser.py --time-to-interactive PAGE.html

Exit status 77 (skipped) when ffmpeg, Chromium, its driver or Selenium is
missing.
"""
import json
import os
import shutil
import subprocess
import sys
import time

SKIP = 77
FLAGS = ["--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
         "--disable-background-networking", "--disable-component-update", "--disable-sync",
         "--autoplay-policy=no-user-gesture-required", "--window-size=1280,1100"]


def skip(reason):
    print("SKIPPED: " + reason)
    sys.exit(SKIP)


def browser(work):
    try:
        from selenium import webdriver
        from selenium.webdriver.chrome.service import Service
    except ImportError:
        skip("python3-selenium is not installed")
    chromium = shutil.which("chromium") or shutil.which("chromium-browser")
    driver = shutil.which("chromedriver")
    if not chromium or not driver:
        skip("chromium or chromium-driver is not installed")
    options = webdriver.ChromeOptions()
    options.binary_location = chromium
    for flag in FLAGS + ["--user-data-dir=" + os.path.join(work, "profile")]:
        options.add_argument(flag)
    options.set_capability("goog:loggingPrefs", {"browser": "ALL"})
    return webdriver.Chrome(service=Service(driver), options=options)


def wait_for(what, check, timeout=10.0):
    end = time.time() + timeout
    while time.time() < end:
        value = check()
        if value:
            return value
        time.sleep(0.05)
    raise AssertionError("timed out waiting for " + what)


def settled(drv):
    """The video has the frame it was sent to, or is hidden (no video)."""
    return drv.execute_script(
        "const v = document.getElementById('video');"
        "return v.style.visibility === 'hidden' || (v.readyState >= 2 && !v.seeking);")


def video_state(drv):
    return drv.execute_script(
        "const v = document.getElementById('video');"
        "return {src: decodeURIComponent(v.currentSrc), time: v.currentTime, hidden: v.style.visibility === 'hidden'};")


def time_to_interactive(page):
    """Prints the ms from navigation start until the page's script is done."""
    work = os.path.dirname(os.path.abspath(page))
    drv = browser(work)
    try:
        times = []
        for _ in range(3):
            drv.get("file://" + os.path.abspath(page))
            wait_for("ridePage", lambda: drv.execute_script("return !!window.ridePage"), 30)
            times.append(drv.execute_script("return window.ridePage.readyAt"))
        print("time to interactive: %s ms (best %.0f ms)" % (", ".join("%.0f" % t for t in times), min(times)))
    finally:
        drv.quit()


def make_chapters(source, work):
    for name, probe_name, shorter in (("GOPR0077.MP4", "GOPR0077.MP4", 0), ("GP010077.MP4", "GP010077.MP4", 10)):
        seconds = float(subprocess.check_output(
            ["ffprobe", "-v", "error", "-show_entries", "format=duration", "-of", "csv=p=0",
             os.path.join(source, "examples/ride", probe_name)], text=True)) - shorter
        subprocess.run(["ffmpeg", "-v", "error", "-y", "-f", "lavfi", "-i",
                        "testsrc=size=320x240:rate=5:duration=%g" % seconds, "-c:v", "libx264",
                        "-pix_fmt", "yuv420p", "-preset", "veryfast", os.path.join(work, name)], check=True)


def dump_samples(datview, work):
    lines = subprocess.run([datview, "dump", "GOPR0077.DAT", "--json"], cwd=work, check=True,
                           capture_output=True, text=True).stdout.splitlines()
    entries = [json.loads(line) for line in lines]
    samples = [e for e in entries if e["kind"] == "sample"]
    fixes = [e for e in entries if e["kind"].startswith("gps")]
    return samples, fixes


def expected_values(t, samples, fixes, gps_lag_ms=500):
    """The log's readings at log time t (s): the last sample at or before it
    (within a second), and the speed of the GPS entry a conversion attaches
    to that sample (the last one logged up to the GPS lag later, at most 5 s
    old)."""
    ms = t * 1000.0
    before = [s for s in samples if s["t_ms"] <= ms]
    if not before or ms - before[-1]["t_ms"] > 1000:
        return None
    s = before[-1]
    fix = [f for f in fixes if f["t_ms"] - gps_lag_ms <= s["t_ms"]]
    speed = fix[-1]["speed_kmh"] if fix and s["t_ms"] - (fix[-1]["t_ms"] - gps_lag_ms) <= 5000 else None
    # The climb rate is smoothed: compare with the least-squares slope of the
    # raw heights over two seconds around the moment.
    near = [x for x in samples if abs(x["t_ms"] - s["t_ms"]) <= 1000]
    mt = sum(x["t_ms"] for x in near) / len(near)
    ma = sum(x["altitude_m"] for x in near) / len(near)
    slope = (sum((x["t_ms"] - mt) * (x["altitude_m"] - ma) for x in near)
             / sum((x["t_ms"] - mt) ** 2 for x in near) * 1000.0)
    return {"height_m": s["altitude_m"], "g": s["accel_g"], "temperature_c": s["temperature_c"],
            "speed_kmh": speed, "climb_m_s": slope}


def check_values(t, got, want):
    if want is None:
        assert all(v is None for v in got.values()), (t, got)
        return
    tolerance = {"height_m": 0.006, "g": 0.0015, "temperature_c": 0.001, "speed_kmh": 0.001, "climb_m_s": 0.5}
    for key, tol in tolerance.items():
        if want[key] is None:
            assert got[key] is None, (t, key, got[key])
        else:
            assert got[key] is not None and abs(got[key] - want[key]) <= tol, (t, key, got[key], want[key])


def main(argv):
    if len(argv) == 3 and argv[1] == "--time-to-interactive":
        time_to_interactive(argv[2])
        return 0
    datview, converter, source, work = (os.path.abspath(a) for a in argv[1:5])
    screenshot = argv[6] if len(argv) > 6 and argv[5] == "--screenshot" else None
    if not shutil.which("ffmpeg") or not shutil.which("ffprobe"):
        skip("ffmpeg is not installed")
    shutil.rmtree(work, ignore_errors=True)
    os.makedirs(work)
    for name in ("GOPR0077.DAT", "settings.txt"):
        shutil.copy(os.path.join(source, "examples/ride", name), work)
    make_chapters(source, work)
    subprocess.run([datview, "page", "GOPR0077.DAT", "-v", "GOPR0077.MP4", "-o", "GOPR0077.html"],
                   cwd=work, check=True)
    samples, fixes = dump_samples(datview, work)
    with open(os.path.join(work, "settings.txt")) as f:
        settings = f.read()
    with open(os.path.join(work, "page-settings.txt"), "w") as f:
        f.write(settings + "ride_page = yes\n")
    os.rename(os.path.join(work, "GOPR0077.html"), os.path.join(work, "datview.html"))
    subprocess.run([converter, "GOPR0077.DAT", "-s", "page-settings.txt"], cwd=work, check=True,
                   stdout=subprocess.DEVNULL)
    with open(os.path.join(work, "datview.html"), "rb") as a, open(os.path.join(work, "GOPR0077.html"), "rb") as b:
        assert a.read() == b.read(), "the converter's page differs from datview's"

    drv = browser(work)
    try:
        drv.get("file://" + os.path.join(os.path.abspath(work), "GOPR0077.html"))
        wait_for("ridePage", lambda: drv.execute_script("return !!window.ridePage"))

        # (log time s, chapter expected or None for no video, time inside it)
        table = [(5.0, "GOPR0077.MP4", 5.0), (110.3, "GOPR0077.MP4", 110.3), (125.0, "GP010077.MP4", 5.0),
                 (186.6, "GP010077.MP4", 66.6), (195.0, None, None)]
        for t, chapter, chapter_time in table:
            drv.execute_script("window.ridePage.seek(arguments[0])", t)
            wait_for("the video at %g s" % t, lambda: settled(drv))
            state = drv.execute_script("return window.ridePage.state()")
            video = video_state(drv)
            assert abs(state["logTime"] - t) < 1e-6, (t, state)
            assert state["chapter"] == chapter, (t, state)
            assert not state["playing"], (t, state)
            if chapter is None:
                assert state["chapterTime"] is None and video["hidden"], (t, state, video)
            else:
                assert abs(state["chapterTime"] - chapter_time) < 1e-6, (t, state)
                assert video["src"].endswith("/" + chapter) and abs(video["time"] - chapter_time) <= 0.1, (t, video)
            check_values(t, state["values"], expected_values(t, samples, fixes))

        hit = drv.find_element("css selector", "#highlights li[data-kind='g']")
        at = float(hit.get_attribute("data-log-time"))
        hit.click()
        wait_for("the video at the hardest hit", lambda: settled(drv))
        state, video = drv.execute_script("return window.ridePage.state()"), video_state(drv)
        assert abs(state["logTime"] - at) < 1e-6, (at, state)
        assert video["src"].endswith("/" + state["chapter"]) and abs(video["time"] - state["chapterTime"]) <= 0.1

        if screenshot:  # the whole page: a window as tall as the document
            height = drv.execute_script("return document.documentElement.scrollHeight")
            drv.set_window_size(1280, height + 140)
            drv.execute_script("document.activeElement.blur(); window.scrollTo(0, 0)")
            time.sleep(1.0)
            drv.save_screenshot(screenshot)

        # Across the boundary: from 1.5 s before the first chapter's end.
        drv.execute_script("window.ridePage.seek(118.5); window.ridePage.play()")
        wait_for("play into the second chapter", lambda: drv.execute_script(
            "const s = window.ridePage.state(), v = document.getElementById('video');"
            "return s.playing && s.chapter === 'GP010077.MP4' && decodeURIComponent(v.currentSrc).endsWith('/GP010077.MP4')"
            " && !v.paused && v.currentTime > 0.3;"), 15)

        errors = [e for e in drv.get_log("browser") if e["level"] == "SEVERE"]
        assert not errors, errors
        urls = drv.execute_script(
            "return performance.getEntriesByType('resource').map(e => e.name)"
            ".concat(performance.getEntriesByType('navigation').map(e => e.name))")
        outside = [u for u in urls if not u.startswith(("file:", "data:", "blob:"))]
        assert not outside, outside
    finally:
        drv.quit()
    print("ride page: %d times, hardest hit, chapter boundary: all as expected" % len(table))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
