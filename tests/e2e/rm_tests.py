"""End-to-end tests of rm.exe under Wine, run once by e2e.py (--rm) after the tests of each
Brenthaul.exe, in the same prefix.

rm.exe runs as the clean step runs it: by name, through Wine's command interpreter, from a batch
file holding `rm -r "C:\\...\\<GUID>"`, with a folder of its own first on the search path that holds
the rm.exe under test and the robocopy stand-in. The tests check its exit status, what is left of
the folders, and its lines on standard error. The last ones run the Brenthaul.exe that lies beside
rm.exe (the release build) with /cleansave and /cleanrestore, so the removal is rm.exe's.

Wine cannot make a Windows link (junction or symbolic link): mklink and CreateSymbolicLinkW report
success and make nothing, and FSCTL_SET_REPARSE_POINT is not supported. It shows a Unix symbolic
link to a folder as a folder reparse point, though, so that is what the link test uses.
"""

import os
import shutil
import stat
import sys

# e2e.py runs as the main script: use that module rather than load e2e.py a second time, whose
# Failure class the suite would not recognise.
if "e2e" not in sys.modules and hasattr(sys.modules.get("__main__"), "Wine"):
    sys.modules["e2e"] = sys.modules["__main__"]
import e2e  # noqa: E402  (after the alias above)
from e2e import PKG, PKG2, check, make_tree, package_files, package_tree, snapshot  # noqa: E402

USER = "e2e"  # the prefix's own user: the tests work in its roaming save area
USAGE = "usage: rm [-r | -R] [--] PATH..."
READ_ONLY_FILE = 0o444
READ_ONLY_FOLDER = 0o555  # Wine shows a folder without write permission as read-only


def make_read_only(path):
    os.chmod(path, READ_ONLY_FOLDER if os.path.isdir(path) else READ_ONLY_FILE)


def make_writable(root):
    """Gives write permission back below `root`, so that shutil can clean up after a failure."""
    for folder, folders, files in os.walk(root):
        for name in folders + files:
            path = os.path.join(folder, name)
            if not os.path.islink(path):
                os.chmod(path, os.stat(path).st_mode | stat.S_IWUSR)
    if os.path.isdir(root):
        os.chmod(root, os.stat(root).st_mode | stat.S_IWUSR)


