#!/usr/bin/env python3
"""Opening, editing and saving one big map in Thinkweb and in VYM, side by side.

The map is the outline of bench_big_documents, which imports it and saves
the .tweb document (THINKWEB_BENCH_KEEP names a folder that receives
outline-N.opml and document-N.tweb); VYM gets the same tree written as its
own .vym file (a zip holding one XML file), which it lays out on opening.

Run under a display, e.g.
    THINKWEB_BENCH_LARGE=1 THINKWEB_BENCH_KEEP=/tmp/kept \
        build/release/bench_big_documents --benchmark_filter='BM_Open/(1000|10000|50000)/'
    xvfb-run -a -s "-screen 0 1280x800x24" dbus-run-session -- \
        python3 bench/peer_vym.py build/release/thinkweb /tmp/kept 10000

Each run starts from a fresh copy of the file in a folder of its own; both
programs run pinned to the same two cores (PEER_CORES, "2,3": `taskset -c`)
and take turns run by run, the one that goes first alternating. Open: from
starting the program until its window shows the map and it is idle (under
IDLE_SHARE of a processor for IDLE_QUIET seconds; the figure ends at its
last work). Then the central branch is selected (Thinkweb: Home; VYM:
through its D-Bus scripting, wherever its window puts the map) and the
program left until it is idle again, so that no work of the open or the
selection is counted in an edit; a child is added (Thinkweb: Tab; VYM:
`a`), five characters typed into its label and the label finished
(Thinkweb: Escape; VYM: Return, which commits the heading; its Escape
leaves the editor open).

Each edit is timed by one rule for both programs, from the key: its own
paint ("first", the first picture on the screen not shown before the key)
and until idle ("settled"). The screen is read back after every change X
reports on it (XDamage); the edit is settled once, for QUIET_AFTER_EDIT
seconds (longer than either program's slowest delayed refresh), every
picture shown is one already shown since the key and the program has
answered a window manager's ping (_NET_WM_PING, which its event loop
answers) within PING_LATE seconds. The settled figure ends where the
pictures of that last stretch began: a blinking caret alternates between
two pictures already shown, so it neither ends the edit nor keeps it
open, whatever its repaint costs (VYM repaints the part of the map under
its label editor for each blink, 60 ms at 10,000 branches). The keystroke
column ("key ms") is each keystroke's own paint: what a program refreshes
later on purpose (Thinkweb's suggestion palette follows the label a while
after the keystroke) is in "settled" only. An edit that has not settled
within PEER_LIMIT seconds (1800) is reported as "did not settle within
N s"; the run goes on to the save all the same, once the program is idle
again (again within PEER_LIMIT), so that every run measures a save.

After the child is added, the processor time the program uses from 0.1 s
after the key over the next 10 s is printed ("cpu 10 s", with its label
editor open), and again after the label is finished ("cpu 10 s fin"): a
program at rest uses next to nothing.

VYM's automatic layout (on unless a user turns it off) pushes overlapping
first-level branches apart after a change: the VYM file places the
first-level branches as VYM would have kept them, one below the other on
each side of the centre, spaced by their subtrees, so that the first
change does not lay out the whole map. PEER_VYM_AUTOLAYOUT=0 turns the
automatic layout off in VYM's settings.

The processor time the program used until an edit settled (less what it
uses while idle, measured over the second before) is printed beside each
run. The edits' keys are sent through XTEST from this script, without the
time xdotool takes to start; xdotool sends the others. PEER_ONLY=Thinkweb
(or VYM) runs one program alone.

Save: from pressing Ctrl+S until the file's last change; both saved files
must hold the five characters, VYM's one branch more. The program is then
quit as a user quits it (Ctrl+Q), killed only when it does not go, and
its lock file removed. Each run is printed as it ends; the table gives
the median of PEER_RUNS runs (3) and their spread (the largest less the
smallest), with the peak resident memory after the save. A run takes
minutes at 50,000 branches (PEER_RUNS=1 there). VYM needs the D-Bus
session above (`apt-get install vym xdotool`); the screen is read and keys
sent through libX11, libXdamage and libXtst.
"""
import ctypes
import hashlib
import math
import os
import re
import select
import shutil
import statistics
import subprocess
import sys
import tarfile
import tempfile
import time
import zipfile
from xml.sax.saxutils import escape

