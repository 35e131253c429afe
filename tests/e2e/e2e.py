"""End-to-end tests of Brenthaul.exe under Wine (started by tests/e2e/run.sh).

The exe runs in a fresh Wine prefix with one persistent wineserver. Its commands run through
Wine's cmd, which finds the stand-ins robocopy.exe and rm.exe first on the search path
(WINEPATH). Each stand-in appends the arguments it received to a log file; the tests read that
log to see exactly which commands ran, in which order, with which arguments. Under Wine 8
GetUserNameW returns the Unix variable USER, so the tests vary the profile paths through USER.
Debug-mode message boxes are tested under an Xvfb server of their own.

Wine's ReportEventW records nothing, but with WINEDEBUG=+eventlog it prints the event's string
(err:eventlog for an error, warn:eventlog for a warning), and with fixme+advapi the call with its
type and id just before; the event tests read both from standard error. Wine shows at most about
300 characters of the string, so those tests check each text's beginning; the unit tests check
the whole texts. Wine sets LOCALAPPDATA and APPDATA for the user the persistent wineserver
started with (USER=e2e), whatever USER a later run has: for any other user the tool's roots are
not Windows' folders, and every transfer records that warning.
"""

import argparse
import os
import random
import re
import shutil
import signal
import subprocess
import sys
import time
import traceback

WINE_TIMEOUT = 60  # seconds; a run that hangs (a box nobody closes) fails its test
BOX_TIMEOUT = 30

# What Wine prints of an event: "fixme:advapi:ReportEventW (handle,0xTYPE,0xCATEGORY,0xID,..."
# for the call, then "err:eventlog:ReportEventW L"text"" (a warning: warn:) for its string.
EVENT_DEBUG = "-all,+eventlog,fixme+advapi"
EVENT_CALL = re.compile(r"^([0-9a-f]+):fixme:advapi:ReportEventW \([0-9A-Fa-f]+,0x([0-9a-f]+),"
                        r"0x[0-9a-f]+,0x([0-9a-f]+),")
EVENT_TEXT = re.compile(r'^([0-9a-f]+):(err|warn):eventlog:ReportEventW L"(.*)"(\.\.\.)?$')
WINE_DEBUG_LINE = re.compile(r"^[0-9a-f]+:(fixme|err|warn|trace):")
ERROR = 1  # EVENTLOG_ERROR_TYPE
WARNING = 2  # EVENTLOG_WARNING_TYPE
EVENT_MIRROR_FAILED = 101
EVENT_REMOVAL_FAILED = 102
EVENT_BAD_PACKAGE_ID = 201
EVENT_NOT_USABLE = 202
EVENT_BAD_COMMAND_LINE = 203
EVENT_ROOTS_NOT_OWN = 301
WINE_USER = "e2e"  # the user the wineserver starts with: Wine's folders are this user's

PKG = "6f2b8a2e-3d41-4c5e-9a7b-0c1d2e3f4a5b"
PKG2 = "0A1B2C3D-4E5F-6071-8293-A4B5C6D7E8F9"
SWITCHES = ["/MIR", "/NS", "/NC", "/NFL", "/NDL", "/NP"]

USAGE = (
    b"\r\n"
    b"Brenthaul:  Tool for use in App-V 5 scripting to save application data redirected to the "
    b"local profile to a roaming/homedrive location and back.\r\n"
    b"\r\n"
    b"--- Single App use ---\r\n"
    b"Brenthaul [/debug] [/save] [/restore] [/cleansave] [/cleanrestore] PkgGuidWithoutBrackets\r\n"
    b"  Saves or restores application related data from isolated non-roaming locations\r\n"
    b"  to use roaming locations under App - V 5 and above for the identified package.\r\n"
    b"  Used in App - V VE start / stop scripts.\r\n"
    b"\r\n"
    b"--- All App use ---\r\n"
    b"Brenthaul [/saveall] [/restoreall] [/cleansaveall] [/cleanrestoreall] \r\n"
    b"  Saves or restores application related data isolated non-roaming locations to\r\n"
    b"  use roaming locations under App-V 5 and above for all user packages.\r\n"
    b"  Used with App-V for logon / off scripts.\r\n"
    b"\r\n"
)


class Failure(Exception):
    pass


def check(condition, message):
    if not condition:
        raise Failure(message)


def windows_path(unix_path):
    """The Windows name of a Unix path, through Wine's Z: drive."""
    return "Z:" + os.path.abspath(unix_path).replace("/", "\\")


# ---------------------------------------------------------------------------------------------
# Wine


