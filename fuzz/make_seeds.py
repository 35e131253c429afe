#!/usr/bin/python3
"""Writes the fuzzer's seed corpus: one input for every command-line form the tool knows, and a
few for each way the profile can be unusable. The output is the same on every run, so the
checked-in corpus can be compared with a fresh one (fuzz/run.sh --check-seeds does that).

Usage: fuzz/make_seeds.py [FOLDER]   (default: fuzz/corpus beside this script)

Input layout (see fuzz_brenthaul.cpp): a flags byte (argument count mod 5 in bits 0-2; user
name obtained 0x08; SystemDrive set 0x10; folders exist 0x20; a failed user-name lookup
scribbles 0x40), a byte with the command-status index in bits 0-2 and what LOCALAPPDATA and
APPDATA hold in bits 3-4, then NUL-separated fields: user name, SystemDrive, the arguments. In
a field, 0xFF HI LO stands for the UTF-16 code unit 0xHILO (read before the fields are split, so
HI or LO may be 0x00).
"""
import os
import sys

USER = 0x08
DRIVE = 0x10
EXISTS = 0x20
SCRIBBLE = 0x40
NORMAL = USER | DRIVE | EXISTS

ID = "6f2b8a2e-3d41-4c5e-9a7b-0c1d2e3f4a5b"


def encode(text):
    out = bytearray()
    for ch in text:
        code = ord(ch)
        if 0 < code < 0xFF:
            out.append(code)
        else:
            out += bytes([0xFF, (code >> 8) & 0xFF, code & 0xFF])
    return bytes(out)


# Bits 3-4 of the status byte: what LOCALAPPDATA and APPDATA hold.
FOLDERS_UNSET = 0x00
FOLDERS_OWN = 0x08  # the roots themselves, in other letter case and with doubled backslashes
LOCAL_ELSEWHERE = 0x10
ROAMING_ON_A_SHARE = 0x18


def seed(arguments, flags=NORMAL, status=0, user="user1", drive="C:", folders=FOLDERS_UNSET):
    head = bytes([(len(arguments) & 0x07) | flags, status | folders])
    return head + b"\x00".join(encode(field) for field in [user, drive] + list(arguments))


SEEDS = {
    # Every command-line form, accepted and refused.
    "no-arguments": seed([]),
    "four-arguments": seed(["/debug", "/save", ID, "x"]),
    "save": seed(["/save", ID]),
    "restore": seed(["/restore", ID]),
    "cleansave": seed(["/cleansave", ID]),
    "cleanrestore": seed(["/cleanrestore", ID]),
    "save-capitals": seed(["/SAVE", ID.upper()]),
    "debug-save": seed(["/debug", "/save", ID], status=1),
    "save-debug": seed(["/save", "/DEBUG", ID], status=1),
    "debug-cleansave": seed(["/debug", "/cleansave", ID], status=2),
    "cleanrestore-debug": seed(["/cleanrestore", "/debug", ID], status=6),
    "save-restore": seed(["/save", "/restore", ID]),
    "restore-cleansave": seed(["/restore", "/cleansave", ID]),
    "word-save": seed(["hello", "/save", ID]),
    "debug-debug": seed(["/debug", "/debug", ID]),
    "debug-saveall": seed(["/debug", "/saveall", ID]),
    "debug-id": seed(["/debug", ID]),
    "saveall-id": seed(["/saveall", ID]),
    "save-id-debug": seed(["/save", ID, "/debug"]),
    "save-alone": seed(["/save"]),
    "empty-argument": seed([""]),
    "saveall": seed(["/saveall"]),
    "restoreall": seed(["/restoreall"]),
    "cleansaveall": seed(["/cleansaveall"]),
    "cleanrestoreall": seed(["/CleanRestoreAll"]),
    # Ids that are not GUIDs.
    "short-id": seed(["/save", ID[:-1]]),
    "long-id": seed(["/save", ID + "0"]),
    "braced-id": seed(["/save", "{" + ID[:34] + "}"]),
    "dotdot-id": seed(["/cleansave", "..\\" * 12]),
    "quote-id": seed(["/save", ID[:30] + '"&del *']),
    "fullwidth-id": seed(["/save", ID[:-1] + "\uff11"]),
    "long-s-switch": seed(["/\u017fave", ID]),
    "kelvin-switch": seed(["/\u212a", ID]),
    # Unusable or unusual profiles.
    "no-user": seed(["/save", ID], flags=DRIVE | EXISTS),
    "no-user-scribbled": seed(["/save", ID], flags=DRIVE | EXISTS | SCRIBBLE),
    "no-drive": seed(["/saveall"], flags=USER | EXISTS),
    "empty-user": seed(["/save", ID], user=""),
    "quote-user": seed(["/save", ID], user='us"er'),
    "percent-drive": seed(["/restoreall"], drive="%TEMP%"),
    "control-user": seed(["/cleanrestore", ID], user="us\ter\x01"),
    "non-ascii-user": seed(["/cleansave", ID], user="J\u00fcrgen \u5f20\u4e09"),
    "ideographic-space-user": seed(["/restore", ID], user="user\u3000\u0100"),
    "long-user": seed(["/save", ID], user="u" * 256),
    "long-drive": seed(["/saveall"], drive="D:" + "\\x" * 120),
    "source-missing": seed(["/cleansave", ID], flags=USER | DRIVE, status=2),
    # What Windows set for the user at logon, and failing commands: the events.
    "own-folders": seed(["/cleansave", ID], folders=FOLDERS_OWN, status=3),
    "own-folders-drive-backslash": seed(["/saveall"], drive="C:\\", folders=FOLDERS_OWN),
    "local-elsewhere": seed(["/restore", ID], folders=LOCAL_ELSEWHERE),
    "roaming-on-a-share": seed(["/restoreall"], folders=ROAMING_ON_A_SHARE, status=5),
    "saveall-fails": seed(["/saveall"], status=4),
    "cleanrestore-interpreter-missing": seed(["/cleanrestore", ID], status=2),
    "control-id": seed(["/save", "\r\nUser: admin"]),
}


def main():
    folder = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "corpus")
    os.makedirs(folder, exist_ok=True)
    for name, data in sorted(SEEDS.items()):
        with open(os.path.join(folder, name), "wb") as handle:
            handle.write(data)
    print(f"make_seeds: {len(SEEDS)} seeds in {folder}")


if __name__ == "__main__":
    main()
