#!/usr/bin/env python3
"""End-to-end scenarios: the Win32 executables under Wine against the host
programs on the simulated PC.

Each scenario (tests/wine/scenarios/*.ini) describes one PC (Windows version,
registry, files, folders) and the program runs made on it in order (program,
command-line tail, answers, the events expected). The runner lays that PC out
twice, as a machine folder for the host programs and as a Wine prefix for the
.exe files, runs the programs in both, and then compares:

  - the events of every run (message boxes, the dialog, debug output, sleep,
    restart, exit code) with each other and with the expected ones;
  - every file of the PC's folders byte for byte (class INF, its backup, the
    work file, the driver files), and the expected contents;
  - which of the scenario's registry keys are gone, with each other and with
    the expected deletions.

Wine runs inside one Xvfb display; each scenario gets a fresh prefix (a copy of
a prefix booted once per Wine version inside the same display) with its own
wineserver, stopped through its prefix. Scenarios run in parallel, so their
30-second waits overlap.

Exit status: 0 all passed, 1 some failed, 77 Wine or the executables missing.
"""

import argparse
import concurrent.futures
import configparser
import ctypes
import os
import shutil
import signal
import subprocess
import sys
import tempfile
import struct
import time
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
SKIP = 77
ACTIVE_PREFIXES = set()  # stopped by their wineservers if the runner is stopped itself


# ---------------------------------------------------------------- scenarios

class Run:
    def __init__(self, program, tail, answers, expect):
        self.program, self.tail, self.answers, self.expect = program, tail, answers, expect


class Scenario:
    """One description, read from its .ini file; paths of fixtures are
    relative to the source tree."""

    def __init__(self, path, source):
        cp = configparser.ConfigParser(interpolation=None, comment_prefixes=(";",),
                                       inline_comment_prefixes=None, empty_lines_in_values=False)
        cp.optionxform = str
        with open(path, encoding="utf-8") as f:
            cp.read_file(f)
        self.name = os.path.splitext(os.path.basename(path))[0]
        pc = cp["pc"]
        self.version = pc.get("version", "win98")
        if self.version not in ("win95", "win98", "nt"):
            raise ValueError(f"{path}: version must be win95, win98 or nt")
        self.registry = os.path.join(source, pc["registry"]) if pc.get("registry") else None
        self.files, self.folders, self.pci, machine_pci = [], [], [], []
        if pc.get("machine"):
            machine_pci = self.take_machine(os.path.join(source, pc["machine"]))
        # PCI functions "bus:device.function = vendor:device" as machine.ini
        # lists them; "machine" takes the sample's own.
        for l in lines(pc.get("pci", "")):
            self.pci += machine_pci if l == "machine" else [l.replace(" ", "")]
        if self.pci and self.version == "nt":
            raise ValueError(f"{path}: no PCI devices on nt: Wine's Setup API lists none")
        self.files += [(dos, os.path.join(source, src)) for dos, src in pairs(pc.get("files", ""))]
        self.folders += lines(pc.get("folders", ""))
        self.runs = []
        for section in sorted((s for s in cp.sections() if s.startswith("run ")),
                              key=lambda s: int(s.split()[1])):
            r = cp[section]
            self.runs.append(Run(r["program"], r.get("tail", ""), r.get("answers", ""),
                                 lines(r.get("expect", ""))))
        ex = cp["expect"] if cp.has_section("expect") else {}
        self.expect_files = []
        for dos, what in pairs(ex.get("files", "")):
            words = what.split()
            if words[0] == "absent":
                self.expect_files.append((dos, None, False))
            else:
                self.expect_files.append((dos, os.path.join(source, words[0]), "crlf" in words[1:]))
        # Without a "deleted" line only the two worlds are compared.
        self.expect_deleted = ([key_id(k) for k in lines(ex["deleted"])] if "deleted" in ex else None)


    def take_machine(self, folder):
        """A sample PC folder: its registry and its drives' files and folders.
        Its system folder moves to where Wine keeps it (C:\\WINDOWS\\SYSTEM32);
        its PCI devices stay behind, as Wine shows none."""
        system = "C:\\WINDOWS\\SYSTEM"
        pci, section = [], ""
        ini = os.path.join(folder, "machine.ini")
        if os.path.exists(ini):
            with open(ini, encoding="latin-1") as f:
                for l in f:
                    l = l.split(";")[0].strip()
                    if l.startswith("["):
                        section = l.lower()
                        continue
                    name, _, value = l.partition("=")
                    if section == "[pci]" and value:
                        pci.append(name.strip() + "=" + value.strip())
                    if name.strip().lower() == "system":
                        system = value.strip()
                    if name.strip().lower() == "windows" and value.strip().upper() != "C:\\WINDOWS":
                        raise ValueError(folder + ": the Windows folder must be C:\\WINDOWS")
        if os.path.exists(os.path.join(folder, "registry.reg")):
            self.registry = os.path.join(folder, "registry.reg")
        system_parts = [p.upper() for p in dos_parts(system)[1]]
        for entry in sorted(os.listdir(folder)):
            if not entry.startswith("drive_"):
                continue
            letter, root = entry[len("drive_"):], os.path.join(folder, entry)
            for dirpath, dirnames, filenames in os.walk(root):
                rel = os.path.relpath(dirpath, root)
                parts = [] if rel == "." else rel.split(os.sep)
                if letter == "c" and [p.upper() for p in parts[:len(system_parts)]] == system_parts:
                    parts = ["WINDOWS", "SYSTEM32"] + parts[len(system_parts):]
                dos = letter.upper() + ":\\" + "\\".join(parts)
                self.folders.append(dos)
                for name in filenames:
                    self.files.append((dos.rstrip("\\") + "\\" + name, os.path.join(dirpath, name)))
        return pci