RUNS = int(os.environ.get("PEER_RUNS", "3"))
LIMIT = float(os.environ.get("PEER_LIMIT", "1800"))
# Both programs run on the same two cores.
CORES = os.environ.get("PEER_CORES", "2,3")
# VYM's automatic layout (on unless a user turns it off) pushes
# overlapping first-level branches apart after each change.
VYM_AUTO_LAYOUT = os.environ.get("PEER_VYM_AUTOLAYOUT", "1") != "0"
# PEER_ONLY=Thinkweb (or VYM) runs one program alone, without the ratio.
ONLY = os.environ.get("PEER_ONLY", "")
TYPED = "abcde"


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

    # One below the other on each side of the centre, each as tall as its
    # leaves (a row of VYM's default font is some 20 pixels), so that none
    # overlaps another and VYM's automatic layout has nothing to push.
    sides = ([], [])
    for i, item in enumerate(items):
        sides[i % 2].append(item)
    for side, x in zip(sides, (300, -300)):
        heights = [VYM_ROW * leaves(item) + VYM_GAP for item in side]
        y = -sum(heights) // 2
        for item, height in zip(side, heights):
            out(item, 1, (x, y + height // 2))
            y += height
    lines.append("</mapcenter></vymmap>")
    with zipfile.ZipFile(path, "w", zipfile.ZIP_DEFLATED) as z:
        z.writestr("generated.xml", "\n".join(lines) + "\n")


VYM_ROW = 30
VYM_GAP = 60


def leaves(item):
    children = item[2]
    return sum(leaves(c) for c in children) if children else 1


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


# Idle: under this share of a processor over every half second, for this
# many seconds.
IDLE_SHARE = 0.05
IDLE_QUIET = 2.0


def settled(pid, since, step, quiet=IDLE_QUIET):
    """Waits until the program shows a window and is idle for `quiet`
    seconds; returns (seconds from `since` to its last work, its main
    window then). Work is a half second in which it used IDLE_SHARE of a
    processor or more. For opening and selecting, where no caret blinks."""
    samples = [(time.monotonic(), cpu_ns(pid))]
    last, window = samples[0][0], None
    while time.monotonic() - since < LIMIT:
        time.sleep(0.01)
        if not running(pid):
            raise RuntimeError("the program ended")
        now, cpu = time.monotonic(), cpu_ns(pid)
        samples.append((now, cpu))
        while len(samples) > 2 and now - samples[1][0] >= 0.5:
            samples.pop(0)
        if cpu - samples[0][1] > IDLE_SHARE * (now - samples[0][0]) * 1e9:
            last = now
        window = window or window_of(pid)
        if window and now - last >= quiet:
            # A first window (a splash) may have made way for another.
            return last - since, window_of(pid) or window
    raise Unsettled(step, time.monotonic() - since)


# Longer than either program's slowest delayed refresh (Thinkweb's map
# style inspector waits 2 s, VYM's scroll animation 2 s).
QUIET_AFTER_EDIT = 2.5
# A ping not answered for this long means the event loop is busy.
PING_LATE = 1.0


class Unsettled(Exception):
    def __init__(self, step, seconds):
        super().__init__("%s: did not settle within %.0f s" % (step, seconds))
        self.step, self.seconds = step, seconds


class Screen:
    """What the X server shows: changes (XDamage on the root window, whose
    pictures are read back and compared) and pings to a window."""

    def __init__(self):
        self.x = ctypes.CDLL("libX11.so.6")
        damage = ctypes.CDLL("libXdamage.so.1")
        x = self.x
        x.XOpenDisplay.restype = ctypes.c_void_p
        x.XOpenDisplay.argtypes = [ctypes.c_char_p]
        for name in ("XPending", "XFlush", "XDefaultScreen", "XConnectionNumber"):
            getattr(x, name).argtypes = [ctypes.c_void_p]
        x.XDefaultRootWindow.restype = ctypes.c_ulong
        x.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
        x.XDisplayWidth.argtypes = x.XDisplayHeight.argtypes = [ctypes.c_void_p, ctypes.c_int]
        x.XNextEvent.argtypes = [ctypes.c_void_p, ctypes.c_void_p]
        x.XInternAtom.restype = ctypes.c_ulong
        x.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
        x.XSelectInput.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_long]
        x.XSendEvent.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_long,
                                 ctypes.c_void_p]
        x.XGetImage.restype = ctypes.c_void_p
        x.XGetImage.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_int,
                                ctypes.c_uint, ctypes.c_uint, ctypes.c_ulong, ctypes.c_int]
        x.XDestroyImage.argtypes = [ctypes.c_void_p]
        damage.XDamageQueryExtension.argtypes = [ctypes.c_void_p, ctypes.POINTER(ctypes.c_int),
                                                 ctypes.POINTER(ctypes.c_int)]
        damage.XDamageCreate.restype = ctypes.c_ulong
        damage.XDamageCreate.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int]
        x.XStringToKeysym.restype = ctypes.c_ulong
        x.XStringToKeysym.argtypes = [ctypes.c_char_p]
        x.XKeysymToKeycode.restype = ctypes.c_ubyte
        x.XKeysymToKeycode.argtypes = [ctypes.c_void_p, ctypes.c_ulong]
        self.xtest = ctypes.CDLL("libXtst.so.6")
        self.xtest.XTestFakeKeyEvent.argtypes = [ctypes.c_void_p, ctypes.c_uint, ctypes.c_int,
                                                 ctypes.c_ulong]
        # A ping to a window that has just gone is no reason to stop.
        handler = ctypes.CFUNCTYPE(ctypes.c_int, ctypes.c_void_p, ctypes.c_void_p)
        self.ignore_errors = handler(lambda display, error: 0)
        x.XSetErrorHandler(self.ignore_errors)
        self.display = x.XOpenDisplay(None)
        if not self.display:
            raise SystemExit("no X display")
        self.root = x.XDefaultRootWindow(self.display)
        self.connection = x.XConnectionNumber(self.display)
        screen = x.XDefaultScreen(self.display)
        self.size = (x.XDisplayWidth(self.display, screen), x.XDisplayHeight(self.display, screen))
        base, error_base = ctypes.c_int(), ctypes.c_int()
        if not damage.XDamageQueryExtension(self.display, ctypes.byref(base),
                                            ctypes.byref(error_base)):
            raise SystemExit("the X server has no DAMAGE extension")
        self.damage_event = base.value  # XDamageNotify
        damage.XDamageCreate(self.display, self.root, 0)  # every drawn rectangle
        # Replies to pings go to the root window.
        self.x.XSelectInput(self.display, self.root, (1 << 17) | (1 << 19))
        self.protocols = x.XInternAtom(self.display, b"WM_PROTOCOLS", 0)
        self.ping_atom = x.XInternAtom(self.display, b"_NET_WM_PING", 0)
        self.event = (ctypes.c_long * 24)()
        self.pings = 0
        self.answered = set()
        self.changed_at = None  # the first change not yet read back
        self.last_change = 0.0
        x.XFlush(self.display)

    def pump(self, wait=0.0):
        """Reads what the server reported, waiting up to `wait` seconds for
        a first report."""
        x, event = self.x, self.event
        if wait and not x.XPending(self.display):
            select.select([self.connection], [], [], wait)
        while x.XPending(self.display):
            x.XNextEvent(self.display, event)
            kind = ctypes.cast(event, ctypes.POINTER(ctypes.c_int))[0]
            if kind == self.damage_event:
                now = time.monotonic()
                self.changed_at = self.changed_at or now
                self.last_change = now
            elif kind == 33 and event[5] == self.protocols and event[7] == self.ping_atom:
                self.answered.add(event[8])  # ClientMessage: our ping came back

    def ping(self, window):
        self.pings += 1
        message = (ctypes.c_long * 24)()
        ints = ctypes.cast(message, ctypes.POINTER(ctypes.c_int))
        ints[0] = 33  # ClientMessage
        message[4], message[5] = window, self.protocols
        ints[12] = 32  # format
        message[7], message[8], message[9] = self.ping_atom, self.pings, window
        self.x.XSendEvent(self.display, window, 0, 0, message)
        self.x.XFlush(self.display)
        return self.pings

    def key(self, name):
        """Presses and releases a key (a keysym name) through XTEST, as
        xdotool does, without the time it takes to start."""
        code = self.x.XKeysymToKeycode(self.display, self.x.XStringToKeysym(name.encode()))
        self.xtest.XTestFakeKeyEvent(self.display, code, 1, 0)
        self.xtest.XTestFakeKeyEvent(self.display, code, 0, 0)
        self.x.XFlush(self.display)

    def picture(self):
        """A digest of the whole screen."""
        image = self.x.XGetImage(self.display, self.root, 0, 0, self.size[0], self.size[1],
                                 0xFFFFFFFF, 2)  # AllPlanes, ZPixmap
        if not image:
            return None
        fields = ctypes.cast(image, ctypes.POINTER(ctypes.c_int))
        data = ctypes.cast(image, ctypes.POINTER(ctypes.c_void_p))[2]
        digest = hashlib.blake2b(ctypes.string_at(data, fields[11] * fields[1]),
                                 digest_size=16).digest()
        self.x.XDestroyImage(image)
        return digest

    def settle(self):
        """Drops what was reported so far: the next picture is the start."""
        self.pump()
        self.changed_at = None
        return self.picture()


