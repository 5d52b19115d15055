#!/usr/bin/python3
"""Builds a presentation in LibreOffice Impress for Thinkweb's presentation export.

Usage: thinkweb-impress.py PROFILE_DIR

Starts Impress headless with its own user profile, then reads one JSON
operation a line from standard input and answers each with one JSON line,
{"ok": true} or {"ok": false, "error": "..."}. The first answer says whether
Impress could be started. {"op": "save", "path": ...} writes .pptx;
{"op": "quit"} or the end of input closes Impress.
"""

import json
import os
import shutil
import signal
import stat
import subprocess
import sys
import tempfile
import time
import uuid

try:
    import uno
    from com.sun.star.beans import PropertyValue
    from com.sun.star.connection import NoConnectException
except ImportError as exc:  # no bridge: say so instead of a traceback
    uno = None
    IMPORT_ERROR = str(exc)

HUNDREDTH_MM_PER_POINT = 2540.0 / 72.0
SLIDE_WIDTH = 720
SLIDE_HEIGHT = 540
LAYOUT_TITLE_CONTENT = 1
LAYOUT_TITLE_ONLY = 19
LAYOUT_NONE = 20
PARAGRAPH_BREAK = 0  # com.sun.star.text.ControlCharacter
ADJUST = {0: 0, 1: 1, 2: 3, 3: 2}  # left, right, centre, justified -> ParagraphAdjust


def answer(ok, error="", **extra):
    sys.stdout.write(json.dumps(dict({"ok": ok, "error": error}, **extra)) + "\n")
    sys.stdout.flush()


def prop(name, value):
    p = PropertyValue()
    p.Name = name
    p.Value = value
    return p


def hmm(points):
    return int(round(points * HUNDREDTH_MM_PER_POINT))