def lines(text):
    return [l.strip() for l in text.splitlines() if l.strip()]


def pairs(text):
    out = []
    for l in lines(text):
        left, _, right = l.partition("=")
        out.append((left.strip(), right.strip()))
    return out


def dos_parts(dos):
    """'C:\\WINDOWS\\INF\\MSHDC.INF' -> ('c', ['WINDOWS', 'INF', 'MSHDC.INF'])"""
    drive, _, rest = dos.partition(":")
    return drive.lower(), [p for p in rest.split("\\") if p]


def file_id(drive, parts):
    return drive + ":\\" + "\\".join(parts).lower()


# ----------------------------------------------------------------- registry

def key_id(path):
    """A key path as compared: case ignored, hives by their long names."""
    p = path.strip().strip("[]").upper()
    for short, long in (("HKLM\\", "HKEY_LOCAL_MACHINE\\"), ("HKCU\\", "HKEY_CURRENT_USER\\")):
        if p.startswith(short):
            p = long + p[len(short):]
    return p


def reg_keys(path):
    """The key paths of a REGEDIT4 or Wine (UTF-16) export, every ancestor
    below the root included."""
    with open(path, "rb") as f:
        data = f.read()
    text = data.decode("utf-16") if data[:2] in (b"\xff\xfe", b"\xfe\xff") else data.decode("latin-1")
    keys = set()
    for line in text.splitlines():
        line = line.strip()
        if line.startswith("[") and line.endswith("]") and not line.startswith("[-"):
            parts = key_id(line).split("\\")
            for n in range(2, len(parts) + 1):
                keys.add("\\".join(parts[:n]))
    return keys


def export_roots(keys):
    """Subtrees to export from Wine and to compare: the scenario's keys cut
    below the first two names (HKLM\\Enum\\PCI), or the first four under
    System (HKLM\\System\\CurrentControlSet\\Services\\Class), so that
    Wine's own keys stay out."""
    def cut(k):
        parts = k.split("\\")
        return "\\".join(parts[:5 if parts[1] == "SYSTEM" else 3])
    roots = sorted({cut(k) for k in keys if len(k.split("\\")) >= 3})
    kept = []
    for r in roots:
        if not any(r.startswith(k + "\\") for k in kept):
            kept.append(r)
    return kept


# ------------------------------------------------------------------- events