class Wine:
    def __init__(self, args):
        self.work = args.work
        self.prefix = os.path.join(args.work, "prefix")
        self.bin = os.path.join(args.work, "bin")
        self.tools = os.path.join(args.work, "tools")
        self.log = os.path.join(args.work, "commands.log")
        self.scratch = os.path.join(args.work, "scratch")
        for folder in (self.prefix, self.bin, self.tools, self.scratch):
            os.makedirs(folder, exist_ok=True)
        for tool in ("robocopy.exe", "rm.exe"):
            shutil.copy(os.path.join(args.standins, tool), os.path.join(self.tools, tool))
        self.exe_unix = None
        self.exe = None
        self.first_users = None
        self.env = {
            key: value
            for key, value in os.environ.items()
            if not key.startswith(("WINE", "BRENTHAUL_E2E_", "DISPLAY", "LC_"))
        }
        self.env.update(
            {
                "WINEPREFIX": self.prefix,
                "WINEDEBUG": "-all",
                "WINEDLLOVERRIDES": "mscoree,mshtml=",  # no Mono or Gecko installer
                "WINEPATH": windows_path(self.tools),
                "BRENTHAUL_E2E_LOG": windows_path(self.log),
                "LANG": "C.UTF-8",
                "LC_ALL": "C.UTF-8",
                "USER": "e2e",
            }
        )

    def start(self):
        subprocess.run(["wineserver", "-p"], env=self.env, check=True, timeout=WINE_TIMEOUT,
                       stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL)
        # The first run makes the prefix (the slow part). Letting Wine draw the title bars
        # itself puts each box's caption into the screenshots (Xvfb runs no window manager).
        code, _, err = self.run(
            ["reg", "add", "HKCU\\Software\\Wine\\X11 Driver", "/v", "Managed", "/t", "REG_SZ",
             "/d", "N", "/f"], timeout=180)
        check(code == 0, "preparing the Wine prefix failed: %r" % err)
        self.first_users = set(os.listdir(self.users_folder()))

    def use_exe(self, path, label):
        """Makes `path` the Brenthaul.exe under test. A copy in a folder without blanks, so cmd
        takes the exe's path without quotes."""
        folder = os.path.join(self.bin, label)
        os.makedirs(folder, exist_ok=True)
        self.exe_unix = os.path.join(folder, "Brenthaul.exe")
        shutil.copy(path, self.exe_unix)
        self.exe = windows_path(self.exe_unix)

    def reset_profiles(self):
        """Removes what earlier tests left in the users' profiles: the profiles the tests made,
        and the App-V folders of the prefix's own."""
        for user in os.listdir(self.users_folder()):
            if user not in self.first_users:
                shutil.rmtree(os.path.join(self.users_folder(), user))
                continue
            for area in ("Local", "Roaming"):
                shutil.rmtree(os.path.join(self.users_folder(), user, "AppData", area,
                                           "Microsoft", "AppV"), ignore_errors=True)

    def environment(self, user=None, extra=None):
        env = dict(self.env)
        if user is not None:
            env["USER"] = user
        env.update(extra or {})
        return env

    def run(self, args, user=None, extra=None, cwd=None, timeout=WINE_TIMEOUT):
        """Runs `wine ARGS`; returns (Linux exit status, stdout bytes, stderr bytes)."""
        # Files, not pipes: Wine's background processes (services, explorer) inherit the
        # handles and would keep a pipe open long after the program ended.
        with open(os.path.join(self.work, "stdout"), "w+b") as out, \
                open(os.path.join(self.work, "stderr"), "w+b") as err:
            process = subprocess.Popen(
                ["wine"] + args, env=self.environment(user, extra), cwd=cwd or self.scratch,
                stdin=subprocess.DEVNULL, stdout=out, stderr=err, start_new_session=True)
            try:
                process.wait(timeout=timeout)
            except subprocess.TimeoutExpired:
                kill_group(process)
                raise Failure("wine %s did not end within %d s" % (" ".join(args), timeout))
            out.seek(0)
            err.seek(0)
            return process.returncode, out.read(), err.read()

    def brenthaul(self, args, **kwargs):
        """Runs Brenthaul.exe directly (not through cmd) after emptying the command log."""
        self.clear_log()
        return self.run([self.exe_unix] + args, **kwargs)

    def batch(self, lines, **kwargs):
        """Runs a batch file through `wine cmd /c`; returns (status, stdout text, stderr)."""
        path = os.path.join(self.scratch, "test.bat")
        with open(path, "wb") as batch:
            batch.write(("\r\n".join(["@echo off"] + lines) + "\r\n").encode("ascii"))
        self.clear_log()
        code, out, err = self.run(["cmd", "/c", windows_path(path)], **kwargs)
        return code, out.decode("utf-8", "replace"), err

    def clear_log(self):
        if os.path.exists(self.log):
            os.remove(self.log)

    def commands(self):
        """The commands the stand-ins recorded: a list of [program, argv[0], argv[1], ...]."""
        if not os.path.exists(self.log):
            return []
        with open(self.log, "rb") as log:
            lines = log.read().decode("utf-8").split("\n")
        records = []
        i = 0
        while i < len(lines) and lines[i] != "":
            match = re.fullmatch(r"@(\S+) (\d+)", lines[i])
            check(match, "malformed command log line %r" % lines[i])
            count = int(match.group(2))
            records.append([match.group(1)] + lines[i + 1:i + 1 + count])
            i += 1 + count
        return records

    # Paths of a user's profile, as the tool names them and as they lie on the Unix side.
    def users_folder(self):
        return os.path.join(self.prefix, "drive_c", "users")

    def unix_local_vfs(self, user):
        return os.path.join(self.users_folder(), user, "AppData", "Local", "Microsoft", "AppV",
                            "Client", "VFS")

    def unix_saved_area(self, user):
        return os.path.join(self.users_folder(), user, "AppData", "Roaming", "Microsoft", "AppV",
                            "Client", "VFS", "SavedFromLocal")


def kill_group(process):
    try:
        os.killpg(process.pid, signal.SIGKILL)
    except ProcessLookupError:
        pass
    process.wait()


def local_vfs(user):
    return "C:\\Users\\%s\\AppData\\Local\\Microsoft\\AppV\\Client\\VFS" % user


def saved_area(user):
    return "C:\\Users\\%s\\AppData\\Roaming\\Microsoft\\AppV\\Client\\VFS\\SavedFromLocal" % user


def robocopy(source, destination):
    return ["robocopy", "robocopy", source, destination] + SWITCHES


def rm(path):
    return ["rm", "rm", "-r", path]


def pe_machine(path):
    """The machine of a PE file: "x86" (i386), "x64" (AMD64), or the type in hexadecimal."""
    with open(path, "rb") as exe:
        header = exe.read(4096)
    offset = int.from_bytes(header[0x3C:0x40], "little")
    machine = int.from_bytes(header[offset + 4:offset + 6], "little")
    return {0x14C: "x86", 0x8664: "x64"}.get(machine, "0x%04x" % machine)


def wine_string(text):
    """The text of a string as Wine's debug output writes it: \\n, \\r, \\t, \\", \\\\ and \\XXXX
    (four hexadecimal digits) for any other character outside printable ASCII."""
    out = []
    i = 0
    while i < len(text):
        if text[i] != "\\":
            out.append(text[i])
            i += 1
        elif text[i + 1] in "nrt\"\\":
            out.append({"n": "\n", "r": "\r", "t": "\t"}.get(text[i + 1], text[i + 1]))
            i += 2
        else:
            out.append(chr(int(text[i + 1:i + 5], 16)))
            i += 5
    return "".join(out)


