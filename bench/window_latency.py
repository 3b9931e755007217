#!/usr/bin/env python3
"""window_latency: how fast the real quillmere window answers its user, on a real X server.

usage: bench/window_latency.py BINARY [--sizes 100000,1000000,5000000] [--repeat 5]
                               [--big 20000000] [--encodes 20] [--timeout 120]

Starts its own Xvfb (a free display, found with -displayfd) and BINARY on it, types the access
code, pastes a 100-character message into Text2 and then, for each cover size, a German prose
cover made from the fortunes-de files (CR LF line breaks) into Text1. It drives the window with
XTest input and owns the CLIPBOARD itself. Each action is timed from the X input event that
triggers it (a key press, or the release of a mouse button) to the program's answer:

  answer  Right behind the trigger the benchmark maps and unmaps a 1x1 window over a pixel of the
          form that no control covers. The X server queues the Expose this causes behind the
          trigger's input events, so the program repaints that pixel only once it has handled the
          action and is back in its event loop; the DamageNotify of that pixel is the answer.
  cpu     CPU time of the program's GUI thread over the same stretch (from /proc, schedstat):
          what the action cost, less disturbed by other work on the machine than the wall time.

Actions, in this order in each run: ctrl+a in Text1 (which holds the text of the run before),
ctrl+v of the whole cover over that selection, one "x" typed at the end, a click on
"verschlüsseln" (encode) and one on "entschlüsseln" (decode). Every title is checked. Printed:
medians (and maxima) per size and action, VmRSS after each size, the window's start-up time and
memory at rest, the paste, encode and decode of a --big cover (0 skips it), and --encodes encodes
in a row of a long message on the largest cover with the growth of VmRSS next to what the changed
stretches of the cover take. Exit status 0 when every check passed, 1 when one failed, 2 when the
set-up failed (no Xvfb, python3-xlib or fortunes-de).
"""

import argparse
import glob
import os
import select
import signal
import statistics
import subprocess
import sys
import tempfile
import time

try:
    from Xlib import X, XK, display as xdisplay, error as xerror
except ImportError:  # python3-xlib comes from Debian: a Python of its own may not see it
    sys.path.append("/usr/lib/python3/dist-packages")
    from Xlib import X, XK, display as xdisplay, error as xerror
from Xlib.ext import damage, xtest  # noqa: F401  (importing damage registers its events)
from Xlib.protocol import event as xevent

INITIAL_TITLE = "Verschlüsselungsdemo"
ACCESS_CODE = "TULPEN"
# 100 characters, all in Windows-1252.
MESSAGE = ("Treffen am Dienstag um acht Uhr beim alten Brunnen hinter der Mühle; bitte "
           "bring die Karte und Öl mit! ")[:100]
TWIPS_PER_PIXEL = 15
# Where the window's layout puts the controls the benchmark uses: left, top, width, height in
# twips (window/form1_layout.hpp).
CONTROLS = {
    "Text1": (120, 60, 3612, 1752),
    "Text2": (1800, 2220, 1632, 228),
    "Text3": (780, 2820, 972, 228),
    "Command1": (120, 2520, 1632, 252),  # "entschlüsseln": decode
    "Command2": (120, 2220, 1632, 252),  # "verschlüsseln": encode
}
PROBE = (245, 206)         # a pixel of the 250x210 px form that no control covers
CHUNK = 240 * 1024         # bytes per step of an INCR transfer (requests stay below 256 KB)
ACTIONS = ("ctrl+a", "paste (ctrl+v)", "one key", "encode", "decode")
MAX_TITLE = 1_000_000      # the window cuts longer titles and appends "…"

now = time.monotonic


class SetupError(Exception):
    pass


def bits_of(text):
    return "".join(format(byte, "08b") for byte in text.encode("cp1252"))


def title_for(bits):
    return bits if len(bits) <= MAX_TITLE else bits[:MAX_TITLE] + "\u2026"