def normalise_event(line):
    """What both worlds can observe alike: the dialog by its caption and
    clicks (Wine shows no resource name and no DialogBoxParamA result), and a
    message box without caption under the caption Windows gives it."""
    if line.startswith("dialog "):
        words, out, i = line, [], 0
        # drop name=... and result=... (name and result carry no blanks)
        for w in split_event(words):
            if not (w.startswith("name=") or w.startswith("result=")):
                out.append(w)
        line = " ".join(out)
    if line.startswith("message-box caption=null "):
        line = 'message-box caption="Error" ' + line[len("message-box caption=null "):]
    return line


def split_event(line):
    """Splits an event line at blanks outside quotes."""
    out, cur, quoted, esc = [], "", False, False
    for ch in line:
        if esc:
            cur += ch
            esc = False
        elif ch == "\\" and quoted:
            cur += ch
            esc = True
        elif ch == '"':
            cur += ch
            quoted = not quoted
        elif ch == " " and not quoted:
            out.append(cur)
            cur = ""
        else:
            cur += ch
    out.append(cur)
    return out


# ------------------------------------------------------------------- worlds

def lay_files(root_of_drive, scenario):
    """Writes the scenario's folders and files; root_of_drive(letter) gives the
    host folder of a drive. Components are matched ignoring case, as both
    worlds do."""
    for dos in scenario.folders:
        drive, parts = dos_parts(dos)
        resolve(root_of_drive(drive), parts, make=True)
    for dos, src in scenario.files:
        drive, parts = dos_parts(dos)
        folder = resolve(root_of_drive(drive), parts[:-1], make=True)
        shutil.copyfile(src, os.path.join(folder, parts[-1]))


def resolve(base, parts, make=False):
    path = base
    for p in parts:
        found = None
        if os.path.isdir(path):
            for entry in os.listdir(path):
                if entry.lower() == p.lower():
                    found = entry
                    break
        path = os.path.join(path, found or p)
        if make and not found:
            os.makedirs(path, exist_ok=True)
    return path


def snapshot(drives, contents=True):
    """{file id: bytes} of every file below the drive folders (None for
    every file when the contents are not wanted)."""
    files = {}
    for letter, root in drives.items():
        for dirpath, dirnames, filenames in os.walk(root):
            rel = os.path.relpath(dirpath, root)
            parts = [] if rel == "." else rel.split(os.sep)
            for name in filenames:
                full = os.path.join(dirpath, name)
                if not contents:
                    files[file_id(letter, parts + [name])] = None
                elif os.path.isfile(full):
                    with open(full, "rb") as f:
                        files[file_id(letter, parts + [name])] = f.read()
    return files


class SimWorld:
    def __init__(self, scenario, work, host_bin):
        self.s, self.dir, self.bin = scenario, os.path.join(work, "sim"), host_bin

    def setup(self):
        os.makedirs(self.dir)
        with open(os.path.join(self.dir, "machine.ini"), "w") as f:
            # The folders Wine gives, so that both worlds compose the same paths.
            f.write("[windows]\nversion = %s\nwindows = C:\\windows\nsystem = C:\\windows\\system32\n"
                    "current = A:\\\n" % self.s.version)
            if self.s.pci:
                f.write("[pci]\n" + "".join(p.replace("=", " = ") + "\n" for p in self.s.pci))
        if self.s.registry:
            shutil.copyfile(self.s.registry, os.path.join(self.dir, "registry.reg"))
        self.drive("a")  # the current folder, also when the scenario puts nothing there
        lay_files(self.drive, self.s)

    def drive(self, letter):
        path = os.path.join(self.dir, "drive_" + letter)
        os.makedirs(path, exist_ok=True)
        return path

    def run(self, r):
        cmd = [os.path.join(self.bin, r.program), "--machine", self.dir]
        if r.answers:
            cmd += ["--answers", r.answers]
        cmd += ["--"] + ([r.tail] if r.tail else [])
        try:
            p = subprocess.run(cmd, capture_output=True, text=True, timeout=60, stdin=subprocess.DEVNULL)
        except subprocess.TimeoutExpired:
            return ["timeout"]
        events = [l for l in p.stdout.splitlines() if l and not l.startswith("change ")]
        if p.returncode == 2:
            events.append("machine-error " + p.stderr.strip().replace("\n", " | "))
        return events

    def files(self):
        drives = {n[len("drive_"):]: os.path.join(self.dir, n) for n in os.listdir(self.dir)
                  if n.startswith("drive_")}
        return snapshot(drives)

    def keys(self):
        path = os.path.join(self.dir, "registry.reg")
        return reg_keys(path) if os.path.exists(path) else set()