def split_events(stderr):
    """Wine's output under EVENT_DEBUG: (the events as [(type, id, text, cut short)], the
    program's own standard error)."""
    events = []
    own = []
    calls = {}  # thread: (type, id) of the ReportEventW call whose string comes next
    for line in stderr.decode("utf-8", "replace").splitlines():
        call = EVENT_CALL.match(line)
        text = EVENT_TEXT.match(line)
        if call:
            calls[call.group(1)] = (int(call.group(2), 16), int(call.group(3), 16))
        elif text:
            check(text.group(1) in calls, "an event string without its call: %r" % line)
            event_type, event_id = calls.pop(text.group(1))
            check(event_type == {"err": ERROR, "warn": WARNING}[text.group(2)],
                  "type 0x%x printed as %s" % (event_type, text.group(2)))
            events.append((event_type, event_id, wine_string(text.group(3)),
                           text.group(4) is not None))
        elif not WINE_DEBUG_LINE.match(line):
            own.append(line)
    return events, own


def signed(code):
    """A Linux exit status (the Windows one mod 256) as the small negative number it stands for."""
    return code - 256 if code >= 128 else code


# ---------------------------------------------------------------------------------------------
# Folder trees


def snapshot(root):
    """Everything below `root`: {relative path: None for a folder, bytes for a file}."""
    tree = {}
    for folder, folders, files in os.walk(root):
        for name in folders:
            tree[os.path.relpath(os.path.join(folder, name), root)] = None
        for name in files:
            with open(os.path.join(folder, name), "rb") as data:
                tree[os.path.relpath(os.path.join(folder, name), root)] = data.read()
    return tree


def describe_difference(expected, actual):
    missing = sorted(set(expected) - set(actual))
    extra = sorted(set(actual) - set(expected))
    changed = sorted(p for p in set(expected) & set(actual) if expected[p] != actual[p])
    return "missing %s, extra %s, changed %s" % (missing[:5], extra[:5], changed[:5])


def check_same_tree(expected, root, what):
    actual = snapshot(root) if os.path.isdir(root) else None
    check(actual is not None, "%s: folder %s does not exist" % (what, root))
    check(actual == expected, "%s: %s" % (what, describe_difference(expected, actual)))


def make_tree(root, files):
    """Creates `files` ({relative path: None for a folder, bytes for a file}) below `root`."""
    for path, content in files.items():
        full = os.path.join(root, path)
        if content is None:
            os.makedirs(full, exist_ok=True)
        else:
            os.makedirs(os.path.dirname(full), exist_ok=True)
            with open(full, "wb") as data:
                data.write(content)


def package_files(seed):
    rng = random.Random(seed)
    return {
        "Settings.ini": b"[Main]\r\nWindow=Maximised\r\n",
        "empty file.dat": b"",
        "empty folder": None,
        "Program Files/Vendor App/user data/ünïcödé name.txt": "Grüße, 日本\n".encode("utf-8"),
        "Program Files/Vendor App/user data/deeper/still deeper/leaf.bin": rng.randbytes(4096),
        "Program Files/Vendor App/large.bin": rng.randbytes(3 * 1024 * 1024 + 17),
        "AppData/Ärger mit Leerzeichen/ß.cfg": b"x=1\n",
        "AppData/empty nested folder/inside": None,
    }


def package_tree(seed):
    """The snapshot that make_tree(root, package_files(seed)) gives, folders included."""
    tree = {}
    for path, content in package_files(seed).items():
        parts = path.split("/")
        for depth in range(1, len(parts)):
            tree["/".join(parts[:depth])] = None
        tree[path] = content
    return tree


# ---------------------------------------------------------------------------------------------
# The tests