class RmTests:
    def __init__(self, suite, wine, rm_exe):
        self.suite = suite
        self.wine = wine
        self.tools = os.path.join(wine.work, "rm-tools")
        os.makedirs(self.tools, exist_ok=True)
        shutil.copy(rm_exe, os.path.join(self.tools, "rm.exe"))
        shutil.copy(os.path.join(wine.tools, "robocopy.exe"), self.tools)
        self.brenthaul_exe = os.path.join(os.path.dirname(os.path.abspath(rm_exe)), "Brenthaul.exe")
        self.search_path = {"WINEPATH": e2e.windows_path(self.tools)}
        self.saved_unix = wine.unix_saved_area(USER)
        self.saved = e2e.saved_area(USER)

    # --- helpers ----------------------------------------------------------------------------

    def batch(self, lines, extra=None):
        """Runs the batch `lines` with rm.exe on the search path; the batch ends with the status of
        its last command. Returns (status, stdout text, standard error lines)."""
        env = dict(self.search_path, **(extra or {}))
        code, out, err = self.wine.batch(lines + ["exit /b %ERRORLEVEL%"], extra=env)
        check(err == b"" or err.endswith(b"\r\n"), "standard error does not end a line: %r" % err)
        return code, out, err.decode("utf-8").splitlines()

    def rm(self, arguments, extra=None):
        """`rm ARGUMENTS` through cmd; returns (status, standard error lines)."""
        code, _, lines = self.batch(["rm " + arguments], extra)
        return code, lines

    def package(self, name=PKG):
        """The saved package folder `name`: (its Windows path, its Unix path)."""
        return self.saved + "\\" + name, os.path.join(self.saved_unix, name)

    def check_gone(self, unix_path, what):
        check(not os.path.lexists(unix_path), "%s is still there: %s" % (
            what, sorted(snapshot(unix_path)) if os.path.isdir(unix_path) else unix_path))

    def check_failure_lines(self, lines, paths):
        """One line per path in `paths`: "rm: cannot remove 'PATH': " and a system message."""
        check(len(lines) == len(paths), "standard error %r, expected lines for %r" % (lines, paths))
        for line, path in zip(lines, paths):
            prefix = "rm: cannot remove '%s': " % path
            check(line.startswith(prefix) and len(line) > len(prefix) and
                  not line.endswith((" ", "\r")), "line %r, expected %r and a message" % (
                      line, prefix))

    # --- the tests --------------------------------------------------------------------------

    def test_tree_with_blanks_non_ascii_names_and_read_only_entries(self):
        windows, unix = self.package()
        other_windows, other_unix = self.package(PKG2)
        make_tree(unix, package_files(4))
        make_tree(unix, {"VFS/AppVPackageDrive/read-only folder/read-only.dll": b"MZ",
                         "VFS/AppVPackageDrive/read-only folder/writable.txt": b"w",
                         "VFS/Ünïcödé folder/read-only ß.ini": b"[x]"})
        make_tree(other_unix, {"keep.txt": b"other package"})
        other = snapshot(other_unix)
        read_only = ["Settings.ini", "VFS/AppVPackageDrive/read-only folder/read-only.dll",
                     "VFS/Ünïcödé folder/read-only ß.ini", "VFS/AppVPackageDrive/read-only folder",
                     "Program Files/Vendor App"]
        for path in read_only:
            make_read_only(os.path.join(unix, path))
        # Wine must see them as read-only, or the test would not test that.
        code, out, _ = self.batch(['attrib "%s\\%s"' % (windows, path.replace("/", "\\"))
                                   for path in read_only[:2] + read_only[3:]])
        flags = [line[:12] for line in out.splitlines() if line.strip()]
        check(len(flags) == 4 and all("R" in flag for flag in flags),
              "attrib does not show them read-only: %r" % out)

        code, lines = self.rm('-r "%s"' % windows)
        check(code == 0 and lines == [], "status %d, standard error %r" % (code, lines))
        self.check_gone(unix, "the package folder")
        check(os.path.isdir(self.saved_unix), "the save area went too")
        check(snapshot(other_unix) == other, "the other package's folder changed")

    def test_paths_longer_than_max_path(self):
        windows, unix = self.package()
        deep = "/".join(["folder %d %s" % (i, "x" * 60) for i in range(5)]) + "/leaf.txt"
        make_tree(unix, {deep: b"deep", "top.txt": b"top"})
        check(len(windows) + len(deep) > 400, "the tree is not deep enough")
        make_read_only(os.path.join(unix, deep))
        code, lines = self.rm('-R "%s"' % windows)
        check(code == 0 and lines == [], "deep tree: status %d, standard error %r" % (code, lines))
        self.check_gone(unix, "the package folder")

        # The operand itself is longer than MAX_PATH.
        name = "long " + "y" * 120
        long_windows = "%s\\%s\\%s\\%s" % (self.saved, name, name, PKG)
        long_unix = os.path.join(self.saved_unix, name, name, PKG)
        check(len(long_windows) > 260, "the operand is too short")
        make_tree(long_unix, {"sub/f.txt": b"f"})
        code, lines = self.rm('-r "%s"' % long_windows)
        check(code == 0 and lines == [], "long operand: status %d, standard error %r" % (
            code, lines))
        self.check_gone(long_unix, "the long package folder")
        check(os.path.isdir(os.path.join(self.saved_unix, name, name)), "its parent went too")

    def test_missing_operand(self):
        windows, unix = self.package()
        check(not os.path.exists(unix), "left over from an earlier test")
        code, lines = self.rm('-r "%s"' % windows)
        check(code == 1, "status %d" % code)
        self.check_failure_lines(lines, [windows])

    def test_non_ascii_path_on_standard_error(self):
        # The batch file is ASCII; the name comes through an environment variable, as Wine
        # passes it on from UTF-8.
        name = self.saved + "\\Zoë Øre 日本 " + PKG
        code, lines = self.rm('-r "%RM_TEST_NAME%"', extra={"RM_TEST_NAME": name})
        check(code == 1, "status %d" % code)
        self.check_failure_lines(lines, [name])

    def test_usage_errors_remove_nothing(self):
        windows, unix = self.package()
        make_tree(unix, {"f.txt": b"f", "sub/g.txt": b"g"})
        before = snapshot(unix)
        for arguments, first in [("", "rm: missing operand"), ("-r", "rm: missing operand"),
                                 ('-x "%s"' % windows, "rm: unknown option '-x'"),
                                 ('-rf "%s"' % windows, "rm: unknown option '-rf'"),
                                 ('--recursive "%s"' % windows,
                                  "rm: unknown option '--recursive'")]:
            code, lines = self.rm(arguments)
            check(code == 1 and lines == [first, USAGE],
                  "rm %s: status %d, standard error %r" % (arguments, code, lines))
            check(snapshot(unix) == before, "rm %s changed the folder" % arguments)
        code, lines = self.rm('"%s"' % windows)
        check(code == 1, "a folder without -r: status %d" % code)
        check(lines == ["rm: cannot remove '%s': Is a directory (use -r to remove a folder and "
                        "everything in it)" % windows], "standard error %r" % lines)
        check(snapshot(unix) == before, "rm without -r changed the folder")

    def test_several_operands(self):
        first_windows, first_unix = self.package()
        second_windows, second_unix = self.package(PKG2)
        missing_windows, _ = self.package("00000000-0000-0000-0000-000000000000")
        make_tree(first_unix, {"a/b.txt": b"b"})
        make_tree(second_unix, {"c.txt": b"c"})
        make_tree(self.saved_unix, {"loose file.txt": b"l"})
        file_windows = self.saved + "\\loose file.txt"
        code, lines = self.rm('-r "%s" "%s" "%s" "%s"' % (first_windows, missing_windows,
                                                          second_windows, file_windows))
        check(code == 1, "status %d" % code)
        self.check_failure_lines(lines, [missing_windows])
        self.check_gone(first_unix, "the first folder")
        self.check_gone(second_unix, "the second folder")
        self.check_gone(os.path.join(self.saved_unix, "loose file.txt"), "the file")

        make_tree(first_unix, {"a.txt": b"a"})
        make_tree(second_unix, {"b.txt": b"b"})
        code, lines = self.rm('-r "%s" "%s"' % (first_windows, second_windows))
        check(code == 0 and lines == [], "all there: status %d, standard error %r" % (code, lines))
        self.check_gone(first_unix, "the first folder")
        self.check_gone(second_unix, "the second folder")

    def test_link_inside_is_not_entered(self):
        windows, unix = self.package()
        outside = os.path.join(self.wine.work, "outside the package")
        make_tree(outside, {"precious.db": b"keep", "inner/more.db": b"keep too"})
        before = snapshot(outside)
        make_tree(unix, {"a.txt": b"a", "AppData/b.txt": b"b"})
        os.symlink(outside, os.path.join(unix, "AppData", "link"))
        code, lines = self.rm('-r "%s"' % windows)
        check(snapshot(outside) == before, "what the link points to changed")
        check(not os.path.exists(os.path.join(unix, "a.txt")) and
              not os.path.exists(os.path.join(unix, "AppData", "b.txt")),
              "the rest of the package folder is still there")
        if code == 0:
            self.check_gone(unix, "the package folder")
        else:
            # Wine's RemoveDirectoryW does not remove a Unix link (Windows removes a link): the
            # link and the folders above it stay, and rm says so.
            left = sorted(snapshot(unix)) if os.path.isdir(unix) else []
            check(code == 1 and left == ["AppData", "AppData/link"],
                  "status %d, left %r" % (code, left))
            check(lines and all(line.startswith("rm: cannot remove '%s" % windows)
                                for line in lines), "standard error %r" % lines)
            os.remove(os.path.join(unix, "AppData", "link"))

    def brenthaul(self, switch, extra=None):
        """Runs the Brenthaul.exe beside rm.exe with `switch` and the package id, rm.exe and the
        robocopy stand-in on its search path. Returns its standard error lines."""
        self.wine.clear_log()
        env = dict(self.search_path, **(extra or {}))
        code, out, err = self.wine.run([self.brenthaul_exe, switch, PKG], user=USER, extra=env)
        check(code == 0 and out == b"", "%s: status %d, standard output %r" % (switch, code, out))
        return err.decode("utf-8").splitlines()

    def test_cleansave_and_cleanrestore_by_the_release_exe(self):
        local_unix = os.path.join(self.wine.unix_local_vfs(USER), PKG)
        saved_windows, saved_unix = self.package()
        make_tree(local_unix, package_files(5))
        original = package_tree(5)
        no_copy = {"BRENTHAUL_E2E_ROBOCOPY_STATUS": "0"}  # the stand-in copies nothing

        # The first save: no saved copy yet, so rm fails and says so; the mirror makes it.
        lines = self.brenthaul("/cleansave")
        self.check_failure_lines(lines, [saved_windows])
        e2e.check_same_tree(original, saved_unix, "after the first /cleansave")

        # A saved copy with stale and read-only entries: the clean step removes all of it.
        make_tree(saved_unix, {"stale folder/stale.txt": b"old", "read-only.dll": b"MZ"})
        make_read_only(os.path.join(saved_unix, "read-only.dll"))
        make_read_only(os.path.join(saved_unix, "stale folder"))
        lines = self.brenthaul("/cleansave", no_copy)
        check(lines == [], "standard error %r" % lines)
        check(self.wine.commands() == [e2e.robocopy(e2e.local_vfs(USER) + "\\" + PKG,
                                                    saved_windows)],
              "commands %r" % self.wine.commands())
        self.check_gone(saved_unix, "the saved copy, after /cleansave")
        e2e.check_same_tree(original, local_unix, "the local copy after /cleansave")
        lines = self.brenthaul("/cleansave")
        e2e.check_same_tree(original, saved_unix, "after /cleansave with the mirror")

        make_tree(local_unix, {"local only/x.txt": b"x"})
        make_read_only(os.path.join(local_unix, "local only", "x.txt"))
        lines = self.brenthaul("/cleanrestore", no_copy)
        check(lines == [], "standard error %r" % lines)
        self.check_gone(local_unix, "the local copy, after /cleanrestore")
        self.brenthaul("/cleanrestore")
        e2e.check_same_tree(original, local_unix, "after /cleanrestore with the mirror")


def run_all(suite, wine, rm_exe):
    """Runs every test above, each after emptying the users' App-V folders."""
    tests = RmTests(suite, wine, rm_exe)
    suite.label = "rm"
    print("--- %s (rm.exe, with the Brenthaul.exe beside it)" % rm_exe, flush=True)
    names = [name for name in dir(RmTests) if name.startswith("test_")]
    names.sort(key=lambda name: getattr(RmTests, name).__code__.co_firstlineno)
    for name in names:
        make_writable(wine.users_folder())
        wine.reset_profiles()
        suite.test(name[len("test_"):].replace("_", " "), getattr(tests, name))
    make_writable(wine.users_folder())
    suite.label = ""
