#!/usr/bin/env python3
"""Opening and saving the same big map in Thinkweb and in VYM, side by side.

The map is the outline of bench_big_documents, which imports it and saves
the .tweb document (THINKWEB_BENCH_KEEP names a folder that receives
outline-N.opml and document-N.tweb); VYM gets the same tree written as its
own .vym file (a zip holding one XML file), which it lays out on opening.

Run under a display, e.g.
    THINKWEB_BENCH_KEEP=/tmp/kept build/release/bench_big_documents
    xvfb-run -a -s "-screen 0 1280x800x24" dbus-run-session -- \
        python3 bench/peer_vym.py build/release/thinkweb /tmp/kept 10000

Open: from starting the program until its window shows the map and it has
done no work for a second (the figure ends at its last work). Save: one
change made in the window, then from pressing Ctrl+S until the file's last
change. Medians of PEER_RUNS runs (3), with the peak resident memory of the open;
each run is printed as it ends. VYM needs the D-Bus session above; the
keys and clicks are sent with xdotool (`apt-get install vym xdotool`).
"""
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time
import zipfile
from xml.sax.saxutils import escape

RUNS = int(os.environ.get("PEER_RUNS", "3"))


def read_outline(path):
    """(text, note, children) items of an OPML file."""
    import xml.etree.ElementTree as ET

    def items(element):
        return [(o.get("text", ""), o.get("_note"), items(o)) for o in element.findall("outline")]

    return items(ET.parse(path).getroot().find("body"))