def fortune_prose():
    """The German fortunes as one text: CR LF after every line, an empty line between two
    fortunes, only characters of Windows-1252 and no U+00A0 or U+0000."""
    lines = []
    for path in sorted(glob.glob("/usr/share/games/fortunes/de/*")):
        if path.endswith((".dat", ".u8")) or not os.path.isfile(path):
            continue
        with open(path, "rb") as source:
            for line in source.read().decode("utf-8", "replace").split("\n"):
                line = "" if line == "%" else line.replace("\r", "").replace("\0", "")
                line = line.replace("\u00a0", " ")
                lines.append(line.encode("cp1252", "replace").decode("cp1252"))
    prose = "\r\n".join(lines) + "\r\n"
    if len(prose) < 100_000:
        raise SetupError("the German fortunes are missing: apt-get install fortunes-de")
    return prose


def make_cover(prose, size):
    cover = (prose * (size // len(prose) + 1))[:size]
    return cover[:-1] + "." if cover.endswith("\r") else cover


def median_max(values):
    return statistics.median(values), max(values)


class Window:
    """The program under test on its own Xvfb, and the X client that drives and watches it."""

    def __init__(self, binary, timeout):
        self.binary = os.path.abspath(binary)
        self.timeout = timeout
        self.logs = tempfile.mkdtemp(prefix="window-latency-")
        self.xvfb = self.program = self.d = self.form = None
        self.probe_sent = self.probe_answered = None
        self.stamps = []
        self.incr = {}
        self.clipboard = b""
        self.requests = 0

    # -------------------------------------------------------------- start and stop
    def start_xvfb(self):
        read_end, write_end = os.pipe()
        log = open(os.path.join(self.logs, "xvfb.log"), "wb")
        try:
            self.xvfb = subprocess.Popen(
                ["Xvfb", "-displayfd", str(write_end), "-nolisten", "tcp", "-screen", "0",
                 "1024x768x24", "-dpi", "96"], pass_fds=(write_end,), stdin=subprocess.DEVNULL,
                stdout=log, stderr=log, start_new_session=True)
        except FileNotFoundError:
            raise SetupError("Xvfb not found: apt-get install xvfb")
        os.close(write_end)
        number = b""
        deadline = now() + 20
        while not number.endswith(b"\n"):
            if now() > deadline or self.xvfb.poll() is not None:
                raise SetupError("Xvfb did not start (see %s)" % log.name)
            if select.select([read_end], [], [], 0.5)[0]:
                chunk = os.read(read_end, 16)
                if not chunk:
                    raise SetupError("Xvfb did not say its display (see %s)" % log.name)
                number += chunk
        os.close(read_end)
        self.display_name = ":" + number.decode().strip()

    def connect(self):
        self.d = xdisplay.Display(self.display_name)
        self.d.set_error_handler(lambda *args: None)
        for extension in ("XTEST", "DAMAGE"):
            if not self.d.has_extension(extension):
                raise SetupError("the X server has no " + extension)
        self.d.damage_query_version()
        self.damage_event = self.d.query_extension("DAMAGE").first_event
        self.root = self.d.screen().root
        self.root.change_attributes(event_mask=X.SubstructureNotifyMask)
        self.me = self.root.create_window(-10, -10, 1, 1, 0, X.CopyFromParent,
                                          override_redirect=True,
                                          event_mask=X.PropertyChangeMask)
        self.atoms = {name: self.d.intern_atom(name) for name in (
            "_NET_WM_NAME", "UTF8_STRING", "CLIPBOARD", "TARGETS", "TIMESTAMP", "INCR", "ATOM",
            "INTEGER", "STRING", "TEXT", "text/plain;charset=utf-8", "WM_PROTOCOLS",
            "WM_DELETE_WINDOW", "_WINDOW_LATENCY_TIME")}

    def start_program(self):
        """Starts the program; returns the ms until its window is mapped and until it first
        answers (painted and idle)."""
        environment = dict(os.environ, DISPLAY=self.display_name, QT_QPA_PLATFORM="xcb")
        environment.pop("WAYLAND_DISPLAY", None)
        environment.setdefault("LANG", "C.UTF-8")
        log = open(os.path.join(self.logs, "program.log"), "wb")
        started = now()
        self.program = subprocess.Popen([self.binary], env=environment, stdin=subprocess.DEVNULL,
                                        stdout=log, stderr=log, start_new_session=True)
        self.pump(lambda: self.form is not None, self.timeout, watch_maps=True)
        if self.form is None:
            raise SetupError("no window titled %r appeared" % INITIAL_TITLE)
        mapped = now() - started
        geometry = self.form.get_geometry()
        origin = self.root.translate_coords(self.form, 0, 0)
        self.origin = (origin.x, origin.y)
        self.size = (geometry.width, geometry.height)
        self.form.damage_create(damage.DamageReportRawRectangles)
        self.probe = self.root.create_window(self.origin[0] + PROBE[0],
                                             self.origin[1] + PROBE[1], 1, 1, 0,
                                             X.CopyFromParent, override_redirect=True)
        self.d.set_input_focus(self.form, X.RevertToPointerRoot, X.CurrentTime)
        if self.idle() is None:
            raise SetupError("the window does not repaint an exposed pixel")
        return mapped * 1000, (now() - started) * 1000

    def close(self):
        if self.program is not None and self.program.poll() is None:
            try:
                self.form.send_event(xevent.ClientMessage(
                    window=self.form, client_type=self.atoms["WM_PROTOCOLS"],
                    data=(32, [self.atoms["WM_DELETE_WINDOW"], X.CurrentTime, 0, 0, 0])))
                self.d.flush()
                self.program.wait(5)
            except Exception:  # the program is stuck or the connection is gone
                pass
            if self.program.poll() is None:
                os.killpg(self.program.pid, signal.SIGKILL)
                self.program.wait()
        if self.xvfb is not None and self.xvfb.poll() is None:
            self.xvfb.terminate()
            try:
                self.xvfb.wait(5)
            except subprocess.TimeoutExpired:
                self.xvfb.kill()
                self.xvfb.wait()

    # -------------------------------------------------------------- events
    def pump(self, done, limit, watch_maps=False):
        deadline = now() + limit
        while True:
            while self.d.pending_events():
                self.handle(self.d.next_event(), watch_maps)
            if done():
                return True
            if self.program is not None and self.program.poll() is not None:
                raise SetupError("the program exited with status %d" % self.program.returncode)
            left = deadline - now()
            if left <= 0:
                return False
            select.select([self.d.fileno()], [], [], min(left, 0.2))
            self.d.pending_events()  # reads what arrived

    def handle(self, event, watch_maps):
        if event.type == self.damage_event:
            area = event.area
            if (self.probe_sent is not None and self.probe_answered is None
                    and area.x <= PROBE[0] < area.x + area.width
                    and area.y <= PROBE[1] < area.y + area.height):
                self.probe_answered = now()
        elif event.type == X.MapNotify and watch_maps and self.form is None:
            try:
                name = event.window.get_full_property(self.atoms["_NET_WM_NAME"], 0)
            except xerror.XError:
                return
            if name is not None and bytes(name.value).decode("utf-8", "replace") == INITIAL_TITLE:
                self.form = event.window
        elif event.type == X.PropertyNotify:
            if event.window.id == self.me.id and event.atom == self.atoms["_WINDOW_LATENCY_TIME"]:
                self.stamps.append(event.time)
            elif event.state == X.PropertyDelete and (event.window.id, event.atom) in self.incr:
                self.send_next_chunk(event.window.id, event.atom)
        elif event.type == X.SelectionRequest:
            self.serve(event)

    def idle(self, limit=None):
        """Seconds until the program has handled everything sent before and repainted the probe
        pixel; None when it does not within `limit`."""
        self.send_probe()
        start = now()
        self.d.flush()
        if self.pump(lambda: self.probe_answered is not None, limit or self.timeout):
            return self.probe_answered - start
        return None

    def must_idle(self, after):
        if self.idle() is None:
            raise SetupError("the program did not answer within %d s after %s"
                             % (self.timeout, after))

    def send_probe(self):
        self.probe_sent, self.probe_answered = now(), None
        self.probe.map()
        self.probe.unmap()

    # -------------------------------------------------------------- the clipboard
    def server_time(self):
        count = len(self.stamps)
        self.me.change_property(self.atoms["_WINDOW_LATENCY_TIME"], self.atoms["STRING"], 8, b"",
                                mode=X.PropModeAppend)
        self.d.flush()
        self.pump(lambda: len(self.stamps) > count, 10)
        return self.stamps[-1] if len(self.stamps) > count else X.CurrentTime

    def own_clipboard(self, text):
        self.clipboard = text.encode("utf-8")
        self.clipboard_latin = text.encode("latin-1", "replace")
        self.clipboard_time = self.server_time()
        self.me.set_selection_owner(self.atoms["CLIPBOARD"], self.clipboard_time)
        if self.d.get_selection_owner(self.atoms["CLIPBOARD"]) != self.me:
            raise SetupError("could not own the CLIPBOARD")

    def serve(self, request):
        requestor = self.d.create_resource_object("window", request.requestor.id)
        target, prop = request.target, request.property or request.target
        texts = (self.atoms["UTF8_STRING"], self.atoms["text/plain;charset=utf-8"],
                 self.atoms["TEXT"], self.atoms["STRING"])
        if request.selection != self.atoms["CLIPBOARD"] or request.owner.id != self.me.id:
            prop = X.NONE
        elif target == self.atoms["TARGETS"]:
            requestor.change_property(prop, self.atoms["ATOM"], 32,
                                      [self.atoms["TARGETS"], self.atoms["TIMESTAMP"], *texts])
        elif target == self.atoms["TIMESTAMP"]:
            requestor.change_property(prop, self.atoms["INTEGER"], 32, [self.clipboard_time])
        elif target in texts:
            self.requests += 1
            data = self.clipboard_latin if target == self.atoms["STRING"] else self.clipboard
            kind = self.atoms["UTF8_STRING"] if target == self.atoms["TEXT"] else target
            if len(data) > CHUNK:  # too large for one request: an INCR transfer
                requestor.change_attributes(event_mask=X.PropertyChangeMask)
                self.incr[(requestor.id, prop)] = [kind, data, 0]
                requestor.change_property(prop, self.atoms["INCR"], 32, [len(data)])
            else:
                requestor.change_property(prop, kind, 8, data)
        else:
            prop = X.NONE
        requestor.send_event(xevent.SelectionNotify(
            time=request.time, requestor=request.requestor.id, selection=request.selection,
            target=target, property=prop))
        self.d.flush()

    def send_next_chunk(self, window, prop):
        kind, data, offset = self.incr[(window, prop)]
        chunk = data[offset:offset + CHUNK]
        self.d.create_resource_object("window", window).change_property(prop, kind, 8, chunk)
        self.d.flush()
        if chunk:
            self.incr[(window, prop)][2] = offset + len(chunk)
        else:  # the empty chunk ends the transfer
            del self.incr[(window, prop)]

    # -------------------------------------------------------------- input
    def keycode(self, name):
        code = self.d.keysym_to_keycode(XK.string_to_keysym(name))
        if not code:
            raise SetupError("no key for " + name)
        return code

    def key_press(self, name, modifier=None):
        if modifier:
            xtest.fake_input(self.d, X.KeyPress, self.keycode(modifier))
        xtest.fake_input(self.d, X.KeyPress, self.keycode(name))

    def key_release(self, name, modifier=None):
        xtest.fake_input(self.d, X.KeyRelease, self.keycode(name))
        if modifier:
            xtest.fake_input(self.d, X.KeyRelease, self.keycode(modifier))

    def key(self, name, modifier=None):
        self.key_press(name, modifier)
        self.key_release(name, modifier)

    def press(self, control):
        left, top, width, height = CONTROLS[control]
        x = self.origin[0] + round((left + width / 2) / TWIPS_PER_PIXEL)
        y = self.origin[1] + round((top + height / 2) / TWIPS_PER_PIXEL)
        xtest.fake_input(self.d, X.MotionNotify, x=x, y=y)
        xtest.fake_input(self.d, X.ButtonPress, 1)

    def click(self, control):
        self.press(control)
        xtest.fake_input(self.d, X.ButtonRelease, 1)
        self.must_idle("a click on " + control)

    def type_text(self, text):
        for ch in text:
            self.key(ch.lower(), "Shift_L" if ch.isupper() else None)
        self.must_idle("typing")

    def paste_into(self, control, text):
        self.own_clipboard(text)
        self.click(control)
        self.key("a", "Control_L")
        self.key("v", "Control_L")
        self.must_idle("a paste into " + control)

    def title(self):
        prop = self.form.get_full_property(self.atoms["_NET_WM_NAME"], 0)
        return bytes(prop.value).decode("utf-8", "replace") if prop else ""

    def memory(self):
        fields = {}
        with open("/proc/%d/status" % self.program.pid) as status:
            for line in status:
                if line.startswith(("VmRSS:", "VmHWM:")):
                    fields[line.split(":")[0]] = int(line.split()[1]) / 1024
        return fields

    def cpu(self):
        with open("/proc/%d/task/%d/schedstat" % (self.program.pid, self.program.pid)) as stat:
            return int(stat.read().split()[0]) / 1e6

    # -------------------------------------------------------------- one measurement
    def measure(self, trigger, release=None):
        """Sends the trigger with the probe right behind it; returns (answer, cpu) in ms."""
        cpu_before = self.cpu()
        trigger()
        self.send_probe()
        if release:
            release()
        start = now()
        self.d.flush()
        if not self.pump(lambda: self.probe_answered is not None, self.timeout):
            raise SetupError("the program did not answer within %d s" % self.timeout)
        return (self.probe_answered - start) * 1000, self.cpu() - cpu_before

    def measure_key(self, name, modifier=None):
        return self.measure(lambda: self.key_press(name, modifier),
                            lambda: self.key_release(name, modifier))

    def measure_click(self, control):
        self.press(control)
        self.must_idle("pressing " + control)
        return self.measure(lambda: xtest.fake_input(self.d, X.ButtonRelease, 1))

    def measure_paste(self, cover):
        """Selects all of Text1 and pastes `cover` over it; returns the two measurements."""
        self.own_clipboard(cover)
        self.click("Text1")
        select_all = self.measure_key("a", "Control_L")
        requests = self.requests
        paste = self.measure_key("v", "Control_L")
        if self.requests == requests:
            raise SetupError("the paste did not fetch the clipboard")
        return select_all, paste


def changed_stretches(cover, bits, rounds):
    """Simulates `rounds` encodes of `bits` on `cover`; returns the number of gaps they change
    and the characters from the first to the last changed gap of each, summed."""
    spaces = [i for i, ch in enumerate(cover) if ch == " "]
    changed = span = 0
    for _ in range(rounds):
        used, rest = spaces[:len(bits)], spaces[len(bits):]
        ones = [position for position, bit in zip(used, bits) if bit == "1"]
        spaces = [position for position, bit in zip(used, bits) if bit == "0"] + rest
        changed += len(ones)
        span += ones[-1] - ones[0] + 1 if ones else 0
    return changed, span


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("binary", help="the window program, e.g. build/default/window/quillmere")
    parser.add_argument("--sizes", default="100000,1000000,5000000",
                        help="cover sizes in characters (default 100000,1000000,5000000)")
    parser.add_argument("--repeat", type=int, default=5, help="runs per size (default 5)")
    parser.add_argument("--big", type=int, default=20_000_000,
                        help="characters of the big cover, 0 for none (default 20000000)")
    parser.add_argument("--encodes", type=int, default=20,
                        help="encodes in a row on the largest cover, 0 for none (default 20)")
    parser.add_argument("--timeout", type=int, default=120, help="seconds per wait")
    args = parser.parse_args()
    sizes = [int(size) for size in args.sizes.split(",") if size]
    if not os.access(args.binary, os.X_OK):
        print("window_latency: not a program: " + args.binary, file=sys.stderr)
        return 2
    with open("/proc/loadavg") as load:
        print("# loadavg before: " + load.read().strip())
    window = Window(args.binary, args.timeout)
    failures = []
    try:
        prose = fortune_prose()
        window.start_xvfb()
        window.connect()
        mapped, answered = window.start_program()
        rest = window.memory()["VmRSS"]
        print("# display %s, window %dx%d px; start-up: mapped after %.0f ms, first answer after "
              "%.0f ms; at rest VmRSS %.1f MiB" % (window.display_name, window.size[0],
                                                   window.size[1], mapped, answered, rest))
        bare = [window.idle() * 1000 for _ in range(10)]
        print("# the probe with no action: median %.2f ms, max %.2f ms" % median_max(bare))

        window.click("Text3")
        window.type_text(ACCESS_CODE)
        window.paste_into("Text2", MESSAGE)
        message_bits = bits_of(MESSAGE)

        results = {}
        for size in sizes:
            cover = make_cover(prose, size)
            gaps = cover.count(" ")
            runs = {action: [] for action in ACTIONS}
            for _ in range(args.repeat):
                select_all, paste = window.measure_paste(cover)
                runs["ctrl+a"].append(select_all)
                runs["paste (ctrl+v)"].append(paste)
                window.key("End", "Control_L")
                window.must_idle("ctrl+End")
                runs["one key"].append(window.measure_key("x"))
                runs["encode"].append(window.measure_click("Command2"))
                if window.title() != title_for(message_bits):
                    failures.append("size %d: encode did not show the message's bits" % size)
                runs["decode"].append(window.measure_click("Command1"))
                if window.title() != title_for((message_bits + "0" * gaps)[:gaps]):
                    failures.append("size %d: decode did not show one bit per gap" % size)
            results[size] = (runs, window.memory())
            sys.stdout.flush()

        print("\nmedians of %d runs, ms from the input event to the program's answer "
              "(in brackets: CPU ms of the GUI thread)" % args.repeat)
        print("| cover | %s | memory (VmRSS) |" % " | ".join(ACTIONS))
        print("|---|%s---|" % ("---|" * len(ACTIONS)))
        for size, (runs, memory) in results.items():
            cells = ["%.1f (%.1f)" % (statistics.median(r[0] for r in runs[action]),
                                      statistics.median(r[1] for r in runs[action]))
                     for action in ACTIONS]
            print("| %s | %s | %.0f MB (peak %.0f) |" % (
                "%g MB" % (size / 1e6) if size >= 1_000_000 else "%g KB" % (size / 1e3),
                " | ".join(cells), memory["VmRSS"], memory["VmHWM"]))
        print("maxima: " + "; ".join("%d: %s" % (size, ", ".join(
            "%s %.1f" % (action, max(r[0] for r in runs[action])) for action in ACTIONS))
            for size, (runs, _) in results.items()))

        if args.encodes and sizes:
            size = max(sizes)
            cover = make_cover(prose, size)
            long_message = cover.replace("\r\n", " ")[:10_000]
            long_bits = bits_of(long_message)
            window.paste_into("Text2", long_message)
            window.paste_into("Text1", cover)
            before = window.memory()["VmRSS"]
            times = [window.measure_click("Command2")[0] for _ in range(args.encodes)]
            if window.title() != title_for(long_bits):
                failures.append("the encodes in a row did not show the long message's bits")
            after = window.memory()["VmRSS"]
            changed, span = changed_stretches(cover, long_bits, args.encodes)
            print("\n%d encodes in a row of a %d-character message on the %d-character cover: "
                  "median %.1f ms, max %.1f ms; VmRSS %.0f -> %.0f MiB (+%.1f MiB); they change "
                  "%d gaps, in stretches (first to last changed gap) of %.1f MiB in UTF-16"
                  % (args.encodes, len(long_message), size, statistics.median(times),
                     max(times), before, after, after - before, changed, span * 2 / 2**20))
            window.paste_into("Text2", MESSAGE)

        if args.big:
            cover = make_cover(prose, args.big)
            gaps = cover.count(" ")
            select_all, paste = window.measure_paste(cover)
            encode = window.measure_click("Command2")
            if window.title() != title_for(message_bits):
                failures.append("big cover: encode did not show the message's bits")
            decode = window.measure_click("Command1")
            if window.title() != title_for((message_bits + "0" * gaps)[:gaps]):
                failures.append("big cover: decode did not show its title")
            memory = window.memory()
            print("\n%d-character cover: ctrl+a %.1f ms, paste %.1f ms (cpu %.1f), encode %.1f "
                  "ms, decode %.1f ms; VmRSS %.0f MiB (peak %.0f)"
                  % (args.big, select_all[0], paste[0], paste[1], encode[0], decode[0],
                     memory["VmRSS"], memory["VmHWM"]))
    except SetupError as problem:
        print("window_latency: %s" % problem, file=sys.stderr)
        return 2
    finally:
        window.close()
        with open("/proc/loadavg") as load:
            print("# loadavg after: " + load.read().strip())
    for failure in failures:
        print("FAILED: " + failure)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
