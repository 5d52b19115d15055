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

Each run starts from a fresh copy of the file in a folder of its own, and
the two programs take turns run by run. Open: from starting the program
until its window shows the map and it has done no work for a second (the
figure ends at its last work). Then the central branch is selected
(Thinkweb: Home; VYM: through its D-Bus scripting, wherever its window
puts the map), a child added (Thinkweb: Tab; VYM: `a`) and five
characters typed into its label; each timed as the processor time the
program used until it had done no work for longer than its slowest
delayed refresh. Save: from pressing Ctrl+S until the file's last change;
VYM's saved file must hold one branch more. The program is then quit as
a user quits it (Ctrl+Q), killed only when it does not go, and its lock
file removed. Medians of PEER_RUNS runs (3), with the peak resident
memory after the save; each run is printed as it ends. VYM needs the
D-Bus session above; the keys are sent with xdotool
(`apt-get install vym xdotool`).
"""
import os
import re
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


def cpu_ns(pid):
    """Processor time of all the program's threads, in nanoseconds."""
    total = 0
    for task in os.listdir("/proc/%d/task" % pid):
        try:
            with open("/proc/%d/task/%s/schedstat" % (pid, task)) as f:
                total += int(f.read().split()[0])
        except (FileNotFoundError, ProcessLookupError):
            pass  # a thread that ended meanwhile
    return total


def peak_mb(pid):
    with open("/proc/%d/status" % pid) as f:
        for line in f:
            if line.startswith("VmHWM:"):
                return int(line.split()[1]) / 1024
    return float("nan")


def window_of(pid):
    """The program's largest visible window (not a splash or a dialog)."""
    found = subprocess.run(["xdotool", "search", "--onlyvisible", "--pid", str(pid)],
                           capture_output=True, text=True).stdout.split()
    best, area = None, 0
    for window in found:
        shape = subprocess.run(["xdotool", "getwindowgeometry", "--shell", window],
                               capture_output=True, text=True).stdout
        size = dict(line.split("=", 1) for line in shape.split() if "=" in line)
        if int(size.get("WIDTH", 0)) * int(size.get("HEIGHT", 0)) > area:
            best, area = window, int(size["WIDTH"]) * int(size["HEIGHT"])
    return best


def running(pid):
    """Whether the process is there and not a zombie."""
    try:
        with open("/proc/%d/stat" % pid) as f:
            return f.read().rsplit(")", 1)[1].split()[0] != "Z"
    except FileNotFoundError:
        return False


def settled(pid, since, quiet=1.0, limit=900, cpu_at_last_work=None):
    """Waits until the program shows a window and has done no work for
    `quiet` seconds; returns (seconds from `since` to its last work,
    window). Work is a tenth of a second in which it used a fifth of a
    processor or more; a caret's blink (a repaint every half second) is
    not. `cpu_at_last_work`, a list, receives the processor time then."""
    samples = [(time.monotonic(), cpu_ns(pid))]
    last, window = samples[0][0], None
    while time.monotonic() - since < limit:
        time.sleep(0.01)
        if not running(pid):
            raise RuntimeError("the program ended")
        now, cpu = time.monotonic(), cpu_ns(pid)
        samples.append((now, cpu))
        while len(samples) > 2 and now - samples[1][0] >= 0.1:
            samples.pop(0)
        if cpu - samples[0][1] > 0.2 * (now - samples[0][0]) * 1e9:
            last = now
            if cpu_at_last_work is not None:
                cpu_at_last_work[:] = [cpu]
        window = window or window_of(pid)
        if window and now - last >= quiet:
            return last - since, window
    raise RuntimeError("the program never settled")


# Longer than either program's slowest delayed refresh (Thinkweb's map
# style inspector waits 2 s).
QUIET_AFTER_EDIT = 2.5


def cpu_until_quiet(pid, action):
    """Processor milliseconds the program used from `action` until it had
    done no work for QUIET_AFTER_EDIT seconds, less what it uses as long
    while idle (a blinking caret), measured over the second before."""
    idle_from, idle_cpu = time.monotonic(), cpu_ns(pid)
    time.sleep(1)
    start, before = time.monotonic(), cpu_ns(pid)
    idle_rate = (before - idle_cpu) / (start - idle_from)
    action()
    settled(pid, time.monotonic(), quiet=QUIET_AFTER_EDIT)
    end, after = time.monotonic(), cpu_ns(pid)
    return max(0.0, after - before - idle_rate * (end - start)) / 1e6


def key(name):
    subprocess.run(["xdotool", "key", name])


