#!/usr/bin/python3
"""The tool's overhead under Wine: `wine Brenthaul.exe /save <id>` against
`wine C:\windows\system32\cmd.exe /c` with the very robocopy command line the tool runs, a
stand-in robocopy that returns 0 at once standing in for the real one. Both sides start under Wine
from Linux once (`wine`), and both end in the same cmd.exe running the same robocopy; the tool's
side has exactly one process more, Brenthaul.exe itself, which starts cmd through _wsystem. So the
difference between the two is the tool's own start and its own work, nothing else. Two traps make
other pairs unfair: `wine cmd /c Brenthaul.exe ...` adds a second cmd.exe to the tool's side, and
`wine cmd` (cmd named without a path) makes Wine start it through start.exe, which adds a process
to the direct side. The script prints the chain of programs each side loads, to show that.

Usage: wine_overhead.py EXE STUB_FOLDER RUNS
Prints the medians of each side, their ratio and the spread. Uses a fresh WINEPREFIX of its own,
keeps its wineserver warm (`wineserver -p`) and stops it at the end.
"""
import getpass
import os
import re
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

PACKAGE_ID = "6f2b8a2e-3d41-4c5e-9a7b-0c1d2e3f4a5b"


def windows_path(path):
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def main():
    exe, stub_folder, runs = sys.argv[1], sys.argv[2], int(sys.argv[3])
    prefix = tempfile.mkdtemp(prefix="brenthaul-bench-wine.")
    env = dict(os.environ, WINEPREFIX=prefix, WINEDEBUG="-all", WINEDLLOVERRIDES="mscoree,mshtml=",
               WINEPATH=windows_path(stub_folder))
    env.pop("DISPLAY", None)  # no message box is shown: /save without /debug
    user = env.get("USER") or getpass.getuser()
    env["USER"] = user

    errors = os.path.join(prefix, "stderr.txt")

    def wine(arguments, extra=None):
        # Standard error goes to a file, not a pipe: Wine's background processes (services,
        # winedevice) inherit it and would hold a pipe open long after the program ended.
        with open(errors, "w") as error_file:
            result = subprocess.run(["wine"] + arguments, env=dict(env, **(extra or {})),
                                    stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                    stderr=error_file)
        with open(errors) as error_file:
            result.stderr = error_file.read()
        return result

    local = f"C:\\Users\\{user}\\AppData\\Local\\Microsoft\\AppV\\Client\\VFS\\{PACKAGE_ID}"
    saved = (f"C:\\Users\\{user}\\AppData\\Roaming\\Microsoft\\AppV\\Client\\VFS\\SavedFromLocal\\"
             f"{PACKAGE_ID}")
    if " " in user or '"' in user:
        sys.exit("wine_overhead: the user name must have no blank or quote for the direct side")
    # The tool's mirror command, given to cmd as separate words: Wine turns inner double quotes
    # into \", and these folders hold no blank, so the quotes change nothing for cmd.
    tool = [exe, "/save", PACKAGE_ID]
    direct = ["C:\\windows\\system32\\cmd.exe", "/c", "robocopy", local, saved,
              "/MIR", "/NS", "/NC", "/NFL", "/NDL", "/NP", ">", "nul"]
    try:
        start = time.perf_counter()
        # Creates the prefix. Its set-up goes on in the background after cmd has ended; waiting
        # for the wineserver to exit lets it finish before anything is timed.
        wine(["cmd", "/c", "exit"])
        subprocess.run(["wineserver", "-w"], env=env, check=True)
        print(f"  prefix ready in {time.perf_counter() - start:.1f} s")
        subprocess.run(["wineserver", "-p"], env=env, check=True)
        for _ in range(3):  # warm-up, not counted; the first run starts Wine's services
            wine(tool)
            wine(direct)
        for label, side in (("tool", tool), ("direct", direct)):
            # The stand-in is the robocopy found, both sides end 0, and each loads the programs
            # it should and no others.
            result = wine(side, {"BRENTHAUL_BENCH_ECHO": "1", "WINEDEBUG": "-all,+loaddll"})
            if result.returncode != 0 or "stand-in robocopy" not in result.stderr:
                sys.exit(f"wine_overhead: {side[0]} did not run the stand-in robocopy "
                         f"(status {result.returncode}): {result.stderr.strip()[-2000:]}")
            chain = re.findall(r'Loaded L"([^"]*\.exe)"', result.stderr)
            print(f"  {label:6} runs: " + " -> ".join(name.split("\\")[-1] for name in chain))
        # For scale: the start of a program that does nothing (the stand-in itself), the least
        # any extra process costs under Wine on this machine.
        floor = [os.path.join(stub_folder, "robocopy.exe")]
        times = {"tool": [], "direct": [], "floor": []}
        for i in range(runs):
            # Interleaved, the order swapped every run, so a drift in the machine's load hits
            # both sides alike.
            order = [("tool", tool), ("direct", direct), ("floor", floor)]
            for name, side in (order if i % 2 == 0 else order[::-1]):
                start = time.perf_counter()
                result = wine(side)
                times[name].append(time.perf_counter() - start)
                if result.returncode != 0:
                    sys.exit(f"wine_overhead: {name} ended with status {result.returncode}: "
                             f"{result.stderr.strip()}")
        tool_median = statistics.median(times["tool"])
        direct_median = statistics.median(times["direct"])
        for name, label in (("tool", "wine Brenthaul.exe /save <id>"),
                            ("direct", "wine ...\\cmd.exe /c robocopy <same>"),
                            ("floor", "wine robocopy.exe (a do-nothing exe)")):
            values = sorted(times[name])
            print(f"  {label:36} median {statistics.median(values) * 1000:7.1f} ms   "
                  f"min {values[0] * 1000:7.1f}   max {values[-1] * 1000:7.1f}   ({len(values)} runs)")
        print(f"  ratio of medians (tool / direct): {tool_median / direct_median:.3f}   "
              f"the tool's own start: {(tool_median - direct_median) * 1000:.1f} ms")
        print(f"  ratio of minima (less sensitive to other load): "
              f"{min(times['tool']) / min(times['direct']):.3f}")
    finally:
        subprocess.run(["wineserver", "-k"], env=env)
        subprocess.run(["wineserver", "-w"], env=env)
        shutil.rmtree(prefix, ignore_errors=True)


if __name__ == "__main__":
    main()