class WineWorld:
    def __init__(self, scenario, work, env, template, win32_bin, clicker):
        self.s, self.dir = scenario, os.path.join(work, "wine")
        self.prefix = os.path.join(self.dir, "prefix")
        self.env = dict(env, WINEPREFIX=self.prefix)
        self.template, self.bin, self.clicker = template, win32_bin, clicker
        self.runs = 0

    def wine(self, *args, timeout=60):
        return subprocess.run(["wine"] + list(args), env=self.env, capture_output=True,
                              timeout=timeout, stdin=subprocess.DEVNULL)

    def setup(self, input_keys):
        os.makedirs(self.dir)
        copy_prefix(self.template, self.prefix)
        ACTIVE_PREFIXES.add(self.prefix)
        self.drive("a")  # the current folder, also when the scenario puts nothing there
        lay_files(self.drive, self.s)
        tools = os.path.join(self.prefix, "drive_c", "e2e")
        os.makedirs(tools)
        for exe in ("idesetup.exe", "ideremove.exe"):
            shutil.copyfile(os.path.join(self.bin, exe), os.path.join(tools, exe))
        shutil.copyfile(self.clicker, os.path.join(tools, "clicker.exe"))
        # The scenario's registry, and the Windows version Wine reports.
        text = "REGEDIT4\r\n\r\n"
        if self.s.registry:
            with open(self.s.registry, "rb") as f:
                body = f.read().decode("latin-1")
            text += body.split("\n", 1)[1] if body.startswith("REGEDIT4") else body
        version = "winxp" if self.s.version == "nt" else self.s.version
        text += '\r\n[HKEY_CURRENT_USER\\Software\\Wine]\r\n"Version"="%s"\r\n' % version
        reg = os.path.join(self.dir, "import.reg")
        with open(reg, "wb") as f:
            f.write(text.replace("\r\n", "\n").replace("\n", "\r\n").encode("latin-1"))
        p = self.wine("regedit", "/S", to_dos(reg))
        if p.returncode:
            raise RuntimeError("regedit /S failed: " + p.stderr.decode(errors="replace"))

    def drive(self, letter):
        if letter == "c":
            return os.path.join(self.prefix, "drive_c")
        path = os.path.join(self.dir, "drive_" + letter)
        link = os.path.join(self.prefix, "dosdevices", letter + ":")
        if not os.path.exists(path):
            os.makedirs(path)
            if os.path.lexists(link):
                os.remove(link)
            os.symlink(path, link)
        return path

    def run(self, r):
        self.runs += 1
        log = os.path.join(self.prefix, "drive_c", "e2e", "events-%d.txt" % self.runs)
        command = "C:\\e2e\\%s.exe" % r.program + (" " + r.tail if r.tail else "")
        args = ["C:\\e2e\\clicker.exe", "--log", "C:\\e2e\\events-%d.txt" % self.runs,
                "--cwd", "A:\\", "--timeout", "150", "--run", command]
        if r.answers:
            args[1:1] = ["--answers", r.answers]
        if self.s.pci:
            args[1:1] = ["--pci", ",".join(self.s.pci)]
        try:
            p = self.wine(*args, timeout=180)
            with open(os.path.join(self.dir, "run-%d.stderr" % self.runs), "wb") as f:
                f.write(p.stderr)  # the clicker's notes on a crash, for the person reading
        except subprocess.TimeoutExpired:
            self.stop()
            return ["timeout"]
        if not os.path.exists(log):
            return ["no events written"]
        with open(log, encoding="latin-1") as f:
            return [l.rstrip("\r\n") for l in f if l.strip()]

    def files(self):
        drives = {"c": os.path.join(self.prefix, "drive_c")}
        for n in os.listdir(self.dir):
            if n.startswith("drive_"):
                drives[n[len("drive_"):]] = os.path.join(self.dir, n)
        return snapshot(drives)

    def keys(self, roots):
        keys = set()
        for i, root in enumerate(roots):
            out = os.path.join(self.dir, "export-%d.reg" % i)
            p = self.wine("regedit", "/E", to_dos(out), root)
            if p.returncode == 0 and os.path.exists(out):
                keys |= reg_keys(out)
        return keys

    def stop(self):
        subprocess.run(["wineserver", "-k"], env=self.env, capture_output=True, timeout=30)
        ACTIVE_PREFIXES.discard(self.prefix)