def open_edit_save(program_name, command, path, select, add_key, check):
    """One run: open, add a child to the central branch and type five
    characters into it, save, quit. Returns the figures."""
    start = time.monotonic()
    program = subprocess.Popen(command, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        opened, window = settled(program.pid, start)
        # Without a window manager the keyboard follows the pointer, and
        # keys sent to a window directly are refused by some toolkits: the
        # pointer rests on the window and the keys go through XTEST.
        subprocess.run(["xdotool", "mousemove", "--window", window, "200", "200"])
        select(program.pid, window)
        settled(program.pid, time.monotonic())
        tab = cpu_until_quiet(program.pid, lambda: key(add_key))
        keys = [cpu_until_quiet(program.pid, lambda c=c: key(c)) for c in "abcde"]
        key("Escape")
        settled(program.pid, time.monotonic())
        before = os.stat(path).st_mtime_ns
        pressed = time.monotonic()
        key("ctrl+s")
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
            if not last and time.monotonic() - pressed > 120:
                break  # the program did not save
            time.sleep(0.001)
        peak = peak_mb(program.pid)
        saved = (last - pressed) if last and check(path) else float("nan")
        if saved != saved:
            print("%s: the edit was not saved" % program_name, flush=True)
        # Quit as a user does, so that nothing is left behind.
        key("ctrl+q")
        try:
            program.wait(30)
        except subprocess.TimeoutExpired:
            pass
        return opened, tab, statistics.median(keys), saved, peak
    finally:
        if program.poll() is None:
            program.kill()
            program.wait()
        for lock in (path + ".lock",):
            if os.path.exists(lock):
                os.remove(lock)


def vym_select_centre(pid, window):
    """Selects VYM's map centre through its D-Bus scripting, after a click
    in the window's middle that lets its keys through (whatever the click
    selects, the centre is selected after it)."""
    shape = subprocess.run(["xdotool", "getwindowgeometry", "--shell", window],
                           capture_output=True, text=True).stdout
    size = dict(line.split("=", 1) for line in shape.split() if "=" in line)
    subprocess.run(["xdotool", "mousemove", "--window", window, str(int(size["WIDTH"]) // 2),
                    str(int(size["HEIGHT"]) // 2), "click", "1"])
    time.sleep(0.5)
    subprocess.run(["gdbus", "call", "--session", "--dest", "org.insilmaril.vym-%d" % pid,
                    "--object-path", "/vymmodel_1", "--method",
                    "org.insilmaril.vym.model.adaptor.execute", 'select ("mc:0")'],
                   stdout=subprocess.DEVNULL, check=True)


def vym_branches(path):
    with zipfile.ZipFile(path) as z:
        return sum(len(re.findall(rb"<branch[ >]", z.read(n))) for n in z.namelist()
                   if n.endswith(".xml"))


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
    vym = os.path.join(folder, "pristine.vym")
    write_vym(items, vym)
    tweb = os.path.join(kept, "document-%d.tweb" % total)
    branches = count(items)
    programs = (
        ("Thinkweb", lambda p: [thinkweb, p], tweb, "map.tweb",
         lambda pid, window: key("Home"), "Tab", lambda p: True),
        ("VYM", lambda p: ["vym", "-t", "--locale", "en", p], vym, "map.vym",
         vym_select_centre, "a", lambda p: vym_branches(p) == branches + 1))
    runs = {name: [] for name, *_ in programs}
    sizes = {}
    for run in range(RUNS):
        # Turn by turn, each from the file as first written: a re-saved
        # file may load differently.
        for name, command, pristine, file_name, select, add_key, check in programs:
            place = os.path.join(folder, "%s-%d" % (name, run))
            os.makedirs(place)
            path = os.path.join(place, file_name)
            shutil.copy(pristine, path)
            try:
                runs[name].append(open_edit_save(name, command(path), path, select, add_key,
                                                 check))
            except RuntimeError as error:
                print("%s: run %d failed: %s" % (name, run + 1, error), flush=True)
                continue
            sizes[name] = os.path.getsize(path) / 1e6
            print("%s: open %.2f s, add a child %.1f ms, keystroke %.1f ms, save %.3f s, "
                  "peak %.0f MB" % ((name,) + runs[name][-1]), flush=True)
    rows = []
    for name, *_ in programs:
        done = runs[name]
        if not done:
            print("%s: no run finished" % name)
            return
        # A save whose edit did not register is left out.
        saved = [r[3] for r in done if r[3] == r[3]]
        rows.append((name,) + tuple(statistics.median(r[i] for r in done) for i in (0, 1, 2))
                    + (statistics.median(saved) if saved else float("nan"),
                       statistics.median(r[4] for r in done), sizes[name]))
    print("%d branches below the centre; %s" % (count(items), folder))
    header = ("open s", "child ms", "key ms", "save s", "peak MB", "file MB")
    print("%-9s" % "" + "".join("%10s" % h for h in header))
    for row in rows:
        print("%-9s %9.2f %9.1f %9.1f %9.3f %9.0f %9.2f" % row)
    ratio = tuple(a / b if b else float("nan") for a, b in zip(rows[0][1:6], rows[1][1:6]))
    print("%-9s %9.2f %9.2f %9.2f %9.2f %9.2f" % (("ratio",) + ratio))
    shutil.rmtree(folder, ignore_errors=True)


if __name__ == "__main__":
    main()