class Suite:
    def __init__(self, wine, args):
        self.wine = wine
        self.args = args
        self.label = ""
        self.passed = 0
        self.failed = 0
        self.xvfb = None
        self.display = None

    def test(self, name, function):
        name = "[%s] %s" % (self.label, name) if self.label else name
        started = time.monotonic()
        try:
            function()
        except Failure as failure:
            self.failed += 1
            print("FAIL  %s: %s" % (name, failure), flush=True)
            return
        except Exception:  # a broken test fails alone; the others still run
            self.failed += 1
            print("FAIL  %s: %s" % (name, traceback.format_exc().strip()), flush=True)
            return
        self.passed += 1
        print("PASS  %s (%.1f s)" % (name, time.monotonic() - started), flush=True)

    # --- command-line forms ---------------------------------------------------------------

    def refused(self, args, status, user="e2e", usage=True):
        code, out, err = self.wine.brenthaul(args, user=user)
        check(signed(code) == status, "%s: status %d, expected %d" % (args, signed(code), status))
        if usage:
            check(out == USAGE, "%s: standard output is not the usage text: %r" % (args, out))
        check(self.wine.commands() == [], "%s: commands ran: %r" % (args, self.wine.commands()))
        return out, err

    def test_no_arguments(self):
        self.refused([], -1)

    def test_too_many_arguments(self):
        self.refused(["/save", "/debug", "/restore", PKG], -1)
        self.refused(["/saveall", "/restoreall", "/save", "/debug", PKG], -1)

    def test_two_arguments_bad_switch(self):
        self.refused(["/debug", PKG], -2)
        self.refused(["/saveall", PKG], -2)
        self.refused(["/sav", PKG], -2)

    def test_one_argument_bad_switch(self):
        self.refused(["/save"], -3)
        self.refused(["/saveallx"], -3)
        self.refused([PKG], -3)

    def test_three_arguments_no_operation(self):
        self.refused(["/debug", "/debug", PKG], -6)
        self.refused(["/debug", "/saveall", PKG], -6)

    def test_ids_that_are_not_guids(self):
        for bad in ["", "6f2b8a2e", PKG[:-1], PKG + "0", "{%s}" % PKG[:34],
                    PKG.replace("-", "x"), "g" + PKG[1:], "..\\..\\..\\..\\" + PKG[:24],
                    PKG[:35] + "&", PKG[:34] + "\\*"]:
            self.refused(["/save", bad], -4)
        self.refused(["/debug", "/cleanrestore", "6f2b8a2e-3d41-4c5e-9a7b-0c1d2e3f4a5%"], -4)
        # The id must come last: in a switch position it is an ignored word, and "/debug" in
        # the id's position is no id.
        self.refused(["/save", PKG, "/debug"], -4)

    def test_full_status_through_cmd(self):
        # cmd's %ERRORLEVEL% holds the whole 32-bit status: -6, not 250 as a Unix status would.
        exe = self.wine.exe
        lines = []
        cases = [("", -1), ("/debug " + PKG, -2), ("/save", -3), ("/save not-a-guid", -4),
                 ("/debug /debug " + PKG, -6), ("/saveall", 0), ("/cleansave " + PKG, 0)]
        for args, _ in cases:
            lines += ["%s %s > nul" % (exe, args), "echo status=%ERRORLEVEL%"]
        # The stand-ins fail: the tool's status stays 0 after a transfer all the same.
        code, out, err = self.wine.batch(
            lines, extra={"BRENTHAUL_E2E_ROBOCOPY_STATUS": "16", "BRENTHAUL_E2E_RM_STATUS": "16"})
        check(code == 0, "cmd ended with %d: %r" % (code, err))
        statuses = [int(s) for s in re.findall(r"status=(-?\d+)", out)]
        check(statuses == [status for _, status in cases],
              "statuses %s, expected %s" % (statuses, [status for _, status in cases]))

    def test_wildcard_reaches_tool_unchanged(self):
        # The current folder holds several files, so an expanded * would change the count.
        for name in ("a.txt", "b.txt", PKG):
            open(os.path.join(self.wine.scratch, name), "wb").close()
        self.refused(["*"], -3)
        self.refused(["/save", "*"], -4)
        self.refused(["/debug", "/save", "*"], -4)
        code, out, _ = self.wine.batch(
            ["cd /d " + windows_path(self.wine.scratch),
             "%s /save * > nul" % self.wine.exe, "echo status=%ERRORLEVEL%",
             "%s * > nul" % self.wine.exe, "echo status=%ERRORLEVEL%"])
        check(re.findall(r"status=(-?\d+)", out) == ["-4", "-3"], "through cmd: %r" % out)
        check(self.wine.commands() == [], "commands ran: %r" % self.wine.commands())

    # --- which commands run ---------------------------------------------------------------

    def transfer(self, args, expected, user, extra=None):
        code, out, err = self.wine.brenthaul(args, user=user, extra=extra, timeout=20)
        check(code == 0, "%s: status %d, stderr %r" % (args, signed(code), err))
        check(out == b"", "%s: standard output %r" % (args, out))
        commands = self.wine.commands()
        check(commands == expected, "%s ran\n    %r\n  expected\n    %r" % (args, commands,
                                                                          expected))

    def test_single_package_commands(self):
        user = "user 1"
        local = local_vfs(user) + "\\" + PKG
        saved = saved_area(user) + "\\" + PKG
        make_tree(os.path.join(self.wine.unix_local_vfs(user), PKG), {"f.txt": b"data"})
        self.transfer(["/save", PKG], [robocopy(local, saved)], user)
        self.transfer(["/restore", PKG], [robocopy(saved, local)], user)
        self.transfer(["/cleansave", PKG], [rm(saved), robocopy(local, saved)], user)
        self.transfer(["/cleanrestore", PKG], [rm(local), robocopy(saved, local)], user)

    def test_switch_combinations(self):
        user = "user 1"
        local = local_vfs(user) + "\\" + PKG
        saved = saved_area(user) + "\\" + PKG
        make_tree(os.path.join(self.wine.unix_local_vfs(user), PKG), {"f.txt": b"data"})
        self.transfer(["/SAVE", PKG], [robocopy(local, saved)], user)
        self.transfer(["/ReStOrE", PKG], [robocopy(saved, local)], user)
        self.transfer(["/save", "/restore", PKG], [robocopy(local, saved)], user)
        self.transfer(["/restore", "/save", PKG], [robocopy(local, saved)], user)
        self.transfer(["/restore", "/cleansave", PKG], [rm(saved), robocopy(local, saved)], user)
        self.transfer(["/save", "/cleanrestore", PKG], [rm(saved), robocopy(local, saved)], user)
        self.transfer(["word", "/restore", PKG], [robocopy(saved, local)], user)
        self.transfer(["/saveall", "/save", PKG], [robocopy(local, saved)], user)
        self.transfer(["/save", PKG.upper()],
                      [robocopy(local.replace(PKG, PKG.upper()), saved.replace(PKG, PKG.upper()))],
                      user)

    def test_debug_switch_positions(self):
        # Commands that succeed with status 0 bring up no box (a box would hold the run until
        # its timeout); robocopy's 1 for "copied" would, so the stand-ins are told to return 0.
        user = "user 1"
        local = local_vfs(user) + "\\" + PKG
        saved = saved_area(user) + "\\" + PKG
        make_tree(os.path.join(self.wine.unix_local_vfs(user), PKG), {"f.txt": b"data"})
        make_tree(os.path.join(self.wine.unix_saved_area(user), PKG), {"f.txt": b"data"})
        quiet = {"BRENTHAUL_E2E_ROBOCOPY_STATUS": "0", "BRENTHAUL_E2E_RM_STATUS": "0"}
        self.transfer(["/debug", "/save", PKG], [robocopy(local, saved)], user, quiet)
        self.transfer(["/save", "/DEBUG", PKG], [robocopy(local, saved)], user, quiet)
        self.transfer(["/cleanrestore", "/debug", PKG], [rm(local), robocopy(saved, local)], user,
                      quiet)

    def test_clean_without_source_removes_nothing(self):
        user = "no source"
        saved_unix = os.path.join(self.wine.unix_saved_area(user), PKG)
        make_tree(saved_unix, {"only copy.txt": b"keep me"})
        local = local_vfs(user) + "\\" + PKG
        saved = saved_area(user) + "\\" + PKG
        # The local folder is missing: no removal of the saved copy, and robocopy fails (16).
        self.transfer(["/cleansave", PKG], [robocopy(local, saved)], user)
        check(snapshot(saved_unix) == {"only copy.txt": b"keep me"}, "the saved copy changed")

    def test_all_package_commands(self):
        user = "user 1"
        save = [robocopy(local_vfs(user), saved_area(user))]
        restore = [robocopy(saved_area(user), local_vfs(user))]
        for switch, expected in [("/saveall", save), ("/cleansaveall", save),
                                 ("/SaveAll", save), ("/restoreall", restore),
                                 ("/cleanrestoreall", restore), ("/CLEANRESTOREALL", restore)]:
            self.transfer([switch], expected, user)
            check(len(self.wine.commands()[0]) == 2 + 8, "%s: not eight robocopy arguments" % switch)

    def test_status_zero_when_commands_fail(self):
        user = "user 1"
        local = local_vfs(user) + "\\" + PKG
        saved = saved_area(user) + "\\" + PKG
        make_tree(os.path.join(self.wine.unix_local_vfs(user), PKG), {"f.txt": b"data"})
        failing = {"BRENTHAUL_E2E_ROBOCOPY_STATUS": "16", "BRENTHAUL_E2E_RM_STATUS": "1"}
        self.transfer(["/cleansave", PKG], [rm(saved), robocopy(local, saved)], user, failing)
        self.transfer(["/restore", PKG], [robocopy(saved, local)], user, failing)
        self.transfer(["/cleanrestoreall"], [robocopy(saved_area(user), local_vfs(user))], user,
                      failing)
        failing["BRENTHAUL_E2E_ROBOCOPY_STATUS"] = "-1"
        self.transfer(["/saveall"], [robocopy(local_vfs(user), saved_area(user))], user, failing)

    # --- user names -----------------------------------------------------------------------

    def test_unusable_user_names(self):
        for user in ["", 'quo"te', "per%USERNAME%cent", "50%"]:
            for args in (["/cleansave", PKG], ["/restore", PKG], ["/saveall"], ["/restoreall"]):
                out, err = self.refused(args, -5, user=user, usage=False)
                check(out == b"", "%r %s: standard output %r" % (user, args, out))
                lines = err.decode("utf-8", "replace").splitlines()
                check(len(lines) == 1 and lines[0].startswith("Brenthaul: "),
                      "%r %s: standard error %r" % (user, args, err))

    def test_blanks_and_non_ascii_are_one_argument(self):
        user = "Jürgen Ünal-日本 x"
        local = local_vfs(user) + "\\" + PKG
        saved = saved_area(user) + "\\" + PKG
        make_tree(os.path.join(self.wine.unix_local_vfs(user), PKG), {"a b.txt": b"1"})
        self.transfer(["/cleansave", PKG], [rm(saved), robocopy(local, saved)], user)
        self.transfer(["/saveall"], [robocopy(local_vfs(user), saved_area(user))], user)

    # --- nothing lost ---------------------------------------------------------------------

    def test_single_package_round_trip(self):
        user = "Zoë Field"
        local_unix = os.path.join(self.wine.unix_local_vfs(user), PKG)
        saved_unix = os.path.join(self.wine.unix_saved_area(user), PKG)
        make_tree(local_unix, package_files(1))
        original = package_tree(1)
        check(snapshot(local_unix) == original, "the test tree was not made as planned")

        self.wine.brenthaul(["/save", PKG], user=user)
        check_same_tree(original, saved_unix, "after /save")
        shutil.rmtree(local_unix)
        self.wine.brenthaul(["/restore", PKG], user=user)
        check_same_tree(original, local_unix, "after removing the local copy and /restore")
        check_same_tree(original, saved_unix, "the saved copy after /restore")

        # A changed package: the mirror drops what is gone and brings what is new.
        os.remove(os.path.join(local_unix, "Settings.ini"))
        shutil.rmtree(os.path.join(local_unix, "AppData"))
        make_tree(local_unix, {"new folder/new file.txt": b"new", "empty file.dat": b"now full"})
        changed = snapshot(local_unix)
        self.wine.brenthaul(["/cleansave", PKG], user=user)
        check_same_tree(changed, saved_unix, "after changes and /cleansave")
        shutil.rmtree(local_unix)
        self.wine.brenthaul(["/cleanrestore", PKG], user=user)
        check_same_tree(changed, local_unix, "after removing the local copy and /cleanrestore")

    def test_all_packages_round_trip(self):
        user = "Åsa Öberg"
        vfs_unix = self.wine.unix_local_vfs(user)
        saved_unix = self.wine.unix_saved_area(user)
        make_tree(os.path.join(vfs_unix, PKG), package_files(2))
        make_tree(os.path.join(vfs_unix, PKG2), package_files(3))
        make_tree(vfs_unix, {"EmptyPackage-0000": None})
        original = snapshot(vfs_unix)

        self.wine.brenthaul(["/saveall"], user=user)
        check_same_tree(original, saved_unix, "after /saveall")
        shutil.rmtree(vfs_unix)
        self.wine.brenthaul(["/restoreall"], user=user)
        check_same_tree(original, vfs_unix, "after removing the local VFS folder and /restoreall")
        check_same_tree(original, saved_unix, "the saved area after /restoreall")

    # --- events in the Application log --------------------------------------------------------

    def with_events(self, args, user=WINE_USER, extra=None):
        """Runs the tool with Wine printing its events: (status, stdout, own stderr lines,
        events)."""
        code, out, err = self.wine.brenthaul(args, user=user,
                                             extra=dict(extra or {}, WINEDEBUG=EVENT_DEBUG))
        events, own = split_events(err)
        return signed(code), out, own, events

    def check_events(self, what, events, expected):
        """`expected`: [(type, id, beginning of the text)], in order."""
        found = [(event_type, event_id) for event_type, event_id, _, _ in events]
        check(found == [(event_type, event_id) for event_type, event_id, _ in expected],
              "%s: events %s, expected %s" % (what, found, [e[:2] for e in expected]))
        for (_, event_id, text, cut), (_, _, beginning) in zip(events, expected):
            # Wine shows about 300 characters: a text cut short must agree as far as it goes.
            agrees = beginning.startswith(text) if cut and len(text) < len(beginning) \
                else text.startswith(beginning)
            check(agrees and len(text) >= min(len(beginning), 200),
                  "%s: event %d reads %r, expected it to begin %r" % (what, event_id, text,
                                                                       beginning))

    def test_events_wine_sets_the_folders_of_its_first_user(self):
        code, out, _ = self.wine.batch(["echo %LOCALAPPDATA%", "echo %APPDATA%"], user="other")
        folders = out.split()
        check(code == 0 and [folder.lower() for folder in folders] ==
              ["c:\\users\\%s\\appdata\\local" % WINE_USER,
               "c:\\users\\%s\\appdata\\roaming" % WINE_USER],
              "LOCALAPPDATA and APPDATA are %r; the event tests expect %s's folders"
              % (folders, WINE_USER))

    def test_events_none_for_good_runs(self):
        make_tree(os.path.join(self.wine.unix_local_vfs(WINE_USER), PKG), {"f.txt": b"data"})
        for args, statuses in [(["/save", PKG], ("0", "1")), (["/cleansave", PKG], ("0", "7")),
                               (["/debug", "/restore", PKG], ("0", "0")),
                               (["/saveall"], ("0", "3")), (["/restoreall"], ("0", "1"))]:
            code, out, own, events = self.with_events(args, extra={
                "BRENTHAUL_E2E_RM_STATUS": statuses[0],
                "BRENTHAUL_E2E_ROBOCOPY_STATUS": statuses[1]})
            check(code == 0 and out == b"" and own == [], "%s: status %d, %r, %r"
                  % (args, code, out, own))
            check(self.wine.commands(), "%s: nothing ran" % args)
            self.check_events(args, events, [])

    def test_events_failing_saveall(self):
        local, saved = local_vfs(WINE_USER), saved_area(WINE_USER)
        for args, status, meaning in [
                (["/saveall"], "16", "0x10 (16), a fatal error: robocopy copied nothing (for "
                 "example, the source folder does not exist, or access is denied)."),
                (["/cleansaveall"], "8", "0x8 (8), some files or folders could not be copied.")]:
            code, out, own, events = self.with_events(
                args, extra={"BRENTHAUL_E2E_ROBOCOPY_STATUS": status})
            check(code == 0 and out == b"" and own == [], "%s: status %d, %r, %r"
                  % (args, code, out, own))
            check(self.wine.commands() == [robocopy(local, saved)], "%s ran %r"
                  % (args, self.wine.commands()))
            self.check_events(args, events, [(ERROR, EVENT_MIRROR_FAILED, (
                "The save of all packages for user %s failed: robocopy returned %s\r\n"
                "Command: robocopy \"%s\" \"%s\" /MIR /NS /NC /NFL /NDL /NP > nul\r\n"
                % (WINE_USER, meaning, local, saved)))])

    def test_events_failing_cleansave(self):
        local = local_vfs(WINE_USER) + "\\" + PKG
        saved = saved_area(WINE_USER) + "\\" + PKG
        make_tree(os.path.join(self.wine.unix_local_vfs(WINE_USER), PKG), {"f.txt": b"data"})
        code, out, own, events = self.with_events(["/cleansave", PKG], extra={
            "BRENTHAUL_E2E_RM_STATUS": "5", "BRENTHAUL_E2E_ROBOCOPY_STATUS": "16"})
        check(code == 0 and out == b"" and own == [], "status %d, %r, %r" % (code, out, own))
        check(self.wine.commands() == [rm(saved), robocopy(local, saved)],
              "ran %r" % self.wine.commands())
        self.check_events("/cleansave", events, [
            (WARNING, EVENT_REMOVAL_FAILED,
             "The clean save of package %s for user %s could not remove the existing saved "
             "folder first: 'rm -r' returned 0x5 (5). The mirror ran afterwards all the same"
             % (PKG, WINE_USER)),
            (ERROR, EVENT_MIRROR_FAILED,
             "The clean save of package %s for user %s failed: robocopy returned 0x10 (16), a "
             "fatal error: robocopy copied nothing (for example, the source folder does not "
             "exist, or access is denied).\r\nCommand: robocopy \"%s\"" % (PKG, WINE_USER, local))])

    def test_events_refused_id(self):
        for args in (["/save", "not-a-guid"], ["/debug", "/cleanrestore", "{%s}" % PKG]):
            code, out, own, events = self.with_events(args)
            check(code == -4 and out == USAGE and own == [],
                  "%s: status %d, %r" % (args, code, own))
            shown = " ".join('"%s"' % argument for argument in args)
            self.check_events(args, events, [(ERROR, EVENT_BAD_PACKAGE_ID, (
                "Brenthaul refused to run and copied nothing (exit status -4): the package id, the "
                "last argument, is not a GUID. It must be exactly 36 characters, hexadecimal "
                "digits with dashes at the 9th, 14th, 19th and 24th places, without braces.\r\n"
                "Arguments (%d): %s\r\nUser: %s\r\n" % (len(args), shown, WINE_USER))[:290])])

    def test_events_command_line_not_understood(self):
        for args, status, cause in [
                ([], -1, "no arguments, or more than three"),
                (["/sav", PKG], -2, "two arguments, and the first is not /save, /restore, "
                 "/cleansave or /cleanrestore"),
                (["/saveallx"], -3, "one argument, and it is not /saveall, /restoreall, "
                 "/cleansaveall or /cleanrestoreall"),
                (["/debug", "/debug", PKG], -6, "three arguments, and neither of the first two "
                 "asks for a save or a restore")]:
            code, out, own, events = self.with_events(args)
            check(code == status and out == USAGE and own == [], "%s: status %d, %r"
                  % (args, code, own))
            self.check_events(args, events, [(WARNING, EVENT_BAD_COMMAND_LINE, (
                "Brenthaul did not understand its command line and ran nothing (exit status %d: "
                "%s).\r\nArguments (%d): %s" % (status, cause, len(args), " ".join(
                    '"%s"' % argument for argument in args) or "none"))[:290])])

    def test_events_unusable_profile(self):
        code, out, own, events = self.with_events(["/restoreall"], user="50%")
        check(code == -5 and out == b"", "status %d, %r" % (code, out))
        line = "Brenthaul: the profile path holds a double quote, a percent sign or a control " \
               "character; nothing was copied"
        check(own == [line], "standard error %r" % own)
        self.check_events("50%", events, [(ERROR, EVENT_NOT_USABLE, (
            "Brenthaul refused to run and copied nothing (exit status -5). It wrote to standard "
            "error:\r\n%s\r\nArguments (1): \"/restoreall\"\r\nUser: 50%%" % line)[:290])])

    def test_events_roots_not_the_users_own(self):
        user = "user 1"
        local = local_vfs(user) + "\\" + PKG
        saved = saved_area(user) + "\\" + PKG
        make_tree(os.path.join(self.wine.unix_local_vfs(user), PKG), {"f.txt": b"data"})
        roots = ("for user %s used profile folders that are not the ones Windows set for this "
                 "user at logon, so its data may be saved to, or restored from, a folder that "
                 "does not roam. The transfer ran as usual.\r\nLocal root: C:\\Users\\%s\\AppData\\"
                 "Local, but LOCALAPPDATA is C:\\users\\%s\\AppData\\Local\r\n"
                 % (user, user, WINE_USER))
        code, out, own, events = self.with_events(
            ["/save", PKG], user=user, extra={"BRENTHAUL_E2E_ROBOCOPY_STATUS": "1"})
        check(code == 0 and out == b"" and own == [], "status %d, %r, %r" % (code, out, own))
        check(self.wine.commands() == [robocopy(local, saved)], "ran %r" % self.wine.commands())
        self.check_events("/save", events, [
            (WARNING, EVENT_ROOTS_NOT_OWN, "The save of package %s %s" % (PKG, roots))])
        # A failing all-package restore (robocopy crashed): the warning first, then the error.
        code, _, _, events = self.with_events(
            ["/restoreall"], user=user, extra={"BRENTHAUL_E2E_ROBOCOPY_STATUS": "-1073741819"})
        check(code == 0, "status %d" % code)
        self.check_events("/restoreall", events, [
            (WARNING, EVENT_ROOTS_NOT_OWN, "The restore of all packages %s" % roots),
            (ERROR, EVENT_MIRROR_FAILED,
             "The restore of all packages for user %s failed: robocopy returned 0xc0000005 "
             "(-1073741819), a value robocopy itself never returns" % user)])

    # --- debug mode -----------------------------------------------------------------------

    def start_xvfb(self):
        """Starts an Xvfb of this suite's own on the first free display from :97 on."""
        for number in range(97, 160):
            if (os.path.exists("/tmp/.X%d-lock" % number) or
                    os.path.exists("/tmp/.X11-unix/X%d" % number)):
                continue
            self.xvfb = subprocess.Popen(
                ["Xvfb", ":%d" % number, "-screen", "0", "800x600x24", "-nolisten", "tcp"],
                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            for _ in range(100):
                if self.xvfb.poll() is not None:
                    break  # another server took the number first: try the next one
                if os.path.exists("/tmp/.X11-unix/X%d" % number):
                    self.display = ":%d" % number
                    return
                time.sleep(0.1)
            self.stop_xvfb()
        raise RuntimeError("Xvfb did not start on any display from :97 to :159")

    def stop_xvfb(self):
        if self.xvfb is not None:
            self.xvfb.terminate()
            try:
                self.xvfb.wait(timeout=10)
            except subprocess.TimeoutExpired:
                self.xvfb.kill()
                self.xvfb.wait()
            self.xvfb = None

    def x(self, args):
        env = dict(os.environ, DISPLAY=self.display)
        return subprocess.run(args, env=env, capture_output=True, text=True, timeout=30)

    def find_box(self, caption, process):
        deadline = time.monotonic() + BOX_TIMEOUT
        while time.monotonic() < deadline:
            found = self.x(["xdotool", "search", "--name", "^%s$" % re.escape(caption)])
            if found.returncode == 0 and found.stdout.split():
                return found.stdout.split()[0]
            if process.poll() is not None:
                raise Failure("the tool ended (status %d) without showing %r"
                              % (signed(process.returncode), caption))
            time.sleep(0.2)
        raise Failure("no box %r within %d s" % (caption, BOX_TIMEOUT))

    def screenshot(self, name):
        folder = os.path.join(self.args.screenshots, self.label)
        os.makedirs(folder, exist_ok=True)
        path = os.path.join(folder, name)
        shot = self.x(["/usr/bin/import", "-window", "root", path])
        check(shot.returncode == 0 and os.path.getsize(path) > 1000,
              "screenshot %s failed: %s" % (path, shot.stderr))

    def close_box(self, window):
        self.x(["xdotool", "windowfocus", "--sync", window])
        closed = self.x(["xdotool", "key", "Return"])
        check(closed.returncode == 0, "closing the box failed: %s" % closed.stderr)

    def debug_run(self, operation, user, captions, texts, commands, statuses, shots):
        """Runs `/debug OPERATION PKG` with both stand-ins failing; walks through the boxes."""
        self.wine.clear_log()
        env = self.wine.environment(user, {
            "WINEDEBUG": "-all,+msgbox",
            "BRENTHAUL_E2E_RM_STATUS": statuses[0],
            "BRENTHAUL_E2E_ROBOCOPY_STATUS": statuses[1]})
        errors = open(os.path.join(self.wine.work, "debug-stderr.txt"), "w+b")
        process = subprocess.Popen(
            ["wine", self.wine.exe_unix, "/debug", operation, PKG], env=env, cwd=self.wine.scratch,
            stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=errors,
            start_new_session=True)
        try:
            for index, caption in enumerate(captions):
                window = self.find_box(caption, process)
                time.sleep(1.0)  # time for anything that would wrongly run while the box is open
                check(process.poll() is None, "the tool ended while %r was open" % caption)
                ran = self.wine.commands()
                check(ran == commands[:index + 1],
                      "while %r was open the commands were %r" % (caption, ran))
                for other in captions:
                    if other != caption:
                        found = self.x(["xdotool", "search", "--name", "^%s$" % re.escape(other)])
                        check(found.stdout.strip() == "", "%r is open too" % other)
                self.screenshot(shots[index])
                self.close_box(window)
            code = process.wait(timeout=WINE_TIMEOUT)
        except subprocess.TimeoutExpired:
            raise Failure("the tool did not end after its boxes were closed")
        finally:
            if process.poll() is None:
                kill_group(process)
        check(code == 0, "status %d" % signed(code))
        check(self.wine.commands() == commands, "commands %r" % self.wine.commands())
        errors.seek(0)
        shown = re.findall(r'trace:msgbox:MSGBOX_OnInit L"(.*)"', errors.read().decode("utf-8"))
        check(shown == texts, "box texts %r, expected %r" % (shown, texts))

    def test_debug_save_boxes(self):
        user = "debug user"
        local = local_vfs(user) + "\\" + PKG
        saved = saved_area(user) + "\\" + PKG
        make_tree(os.path.join(self.wine.unix_local_vfs(user), PKG), {"f.txt": b"data"})
        self.debug_run("/cleansave", user,
                       ["Error Removing existing saved folder", "Error Saving folder"],
                       ["'rm -r' returned value 0x10", "'robocopy' returned value 0xffffffff"],
                       [rm(saved), robocopy(local, saved)], ["16", "-1"],
                       ["save-1-removal-warning.png", "save-2-mirror-error.png"])

    def test_debug_restore_boxes(self):
        user = "debug user"
        local = local_vfs(user) + "\\" + PKG
        saved = saved_area(user) + "\\" + PKG
        make_tree(os.path.join(self.wine.unix_saved_area(user), PKG), {"f.txt": b"data"})
        self.debug_run("/cleanrestore", user,
                       ["Error Removing existing restored folder", "Error Restoring folder"],
                       ["'rm -r' returned value 0x1", "'robocopy' returned value 0x10"],
                       [rm(local), robocopy(saved, local)], ["1", "16"],
                       ["restore-1-removal-warning.png", "restore-2-mirror-error.png"])

    def exe_runs(self):
        """The exe under test starts under this Wine at all. A 32-bit exe needs Wine's 32-bit
        part (Debian's wine32:i386) in a prefix made after it was installed."""
        code, out, err = self.wine.brenthaul([])
        if signed(code) == -1 and out == USAGE:
            return
        last = (err.decode("utf-8", "replace").strip().splitlines() or ["no message"])[-1]
        raise Failure("%s Windows programs do not run under this Wine (status %d, %s)%s"
                      % ("32-bit" if self.label == "x86" else "these", signed(code), last,
                         "; install wine32:i386 (dpkg --add-architecture i386, then apt-get "
                         "install wine32:i386) and make the Wine prefix afresh"
                         if self.label == "x86" else ""))

    def run_all(self):
        failed_before = self.failed
        self.test("exe starts under Wine", self.exe_runs)
        if self.failed != failed_before:
            return
        tests = [name for name in dir(self) if name.startswith("test_")]
        tests.sort(key=lambda name: getattr(Suite, name).__code__.co_firstlineno)
        for name in tests:
            self.test(name[len("test_"):].replace("_", " "), getattr(self, name))


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--exe", required=True, action="append",
                        help="a Brenthaul.exe to test; give it once for each exe")
    parser.add_argument("--standins", required=True)
    parser.add_argument("--work", required=True)
    parser.add_argument("--screenshots", required=True)
    parser.add_argument("--rm", help="an rm.exe to test once, with the Brenthaul.exe beside it")
    args = parser.parse_args()
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(143))

    started = time.monotonic()
    wine = Wine(args)
    suite = Suite(wine, args)
    try:
        # One display for every run: Wine's desktop process starts with the first run and keeps
        # the display it found, so the boxes of the debug tests need it from the beginning.
        suite.start_xvfb()
        wine.env["DISPLAY"] = suite.display
        suite.test("Wine prefix starts", wine.start)
        if suite.failed == 0:
            # The same tests for each exe, one after the other in the same prefix.
            for exe in args.exe:
                suite.label = pe_machine(exe)
                print("--- %s (%s)" % (exe, suite.label), flush=True)
                wine.use_exe(exe, suite.label)
                wine.reset_profiles()
                suite.run_all()
            suite.label = ""
            if args.rm:
                import rm_tests  # tests/e2e/rm_tests.py
                rm_tests.run_all(suite, wine, args.rm)
    finally:
        suite.stop_xvfb()
        subprocess.run(["wineserver", "-k"], env=wine.env, timeout=WINE_TIMEOUT,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    print("end to end: %d passed, %d failed (%.0f s)"
          % (suite.passed, suite.failed, time.monotonic() - started), flush=True)
    return 0 if suite.failed == 0 else 1


if __name__ == "__main__":
    sys.exit(main())