class Impress:
    def __init__(self, profile):
        self.profile = profile
        self.process = None
        self.context = None
        self.desktop = None
        self.document = None
        self.placeholder = None

    def start(self, timeout=60.0):
        office = shutil.which("soffice") or shutil.which("libreoffice")
        if not office:
            raise RuntimeError("LibreOffice (soffice) is not installed")
        pipe = "thinkweb-" + uuid.uuid4().hex
        profile_url = uno.systemPathToFileUrl(os.path.abspath(self.profile))
        self.process = subprocess.Popen(
            [office, "--headless", "--invisible", "--nologo", "--norestore",
             "--nodefault", "--nolockcheck",
             "-env:UserInstallation=" + profile_url,
             "--accept=pipe,name=%s;urp;StarOffice.ComponentContext" % pipe],
            stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
            # Its own process group, so whoever ends this program can end
            # the office processes with it.
            start_new_session=True)
        local = uno.getComponentContext()
        resolver = local.ServiceManager.createInstanceWithContext(
            "com.sun.star.bridge.UnoUrlResolver", local)
        deadline = time.monotonic() + timeout
        context = None
        while context is None:
            # The launcher may hand over to the office process and end with 0,
            # or with 81 when a new profile makes it restart.
            if self.process.poll() not in (None, 0, 81):
                raise RuntimeError("LibreOffice ended at start (exit code %d)"
                                   % self.process.returncode)
            try:
                context = resolver.resolve(
                    "uno:pipe,name=%s;urp;StarOffice.ComponentContext" % pipe)
            except NoConnectException:
                if time.monotonic() > deadline:
                    raise RuntimeError("LibreOffice did not start within %d seconds" % timeout)
                time.sleep(0.2)
        self.context = context
        self.desktop = context.ServiceManager.createInstanceWithContext(
            "com.sun.star.frame.Desktop", context)
        self.document = self.desktop.loadComponentFromURL(
            "private:factory/simpress", "_blank", 0, (prop("Hidden", True),))
        pages = self.document.DrawPages
        first = pages.getByIndex(0)
        # 4:3 slides; the masters too, so that the layouts' placeholders fit.
        masters = self.document.MasterPages
        for page in [first] + [masters.getByIndex(i) for i in range(masters.Count)]:
            page.Width = hmm(SLIDE_WIDTH)
            page.Height = hmm(SLIDE_HEIGHT)
        # The new document's own slide goes once the export has added its own.
        self.placeholder = first

    def stop(self):
        try:
            if self.document is not None:
                self.document.close(True)
        except Exception:
            pass
        try:
            if self.desktop is not None:
                self.desktop.terminate()
        except Exception:
            pass
        self.document = self.desktop = None
        if self.process is not None:
            try:
                self.process.wait(timeout=10)
            except subprocess.TimeoutExpired:
                pass
            # The launcher may have ended before the office process it started.
            try:
                os.killpg(self.process.pid, signal.SIGKILL)
            except OSError:
                pass
            self.process.wait()
            self.process = None

    # --- slides ---

    def pages(self):
        if self.placeholder is None:
            raise RuntimeError("the presentation was saved and is closed")
        return self.document.DrawPages

    # The document's own first page stays in front until the save, so every
    # slide of the export is added after a page and slide n is page n.
    def slide(self, number):
        pages = self.pages()
        if number < 1 or number >= pages.Count:
            raise RuntimeError("there is no slide %d" % number)
        return pages.getByIndex(number)

    def add_slide(self, number, layout):
        pages = self.pages()
        if number < 1 or number > pages.Count:
            raise RuntimeError("slide %d cannot be added to %d slides" % (number, pages.Count - 1))
        page = pages.insertNewByIndex(number - 1)
        page.Layout = layout
        # The layout places its texts for the program's default page size.
        frames = {"com.sun.star.presentation.TitleTextShape": (36, 22, 648, 90),
                  "com.sun.star.presentation.OutlinerShape": (36, 126, 648, 378)}
        for i in range(page.Count):
            shape = page.getByIndex(i)
            frame = frames.get(shape.ShapeType)
            if frame:
                position = uno.createUnoStruct("com.sun.star.awt.Point")
                position.X, position.Y = hmm(frame[0]), hmm(frame[1])
                size = uno.createUnoStruct("com.sun.star.awt.Size")
                size.Width, size.Height = hmm(frame[2]), hmm(frame[3])
                shape.Position = position
                shape.Size = size
        return page

    # --- texts ---

    def text_shape(self, number, target):
        slide = self.slide(number)
        if target == "notes":
            notes = slide.NotesPage
            for i in range(notes.Count):
                shape = notes.getByIndex(i)
                if shape.ShapeType == "com.sun.star.presentation.NotesShape":
                    return shape
            raise RuntimeError("slide %d has no notes text" % number)
        wanted = ("com.sun.star.presentation.TitleTextShape" if target == "title"
                  else "com.sun.star.presentation.OutlinerShape")
        for i in range(slide.Count):
            shape = slide.getByIndex(i)
            if shape.ShapeType == wanted:
                return shape
        raise RuntimeError("slide %d has no %s text" % (number, target))

    def characters(self, op):
        shape = self.text_shape(op["slide"], op["target"])
        text = shape.Text
        length = len(text.String.replace("\r\n", "\n").encode("utf-16-le")) // 2
        start, count = op["start"], op["length"]
        if start < 1 or count < 0 or start - 1 + count > length:
            raise RuntimeError("characters %d to %d are outside a text of %d"
                               % (start, start - 1 + count, length))
        cursor = text.createTextCursor()
        cursor.gotoStart(False)
        cursor.goRight(start - 1, False)
        cursor.goRight(count, True)
        return cursor

    def run(self, op):
        kind = op["op"]
        if kind == "addBlankSlide":
            self.add_slide(op["slide"], LAYOUT_NONE)
        elif kind == "addTitleSlide":
            self.add_slide(op["slide"], LAYOUT_TITLE_ONLY)
        elif kind == "addTextSlide":
            self.add_slide(op["slide"], LAYOUT_TITLE_CONTENT)
        elif kind == "addPicture":
            self.add_picture(op)
        elif kind == "setText":
            self.text_shape(op["slide"], op["target"]).String = op["text"]
        elif kind == "insertText":
            text = self.text_shape(op["slide"], op["target"]).Text
            text.insertString(text.End, op["text"], False)
        elif kind == "insertBreak":
            text = self.text_shape(op["slide"], op["target"]).Text
            text.insertControlCharacter(text.End, PARAGRAPH_BREAK, False)
        elif kind == "setIndentLevel":
            text = self.text_shape(op["slide"], "body").Text
            paragraphs = text.createEnumeration()
            number = 0
            while paragraphs.hasMoreElements():
                paragraph = paragraphs.nextElement()
                number += 1
                if number == op["paragraph"]:
                    # Impress counts outline levels from 0.
                    paragraph.NumberingLevel = max(0, min(8, op["level"] - 1))
                    return
            raise RuntimeError("there is no paragraph %d" % op["paragraph"])
        elif kind == "fontName":
            self.characters(op).CharFontName = op["name"]
        elif kind == "fontSize":
            self.characters(op).CharHeight = float(op["size"])
        elif kind == "italic":
            self.characters(op).CharPosture = uno.Enum(
                "com.sun.star.awt.FontSlant", "ITALIC" if op["on"] else "NONE")
        elif kind == "bold":
            self.characters(op).CharWeight = 150.0 if op["on"] else 100.0
        elif kind == "color":
            self.characters(op).CharColor = op["rgb"]
        elif kind == "baselineOffset":
            cursor = self.characters(op)
            cursor.CharEscapement = max(-100, min(100, int(round(op["offset"] * 100))))
            cursor.CharEscapementHeight = 100
        elif kind == "underline":
            self.characters(op).CharUnderline = 1  # SINGLE
        elif kind == "alignment":
            self.characters(op).ParaAdjust = ADJUST.get(op["alignment"], 0)
        else:
            raise RuntimeError("unknown operation %r" % kind)

    def add_picture(self, op):
        path = op["path"]
        if not os.path.isfile(path):
            raise RuntimeError("the picture %s does not exist" % path)
        slide = self.slide(op["slide"])
        shape = self.document.createInstance("com.sun.star.drawing.GraphicObjectShape")
        slide.add(shape)
        # Embedded, not linked: the presentation must not need the file.
        context = self.context
        provider = context.ServiceManager.createInstanceWithContext(
            "com.sun.star.graphic.GraphicProvider", context)
        shape.Graphic = provider.queryGraphic(
            (prop("URL", uno.systemPathToFileUrl(os.path.abspath(path))),))
        size = uno.createUnoStruct("com.sun.star.awt.Size")
        size.Width, size.Height = hmm(op["width"]), hmm(op["height"])
        position = uno.createUnoStruct("com.sun.star.awt.Point")
        position.X, position.Y = hmm(op["left"]), hmm(op["top"])
        shape.Size = size
        shape.Position = position

    def save(self, path):
        pages = self.pages()
        if pages.Count < 2:
            raise RuntimeError("the presentation has no slides")
        pages.remove(self.placeholder)
        self.placeholder = None
        folder = os.path.dirname(os.path.abspath(path)) or "."
        handle, temporary = tempfile.mkstemp(suffix=".pptx", dir=folder)
        os.close(handle)
        try:
            # Written beside the target and renamed over it once complete.
            self.document.storeToURL(uno.systemPathToFileUrl(temporary),
                                     (prop("FilterName", "Impress MS PowerPoint 2007 XML"),
                                      prop("Overwrite", True)))
            # As a saved file: the one replaced keeps its mode, a new one
            # follows the umask (mkstemp made the temporary file private).
            try:
                mode = stat.S_IMODE(os.stat(path).st_mode)
            except OSError:
                mask = os.umask(0)
                os.umask(mask)
                mode = 0o666 & ~mask
            os.chmod(temporary, mode)
            os.replace(temporary, path)
        finally:
            if os.path.exists(temporary):
                os.unlink(temporary)


def main():
    if len(sys.argv) != 2:
        sys.stderr.write(__doc__)
        return 2
    if uno is None:
        answer(False, "the Python bridge of LibreOffice is missing (%s)" % IMPORT_ERROR)
        return 1
    impress = Impress(sys.argv[1])
    try:
        impress.start()
    except Exception as exc:
        impress.stop()
        answer(False, str(exc))
        return 1
    answer(True, office=impress.process.pid)
    try:
        for line in sys.stdin:
            if not line.strip():
                continue
            try:
                op = json.loads(line)
                if op.get("op") == "quit":
                    answer(True)
                    break
                if op.get("op") == "save":
                    impress.save(op["path"])
                else:
                    impress.run(op)
                answer(True)
            except Exception as exc:
                answer(False, str(exc) or exc.__class__.__name__)
    finally:
        impress.stop()
    return 0


if __name__ == "__main__":
    sys.exit(main())