def on_screen(screen, pid, window, step, action):
    """Wall seconds from `action` until the screen showed its result, and
    the processor milliseconds the program used meanwhile (less its idle
    use): see the head of this file for the rule."""
    # The pictures of the second before (a caret's two states) are no change.
    screen.settle()
    seen = set()
    idle_from, idle_cpu = time.monotonic(), cpu_ns(pid)
    while time.monotonic() - idle_from < 1:
        time.sleep(0.005)
        screen.pump()
        if screen.changed_at is not None and time.monotonic() - screen.last_change > 0.015:
            seen.add(screen.settle())
    # The clock starts once the first picture is read back (some 10 ms for
    # a screen of 1280 x 800), right before the key.
    start = screen.settle()
    seen.add(start)
    begin, before = time.monotonic(), cpu_ns(pid)
    idle_rate = (before - idle_cpu) / (begin - idle_from)
    # (time, picture, processor time once drawn), one per change read back
    shown = [(begin, start, before)]
    action()
    last_new = begin
    # The key's own paint: the first picture not shown before the key.
    first_new = None
    # Processor time 0.1 s after the key, where the program should be idle.
    at_rest = None
    ping, ping_sent, answered_after = None, 0.0, None
    while True:
        screen.pump(0.005)
        if not running(pid):
            raise RuntimeError("the program ended")
        now = time.monotonic()
        if at_rest is None and now - begin >= 0.1:
            at_rest = (now, cpu_ns(pid))
        # Read the screen back once the program has finished drawing.
        if screen.changed_at is not None and now - screen.last_change > 0.015:
            at = screen.changed_at
            screen.changed_at = None
            picture = screen.picture()
            if picture is not None and picture != shown[-1][1]:
                shown.append((at, picture, cpu_ns(pid)))
                if picture not in seen:
                    seen.add(picture)
                    last_new = at
                    first_new = first_new or at
        if ping is not None and ping in screen.answered:
            answered_after, ping = ping_sent, None
        if ping is None and now - ping_sent >= 0.1:
            ping, ping_sent = screen.ping(window), now
        responsive = (ping is None or now - ping_sent < PING_LATE) and \
            answered_after is not None and answered_after > last_new
        if now - last_new >= QUIET_AFTER_EDIT and responsive and \
                screen.changed_at is None:
            break
        if now - begin > LIMIT:
            raise Unsettled(step, now - begin)
    # The last stretch shows only pictures it had shown before (a caret's
    # two states); the result was on screen when that stretch began.
    final = {picture for at, picture, _ in shown if at >= last_new}
    end, used = last_new, before
    for at, picture, drawn in reversed(shown):
        if picture not in final:
            break
        end, used = at, drawn
    cpu_ms = max(0.0, used - before - idle_rate * (end - begin)) / 1e6
    # The edit's own paint, before the refreshes that a program delays on
    # purpose (Thinkweb's inspector follows the selection 0.1 s later, its
    # navigator 50 ms after the last change, its suggestions later still).
    first = first_new if first_new is not None else end
    return Edit(end - begin, cpu_ms, min(first, end) - begin, begin, at_rest)