def write_vym(items, path):
    lines = ['<?xml version="1.0" encoding="utf-8"?><!DOCTYPE vymmap>',
             '<vymmap version="2.6.11" branchCount="%d">' % count(items),
             '<mapcenter absPosX="0" absPosY="0"><heading>Generated</heading>']

    def out(item, depth, place=None):
        text, note, children = item
        pad = "  " * depth
        # First-level branches stand around the centre, as a user puts them.
        lines.append(pad + ("<branch>" if place is None else
                            '<branch relPosX="%d" relPosY="%d">' % place))
        lines.append(pad + "  <heading>%s</heading>" % escape(text))
        if note:
            lines.append(pad + '  <vymnote fonthint="var">%s</vymnote>' % escape(note))
        for c in children:
            out(c, depth + 1)
        lines.append(pad + "</branch>")

    for i, item in enumerate(items):
        out(item, 1, (300 if i % 2 == 0 else -300, 80 * (i // 2) - 160))
    lines.append("</mapcenter></vymmap>")
    with zipfile.ZipFile(path, "w", zipfile.ZIP_DEFLATED) as z:
        z.writestr("generated.xml", "\n".join(lines) + "\n")


def count(items):
    return sum(1 + count(c) for _, _, c in items)


def cpu_ticks(pid):
    with open("/proc/%d/stat" % pid) as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return int(fields[11]) + int(fields[12])


def peak_mb(pid):
    with open("/proc/%d/status" % pid) as f:
        for line in f:
            if line.startswith("VmHWM:"):
                return int(line.split()[1]) / 1024
    return float("nan")


def window_of(pid):
    found = subprocess.run(["xdotool", "search", "--onlyvisible", "--pid", str(pid)],
                           capture_output=True, text=True).stdout.split()
    return found[-1] if found else None


def settled(pid, since, quiet=1.0, limit=900):
    """Waits until the program shows a window and has used no processor time
    for `quiet` seconds; returns (seconds from `since` to its last work,
    window)."""
    last, ticks, window = time.monotonic(), cpu_ticks(pid), None
    while time.monotonic() - since < limit:
        time.sleep(0.01)
        now = cpu_ticks(pid)
        if now != ticks:
            ticks, last = now, time.monotonic()
        window = window or window_of(pid)
        if window and time.monotonic() - last >= quiet:
            return last - since, window
    raise RuntimeError("the program never settled")


def open_and_save(command, path, edit):
    """Open: from the start until the map is shown and the program idle.
    Save: the edit, then from Ctrl+S until the file's last change."""
    start = time.monotonic()
    program = subprocess.Popen(command, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        opened, window = settled(program.pid, start)
        peak = peak_mb(program.pid)
        # Without a window manager the keyboard follows the pointer, and
        # keys sent to a window directly are refused by some toolkits: the
        # pointer rests on the window and the keys go through XTEST.
        subprocess.run(["xdotool", "mousemove", "--window", window, "500", "400"])
        edit(window)
        settled(program.pid, time.monotonic())
        before = os.stat(path).st_mtime_ns
        pressed = time.monotonic()
        subprocess.run(["xdotool", "key", "ctrl+s"])
        last = None
        while time.monotonic() - pressed < 600:
            try:
                mtime = os.stat(path).st_mtime_ns
            except FileNotFoundError:
                mtime = None
            if mtime is not None and mtime != before:
                before, last = mtime, time.monotonic()
            if last and time.monotonic() - last > 2:
                break
            time.sleep(0.001)
        return opened, peak, (last - pressed) if last else float("nan")
    finally:
        program.kill()
        program.wait()


def click_and_keys(x, y, *keys):
    """A click at window coordinates (none when x is None), then the keys."""
    def edit(window):
        if x is not None:
            subprocess.run(["xdotool", "mousemove", "--window", window, str(x), str(y),
                            "click", "1"])
            time.sleep(0.5)
        for key in keys:
            subprocess.run(["xdotool", "key", key])
            time.sleep(0.5)
    return edit


def main():
    thinkweb = os.path.abspath(sys.argv[1])
    kept = os.path.abspath(sys.argv[2])
    total = int(sys.argv[3]) if len(sys.argv) > 3 else 10000
    folder = tempfile.mkdtemp(prefix="peer-vym-")
    home = os.path.join(folder, "home")
    os.makedirs(home)
    os.environ.update(HOME=home, XDG_CONFIG_HOME=os.path.join(home, ".config"))
    # No tutorial prompt over the map.
    os.makedirs(os.path.join(home, ".config", "thinkweb"))
    with open(os.path.join(home, ".config", "thinkweb", "thinkweb-deluxe.ini"), "w") as f:
        f.write("[General]\nTWPromptForTutorAtStartup=false\n")
    items = read_outline(os.path.join(kept, "outline-%d.opml" % total))
    vym = os.path.join(folder, "map.vym")
    tweb = os.path.join(folder, "map.tweb")
    write_vym(items, vym)
    shutil.copy(os.path.join(kept, "document-%d.tweb" % total), tweb)
    rows = []
    # Each gets one change before saving (a program saves only a changed
    # map): the central branch selected and a child added. Thinkweb's Home
    # selects the central branch wherever the view stands.
    for name, command, path, edit in (
            ("Thinkweb", [thinkweb, tweb], tweb, click_and_keys(None, None, "Home", "Tab", "Escape")),
            ("VYM", ["vym", "-t", "--locale", "en", vym], vym,
             click_and_keys(337, 162, "Insert", "Escape"))):
        runs = []
        for _ in range(RUNS):
            runs.append(open_and_save(command, path, edit))
            print("%s: open %.2f s, peak %.0f MB, save %.3f s" % ((name,) + runs[-1]), flush=True)
        # A save whose edit did not register never comes: the runs that saved.
        saved = [r[2] for r in runs if r[2] == r[2]]
        rows.append((name, statistics.median(r[0] for r in runs),
                     statistics.median(r[1] for r in runs),
                     statistics.median(saved) if saved else float("nan"),
                     os.path.getsize(path) / 1e6))
    print("%d branches below the centre; %s" % (count(items), folder))
    print("%-9s %9s %9s %9s %9s" % ("", "open s", "peak MB", "save s", "file MB"))
    for row in rows:
        print("%-9s %9.2f %9.0f %9.3f %9.2f" % row)
    shutil.rmtree(folder, ignore_errors=True)


if __name__ == "__main__":
    main()