def to_dos(path):
    return "Z:" + path.replace("/", "\\")


def copy_prefix(template, prefix):
    """A fresh prefix: the booted template, its files hard-linked (Wine only
    reads them) and its registry files copied (the wineserver rewrites them)."""
    subprocess.run(["cp", "-al", template, prefix], check=True)
    for name in os.listdir(prefix):
        if name.endswith(".reg"):
            os.remove(os.path.join(prefix, name))
            shutil.copyfile(os.path.join(template, name), os.path.join(prefix, name))


# --------------------------------------------------------------- comparison

def compare(s, sim_events, wine_events, sim_files, wine_files, template_files, input_files,
            input_keys, sim_keys, wine_keys):
    problems = []  # (kind, text): kind "differ" (sim against Wine) or "sim"/"wine" (against expected)

    for i, r in enumerate(s.runs):
        se = [normalise_event(e) for e in sim_events[i]]
        we = [normalise_event(e) for e in wine_events[i]]
        if se != we:
            problems.append(("differ", "run %d (%s %s) events:\n%s" % (i + 1, r.program, r.tail,
                                                                     side_by_side(se, we))))
        for world, got in (("sim", se), ("wine", we)):
            if r.expect and got != r.expect:
                problems.append((world, "run %d events, expected:\n%s" % (i + 1, side_by_side(r.expect, got, "expected", world))))

    # Files: every file of either world that the scenario or the programs
    # touched, Wine's own prefix files left out.
    universe = set(sim_files) | set(input_files)
    folders = {f.rsplit("\\", 1)[0] for f in universe}
    for f in wine_files:
        if f.rsplit("\\", 1)[0] in folders and f not in template_files:
            universe.add(f)
    for f in sorted(universe):
        a, b = sim_files.get(f), wine_files.get(f)
        if a != b:
            problems.append(("differ", "file %s: sim %s; wine %s" % (f, describe(a, b), describe(b, a))))
    for dos, src, crlf in s.expect_files:
        drive, parts = dos_parts(dos)
        f = file_id(drive, parts)
        want = None
        if src:
            with open(src, "rb") as fh:
                want = fh.read()
            if crlf:
                want = want.replace(b"\r\n", b"\n").replace(b"\n", b"\r\n")
        for world, files in (("sim", sim_files), ("wine", wine_files)):
            if files.get(f) != want:
                got = files.get(f)
                problems.append((world, "file %s: expected %s; got %s" % (f, describe(want, got), describe(got, want))))

    # Registry: the scenario's keys that are gone.
    sim_gone = {k for k in input_keys if k not in sim_keys}
    wine_gone = {k for k in input_keys if k not in wine_keys}
    for k in topmost(sim_gone ^ wine_gone):
        problems.append(("differ", "key %s: %s in sim, %s under Wine" % (
            k, "deleted" if k in sim_gone else "kept", "deleted" if k in wine_gone else "kept")))
    want_gone = {k for k in input_keys if any(k == d or k.startswith(d + "\\") for d in s.expect_deleted or [])}
    for world, gone in (("sim", sim_gone), ("wine", wine_gone)) if s.expect_deleted is not None else ():
        for k in topmost(want_gone - gone):
            problems.append((world, "key %s: expected deleted, kept" % k))
        for k in topmost(gone - want_gone):
            problems.append((world, "key %s: expected kept, deleted" % k))
    return problems