class Edit(tuple):
    """An edit's figures: settled (s), processor ms until then, its own
    paint (s); and when the key was sent and (time, processor ns) 0.1 s
    after it."""

    def __new__(cls, settled, cpu_ms, first, key_at=None, at_rest=None):
        edit = super().__new__(cls, (settled, cpu_ms, first))
        edit.key_at, edit.at_rest = key_at, at_rest
        return edit


def cpu_after(pid, edit, seconds=10.0):
    """Processor seconds the program used over `seconds` from 0.1 s after
    the edit's key."""
    if edit.at_rest is None:
        return math.nan
    since, cpu = edit.at_rest
    time.sleep(max(0.0, since + seconds - time.monotonic()))
    # An edit that took longer to settle is measured over its whole time,
    # at the same rate.
    return (cpu_ns(pid) - cpu) / 1e9 * seconds / (time.monotonic() - since)


def key(name):
    subprocess.run(["xdotool", "key", name])


def open_edit_save(screen, program_name, command, path, select, add_key, finish_key, check):
    """One run: open, add a child to the central branch, type five
    characters into it and finish the label, save, quit. Returns the
    figures: open and save (s), child and finish (Edit), keys (a list of
    those), cpu10 (s), peak (MB). An edit that does not settle is kept as
    unsettled and the run goes on to the save once the program is idle; a
    program that never gets idle ends the run with Unsettled, whose
    `figures` holds those measured until then."""
    start = time.monotonic()
    program = subprocess.Popen(["taskset", "-c", CORES] + command,
                               stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    figures = {}
    try:
        try:
            figures["open"], window = settled(program.pid, start, "open")
            # Without a window manager the keyboard follows the pointer, and
            # keys sent to a window directly are refused by some toolkits:
            # the pointer rests on the window and the keys go through XTEST.
            subprocess.run(["xdotool", "mousemove", "--window", window, "200", "200"])
            select(program.pid, window)
            settled(program.pid, time.monotonic(), "select the centre")

            def edit(step, name):
                try:
                    return on_screen(screen, program.pid, int(window), step,
                                     lambda: screen.key(name))
                except Unsettled as unsettled:
                    print("%s: %s" % (program_name, unsettled), flush=True)
                    settled(program.pid, time.monotonic(), step)
                    return Edit(math.inf, math.nan, math.nan)

            figures["child"] = edit("add a child", add_key)
            figures["cpu10"] = cpu_after(program.pid, figures["child"])
            figures["keys"] = []
            for c in TYPED:
                figures["keys"].append(edit("keystroke", c))
            figures["finish"] = edit("finish the label", finish_key)
            figures["cpu10 finish"] = cpu_after(program.pid, figures["finish"])
        except Unsettled as unsettled:
            figures["peak"] = peak_mb(program.pid)
            unsettled.figures = figures
            raise
        before = os.stat(path).st_mtime_ns
        pressed = time.monotonic()
        key("ctrl+s")
        last = None
        while time.monotonic() - pressed < LIMIT:
            try:
                mtime = os.stat(path).st_mtime_ns
            except FileNotFoundError:
                mtime = None
            if mtime is not None and mtime != before:
                before, last = mtime, time.monotonic()
            if last and time.monotonic() - last > 2:
                break
            time.sleep(0.001)
        figures["peak"] = peak_mb(program.pid)
        figures["save"] = (last - pressed) if last and check(path) else float("nan")
        if figures["save"] != figures["save"]:
            print("%s: the edit was not saved" % program_name, flush=True)
        # Quit as a user does, so that nothing is left behind.
        key("ctrl+q")
        try:
            program.wait(30)
        except subprocess.TimeoutExpired:
            pass
        return figures
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


def vym_saved(path, branches):
    """Whether VYM's file holds one branch more, headed by the typed text."""
    with zipfile.ZipFile(path) as z:
        xml = b"".join(z.read(n) for n in z.namelist() if n.endswith(".xml"))
    headed = re.search(rb"<heading[^>]*>\s*" + TYPED.encode() + rb"\s*</heading>", xml)
    return len(re.findall(rb"<branch[ >]", xml)) == branches + 1 and headed is not None


def thinkweb_saved(path):
    """Whether the document (a gzipped tar) holds the typed text."""
    with tarfile.open(path) as archive:
        return any(TYPED.encode() in archive.extractfile(member).read()
                   for member in archive if member.isfile())


def settled_of(name):
    return lambda figures: part(figures.get(name), 0)


def median_key(figures):
    """The keystrokes' own paint, median of the five."""
    keys = [k[2] for k in figures.get("keys", []) if not math.isnan(k[2])]
    return statistics.median(keys) if keys else math.nan


def part(edit, index):
    """One figure of an edit: inf for an edit that did not settle, nan for
    one not measured."""
    if edit is None:
        return math.nan
    if math.isinf(edit[0]):
        return math.inf
    return edit[index]


COLUMNS = (("open s", lambda f: f.get("open", math.nan), 1),
           ("Tab 1st ms", lambda f: part(f.get("child"), 2), 1e3),
           ("Tab ms", settled_of("child"), 1e3),
           ("cpu 10 s", lambda f: f.get("cpu10", math.nan), 1),
           ("key ms", median_key, 1e3),
           ("finish ms", settled_of("finish"), 1e3),
           ("cpu 10 s fin", lambda f: f.get("cpu10 finish", math.nan), 1),
           ("save s", lambda f: f.get("save", math.nan), 1),
           ("peak MB", lambda f: f.get("peak", math.nan), 1))


def fmt(value, scale):
    if math.isinf(value):
        return ">%.0fs" % LIMIT
    return "%.3f" % value if scale == 1 and value < 10 else "%.1f" % (value * scale)


def compare(folder):
    thinkweb = os.path.abspath(sys.argv[1])
    kept = os.path.abspath(sys.argv[2])
    total = int(sys.argv[3]) if len(sys.argv) > 3 else 10000
    home = os.path.join(folder, "home")
    os.makedirs(home)
    os.environ.update(HOME=home, XDG_CONFIG_HOME=os.path.join(home, ".config"))
    # No tutorial prompt over the map.
    os.makedirs(os.path.join(home, ".config", "thinkweb"))
    with open(os.path.join(home, ".config", "thinkweb", "thinkweb-deluxe.ini"), "w") as f:
        f.write("[General]\nTWPromptForTutorAtStartup=false\n")
    if not VYM_AUTO_LAYOUT:
        os.makedirs(os.path.join(home, ".config", "InSilmaril"))
        with open(os.path.join(home, ".config", "InSilmaril", "vym.conf"), "w") as f:
            f.write("[mainwindow]\nautoLayout\\use=false\n")
    items = read_outline(os.path.join(kept, "outline-%d.opml" % total))
    vym = os.path.join(folder, "pristine.vym")
    write_vym(items, vym)
    tweb = os.path.join(kept, "document-%d.tweb" % total)
    branches = count(items)
    screen = Screen()
    programs = (
        ("Thinkweb", lambda p: [thinkweb, p], tweb, "map.tweb",
         lambda pid, window: key("Home"), "Tab", "Escape", thinkweb_saved),
        ("VYM", lambda p: ["vym", "-t", "--locale", "en", p], vym, "map.vym",
         vym_select_centre, "a", "Return", lambda p: vym_saved(p, branches)))
    if ONLY:
        programs = tuple(p for p in programs if p[0].lower() == ONLY.lower())
    runs = {name: [] for name, *_ in programs}
    sizes = {}
    for run in range(RUNS):
        # Turn by turn, each from the file as first written (a re-saved
        # file may load differently); the one that goes first alternates.
        order = programs if run % 2 == 0 else tuple(reversed(programs))
        for name, command, pristine, file_name, select, add_key, finish_key, check in order:
            place = os.path.join(folder, "%s-%d" % (name, run))
            os.makedirs(place)
            path = os.path.join(place, file_name)
            shutil.copy(pristine, path)
            try:
                figures = open_edit_save(screen, name, command(path), path, select, add_key,
                                         finish_key, check)
                sizes[name] = os.path.getsize(path) / 1e6
            except Unsettled as unsettled:
                figures = unsettled.figures
                if unsettled.step == "open":
                    figures["open"] = math.inf
                print("%s: run %d: %s" % (name, run + 1, unsettled), flush=True)
            except RuntimeError as error:
                print("%s: run %d failed: %s" % (name, run + 1, error), flush=True)
                continue
            runs[name].append(figures)
            edits = [("add a child", figures.get("child"))] + \
                [("keystroke %s" % c, k) for c, k in zip(TYPED, figures.get("keys", []))] + \
                [("finish", figures.get("finish"))]
            print("%s: open %s s; %s; cpu over 10 s after adding the child %.3f s, "
                  "after finishing the label %.3f s; save %.3f s, peak %.0f MB"
                  % (name, fmt(figures.get("open", math.nan), 1),
                     ", ".join("%s did not settle within %.0f s" % (label, LIMIT)
                               if math.isinf(e[0]) else
                               "%s %.1f ms (own paint %.1f ms, cpu %.0f ms)"
                               % (label, e[0] * 1e3, e[2] * 1e3, e[1])
                               for label, e in edits if e),
                     figures.get("cpu10", math.nan), figures.get("cpu10 finish", math.nan),
                     figures.get("save", math.nan),
                     figures.get("peak", math.nan)), flush=True)
    medians, spreads = [], []
    for name, *_ in programs:
        done = runs[name]
        if not done:
            print("%s: no run finished" % name)
            return
        median, spread = [name], [""]
        for _, column, _ in COLUMNS:
            # A figure not measured (a save whose edit did not register)
            # is left out.
            values = [v for v in (column(r) for r in done) if v == v]
            median.append(statistics.median(values) if values else math.nan)
            spread.append(max(values) - min(values)
                          if values and not any(math.isinf(v) for v in values) else math.nan)
        median.append(sizes.get(name, math.nan))
        spread.append(math.nan)
        medians.append(median)
        spreads.append(spread)
    print("%d branches below the centre, %d runs each on cores %s: median, then spread "
          "(largest less smallest)" % (count(items), RUNS, CORES))
    header = [h for h, _, _ in COLUMNS] + ["file MB"]
    scales = [s for _, _, s in COLUMNS] + [1]
    print("%-9s" % "" + "".join("%11s" % h for h in header))
    for median, spread in zip(medians, spreads):
        print("%-9s" % median[0] + "".join("%11s" % fmt(v, s)
                                           for v, s in zip(median[1:], scales)))
        print("%-9s" % " spread" + "".join("%11s" % ("" if v != v else fmt(v, s))
                                           for v, s in zip(spread[1:], scales)))
    if len(medians) < 2:
        return
    ratio = [a / b if b and not math.isinf(b) else math.nan
             for a, b in zip(medians[0][1:], medians[1][1:])]
    print("%-9s" % "ratio" + "".join("%11.2f" % r for r in ratio))
    if any(math.isinf(v) for row in medians for v in row[1:]):
        print(">%.0fs: did not settle within %.0f s (PEER_LIMIT)" % (LIMIT, LIMIT))


def main():
    # Runs that end early leave nothing behind either.
    folder = tempfile.mkdtemp(prefix="peer-vym-")
    try:
        compare(folder)
    finally:
        shutil.rmtree(folder, ignore_errors=True)


if __name__ == "__main__":
    main()