def topmost(keys):
    """The keys of a set that have no ancestor in it: one line per tree."""
    return [k for k in sorted(keys) if not any(k.startswith(o + "\\") for o in keys)]


def describe(data, other=None):
    """A file's contents for a report: its size, and where it first differs
    from the other side's (line number and that line)."""
    if data is None:
        return "absent"
    text = "%d bytes" % len(data)
    if other is not None:
        n = next((i for i in range(min(len(data), len(other))) if data[i] != other[i]), min(len(data), len(other)))
        line = data.count(b"\n", 0, n) + 1
        start = data.rfind(b"\n", 0, n) + 1
        end = data.find(b"\n", n)
        text += ", line %d: %r" % (line, data[start:end if end >= 0 else len(data)])
    return text


def side_by_side(a, b, left="sim", right="wine"):
    out = []
    for i in range(max(len(a), len(b))):
        x = a[i] if i < len(a) else "(none)"
        y = b[i] if i < len(b) else "(none)"
        mark = "  " if x == y else "! "
        out.append("    %s%s: %s" % (mark, left, x))
        if x != y:
            out.append("    %s%s: %s" % (mark, right, y))
    return "\n".join(out)


# --------------------------------------------------------------- the dialog

def bmp_to_png(bmp, png):
    """A bottom-up 24-bit BMP (what dialogview writes) as an RGB PNG."""
    with open(bmp, "rb") as f:
        data = f.read()
    offset = struct.unpack_from("<I", data, 10)[0]
    width, height = struct.unpack_from("<ii", data, 18)
    stride = (width * 3 + 3) & ~3
    raw = b""
    for y in range(height - 1, -1, -1):
        row = data[offset + y * stride: offset + y * stride + width * 3]
        raw += b"\0" + b"".join(row[x:x + 3][::-1] for x in range(0, width * 3, 3))
    def chunk(kind, body):
        return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body))
    with open(png, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0))
                + chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


def show_dialogs(args, env, template, png_folder=None):
    """Shows each program's DIALOG_COMPLETE from its own resource in a Windows
    98 prefix; returns the problems. With png_folder, keeps the pictures
    there as complete-dialog-<program>.png."""
    work = os.path.join(args.work, "dialogs")
    shutil.rmtree(work, ignore_errors=True)
    os.makedirs(work)
    prefix = os.path.join(work, "prefix")
    copy_prefix(template, prefix)
    e = dict(env, WINEPREFIX=prefix)
    reg = os.path.join(work, "version.reg")
    with open(reg, "w", newline="\r\n") as f:
        # The Windows 98 standard colour scheme for the caption.
        f.write('REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Wine]\n"Version"="win98"\n\n'
                '[HKEY_CURRENT_USER\\Control Panel\\Colors]\n"ActiveTitle"="0 0 128"\n'
                '"GradientActiveTitle"="16 132 208"\n"TitleText"="255 255 255"\n'
                '"InactiveTitle"="128 128 128"\n"GradientInactiveTitle"="192 192 192"\n'
                '"InactiveTitleText"="192 192 192"\n')
    problems = []
    try:
        subprocess.run(["wine", "regedit", "/S", to_dos(reg)], env=e, capture_output=True, timeout=60)
        for program in ("idesetup", "ideremove"):
            bmp = os.path.join(work, program + ".bmp")
            p = subprocess.run(["wine", to_dos(args.dialogview), to_dos(os.path.join(args.win32_bin, program + ".exe")),
                                to_dos(bmp)], env=e, capture_output=True, timeout=60)
            if p.returncode or not os.path.exists(bmp):
                problems.append(("wine", "%s.exe: DIALOG_COMPLETE not shown: %s" % (
                    program, p.stderr.decode(errors="replace").strip())))
            elif png_folder:
                bmp_to_png(bmp, os.path.join(png_folder, "complete-dialog-%s.png" % program))
    except subprocess.TimeoutExpired:
        problems.append(("error", "dialogview timed out"))
    finally:
        subprocess.run(["wineserver", "-k"], env=e, capture_output=True, timeout=30)
    if not problems:
        shutil.rmtree(work, ignore_errors=True)
    return problems


# ------------------------------------------------------------------ running

def run_scenario(s, args, env, template, template_files):
    start = time.time()
    work = os.path.join(args.work, s.name)
    shutil.rmtree(work, ignore_errors=True)
    os.makedirs(work)
    sim = SimWorld(s, work, args.host_bin)
    wine = WineWorld(s, work, env, template, args.win32_bin, args.clicker)
    input_keys = reg_keys(s.registry) if s.registry else set()
    roots = export_roots(input_keys)
    input_keys = {k for k in input_keys if any(k == r or k.startswith(r + "\\") for r in roots)}
    try:
        sim.setup()
        wine.setup(input_keys)
        input_files = set(sim.files())
        sim_events, wine_events = [], []
        for r in s.runs:
            sim_events.append(sim.run(r))
            wine_events.append(wine.run(r))
        wine_keys = wine.keys(roots)
        wine.stop()
        problems = compare(s, sim_events, wine_events, sim.files(), wine.files(), template_files,
                           input_files, input_keys, sim.keys(), wine_keys)
    except Exception as e:  # a broken world is a failed scenario, not a crash of the runner
        wine.stop()
        problems = [("error", "%s: %s" % (type(e).__name__, e))]
    if not args.keep and not problems:
        shutil.rmtree(work, ignore_errors=True)
    return s, problems, time.time() - start


def start_xvfb():
    r, w = os.pipe()
    def die_with_runner():  # even when the runner is killed outright (a time limit)
        try:
            ctypes.CDLL("libc.so.6").prctl(1, signal.SIGTERM)  # PR_SET_PDEATHSIG
        except OSError:
            pass
    xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(w), "-screen", "0", "1024x768x24", "-nolisten", "tcp"],
                            pass_fds=(w,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                            preexec_fn=die_with_runner)
    os.close(w)
    number = b""
    with os.fdopen(r, "rb") as f:
        while not number.endswith(b"\n"):
            ch = f.read(1)
            if not ch:
                raise RuntimeError("Xvfb did not start")
            number += ch
    return xvfb, ":" + number.decode().strip()


def make_template(work, env):
    """A prefix booted once inside this Xvfb session (a prefix first booted
    without a display makes MessageBoxA fail at once), with no window manager
    to wait for and no crash dialog."""
    template = os.path.join(work, "template")
    shutil.rmtree(template, ignore_errors=True)
    e = dict(env, WINEPREFIX=template)
    subprocess.run(["wineboot", "-i"], env=e, capture_output=True, timeout=300, check=True)
    # Wine's own fonts (MS Sans Serif, Marlett for the caption buttons), where
    # this Wine does not find them by itself.
    fonts = resolve(os.path.join(template, "drive_c"), ["windows", "Fonts"], make=True)
    for folder in ("/usr/share/wine/fonts", "/usr/lib/wine/fonts", "/opt/wine/share/wine/fonts"):
        if os.path.isdir(folder):
            for name in os.listdir(folder):
                if not os.path.exists(os.path.join(fonts, name)):
                    os.symlink(os.path.join(folder, name), os.path.join(fonts, name))
            break
    reg = os.path.join(work, "template.reg")
    with open(reg, "w", newline="\r\n") as f:
        f.write("REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Wine\\X11 Driver]\n\"Managed\"=\"N\"\n\n"
                "[HKEY_CURRENT_USER\\Software\\Wine\\WineDbg]\n\"ShowCrashDialog\"=dword:00000000\n")
    subprocess.run(["wine", "regedit", "/S", to_dos(reg)], env=e, capture_output=True, timeout=120, check=True)
    subprocess.run(["wineserver", "-w"], env=e, capture_output=True, timeout=120)
    return template


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("--source", default=os.path.dirname(os.path.dirname(HERE)), help="source tree")
    ap.add_argument("--host-bin", required=True, help="folder of the host idesetup and ideremove")
    ap.add_argument("--win32-bin", required=True, help="folder of idesetup.exe and ideremove.exe")
    ap.add_argument("--clicker", required=True, help="clicker.exe")
    ap.add_argument("--dialogview", required=True, help="dialogview.exe")
    ap.add_argument("--screenshots", help="save the dialogs' pictures in this folder (docs/)")
    ap.add_argument("--only-dialogs", action="store_true", help="show the dialogs, run no scenario")
    ap.add_argument("--work", default=os.path.join(tempfile.gettempdir(), "ide-wine-e2e"))
    ap.add_argument("--jobs", type=int, default=8, help="scenarios at once (they mostly wait)")
    ap.add_argument("--keep", action="store_true", help="keep the worlds of passing scenarios")
    ap.add_argument("names", nargs="*", help="scenarios to run (default: all)")
    args = ap.parse_args()
    for a in ("host_bin", "win32_bin", "clicker", "dialogview", "work"):
        setattr(args, a, os.path.abspath(getattr(args, a)))

    missing = [t for t in ("wine", "wineserver", "wineboot", "Xvfb") if not shutil.which(t)]
    for f in (os.path.join(args.win32_bin, "idesetup.exe"), os.path.join(args.win32_bin, "ideremove.exe"),
              args.clicker, args.dialogview, os.path.join(args.host_bin, "idesetup"), os.path.join(args.host_bin, "ideremove")):
        if not os.path.exists(f):
            missing.append(f)
    if missing:
        print("skipped: missing " + ", ".join(missing) + " (scripts/install-wine.sh installs Wine and Xvfb)")
        return SKIP

    folder = os.path.join(HERE, "scenarios")
    names = args.names or sorted(n[:-4] for n in os.listdir(folder) if n.endswith(".ini"))
    scenarios = [] if args.only_dialogs else [Scenario(os.path.join(folder, n + ".ini"), args.source)
                                              for n in names]

    os.makedirs(args.work, exist_ok=True)
    started = time.time()
    # A stop from outside (ctest's time limit) still ends Xvfb and the wineservers.
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(1))
    xvfb, display = start_xvfb()
    try:
        env = dict(os.environ, DISPLAY=display, WINEDEBUG="-all", WINEARCH="win32",
                   WINEDLLOVERRIDES="mscoree,mshtml=")
        env.pop("WINEPREFIX", None)
        template = make_template(args.work, env)
        template_files = set(snapshot({"c": os.path.join(template, "drive_c")}, contents=False))
        print("wine prefix booted in %.0fs" % (time.time() - started), flush=True)
        failed = 0
        total = len(scenarios) + 1
        with concurrent.futures.ThreadPoolExecutor(max_workers=args.jobs) as pool:
            jobs = [pool.submit(run_scenario, s, args, env, template, template_files) for s in scenarios]
            seconds = time.time()
            problems = show_dialogs(args, env, template, args.screenshots)
            print("%s completion-dialogs (%.0fs)" % ("FAIL" if problems else "PASS", time.time() - seconds), flush=True)
            for kind, text in problems:
                print("  %s: %s" % (kind, text))
            failed += bool(problems)
            for job in concurrent.futures.as_completed(jobs):
                s, problems, seconds = job.result()
                print("%s %s (%.0fs)" % ("FAIL" if problems else "PASS", s.name, seconds), flush=True)
                for kind, text in problems:
                    label = {"differ": "sim and Wine differ", "sim": "sim against expected",
                             "wine": "Wine against expected", "error": "error"}[kind]
                    print("  %s: %s" % (label, text))
                failed += bool(problems)
    finally:
        for prefix in list(ACTIVE_PREFIXES):
            subprocess.run(["wineserver", "-k"], env=dict(os.environ, WINEPREFIX=prefix),
                           capture_output=True, timeout=30)
        xvfb.terminate()
        xvfb.wait()
        shutil.rmtree(os.path.join(args.work, "template"), ignore_errors=True)
    print("wine scenarios: %.0fs" % (time.time() - started))
    print("%d passed, %d failed" % (total - failed, failed))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
