#!/usr/bin/python3
"""Inspects built Brenthaul.exe and rm.exe files as an administrator receives them.

    /usr/bin/python3 tests/pe/check_exes.py build/windows-x86/Brenthaul.exe build/windows-x64/Brenthaul.exe \
        build/windows-x86/rm.exe build/windows-x64/rm.exe

For each exe: machine type (from the build folder's name: x86 is i386, x64 is AMD64), console
subsystem, every field and string of the version resource (the strings chosen by the exe's file
name), the manifest's execution level and uiAccess, for Brenthaul.exe the icon in group 101 (64 x 64
at 24 bits per pixel, the image of cli/brenthaul.ico), the imported DLLs (Windows' own only, and
for each exe only those it needs), no symbol table, ASLR and DEP, no build time stamp, and for
Brenthaul.exe the message table of its events (exactly the ids of common/events.h, each message
"%1"). The 32-bit exes, the release, must also stay within 64 KiB each. Prints one PASS or FAIL line per check
and exits non-zero on any failure.
"""

import os
import re
import struct
import sys
import xml.etree.ElementTree as ElementTree

import pefile

REPO = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
ICON_FILE = os.path.join(REPO, "cli", "brenthaul.ico")
EVENTS_HEADER = os.path.join(REPO, "common", "events.h")

VERSION = (1, 3, 0, 0)
VOS_NT_WINDOWS32 = 0x00040004
VFT_APP = 0x00000001
VS_FFI_SIGNATURE = 0xFEEF04BD
STRING_BLOCK = "040904b0"


def version_strings(file_name, description):
    return {
        "FileDescription": description,
        "FileVersion": "1.3.0.0",
        "ProductVersion": "1.3.0.0",
        "InternalName": file_name,
        "OriginalFilename": file_name,
        "ProductName": "Brenthaul",
    }


# What each exe must carry, by its file name (lower case): its version strings, whether it has
# the application icon, and the DLLs it may import. msvcrt.dll is the C runtime that ships with
# every Windows version; USER32 (the debug boxes) and ADVAPI32 (GetUserNameW) are Brenthaul's.
EXPECTED = {
    "brenthaul.exe": {
        "strings": version_strings("Brenthaul.exe", "Move App-V 5 App Related Data"),
        "icon": True,
        "events": True,
        "dlls": {"kernel32.dll", "user32.dll", "advapi32.dll", "msvcrt.dll"},
    },
    "rm.exe": {
        "strings": version_strings("rm.exe", "Remove files and folders"),
        "icon": False,
        "events": False,
        "dlls": {"kernel32.dll", "msvcrt.dll"},
    },
}
TRANSLATION = "0x0409 0x04b0"  # U.S. English, code page 1200 (Unicode)

MESSAGE_TABLE = 1
MESSAGE_LANGUAGE = 0x0409  # U.S. English, the language cli/brenthaul_events.mc gives
MESSAGE_UNICODE = 0x0001  # MESSAGE_RESOURCE_UNICODE

ICON_GROUP = 101
ICON_SIZE = 64
ICON_BITS = 24

COMPILER_DLL_PREFIXES = ("libgcc", "libstdc++", "libwinpthread")

RELEASE_SIZE_LIMIT = 64 * 1024

ASM_V3 = "{urn:schemas-microsoft-com:asm.v3}"
ASM_V1 = "{urn:schemas-microsoft-com:asm.v1}"

failures = 0


def check(exe, name, ok, detail=""):
    global failures
    if not ok:
        failures += 1
    line = "%s  %s: %s" % ("PASS" if ok else "FAIL", exe, name)
    print(line + (" (%s)" % detail if detail and not ok else ""))


def expected_machine(path):
    """The machine type that the exe's build folder names, or None when it names none."""
    folder = os.path.basename(os.path.dirname(os.path.abspath(path))).lower()
    if "x64" in folder or "x86_64" in folder or "amd64" in folder:
        return pefile.MACHINE_TYPE["IMAGE_FILE_MACHINE_AMD64"], "AMD64"
    if "x86" in folder or "i686" in folder or "i386" in folder:
        return pefile.MACHINE_TYPE["IMAGE_FILE_MACHINE_I386"], "i386"
    return None, None


def resource_data(pe, type_id, resource_id):
    """The bytes of the first language of resource `resource_id` of type `type_id`, or None."""
    if not hasattr(pe, "DIRECTORY_ENTRY_RESOURCE"):
        return None
    for resource_type in pe.DIRECTORY_ENTRY_RESOURCE.entries:
        if resource_type.id != type_id:
            continue
        for entry in resource_type.directory.entries:
            if entry.id == resource_id and entry.directory.entries:
                data = entry.directory.entries[0].data.struct
                return pe.get_data(data.OffsetToData, data.Size)
    return None


def check_machine_and_subsystem(pe, exe, path):
    machine, machine_name = expected_machine(path)
    actual = pe.FILE_HEADER.Machine
    check(exe, "machine type %s" % (machine_name or "?"), machine is not None and actual == machine,
          "found 0x%04x" % actual)
    subsystem = pe.OPTIONAL_HEADER.Subsystem
    check(exe, "console subsystem",
          subsystem == pefile.SUBSYSTEM_TYPE["IMAGE_SUBSYSTEM_WINDOWS_CUI"],
          "found %d" % subsystem)
    return machine_name


def check_version(pe, exe, expected_strings):
    fixed = pe.VS_FIXEDFILEINFO[0] if getattr(pe, "VS_FIXEDFILEINFO", None) else None
    check(exe, "version resource present", fixed is not None)
    if fixed is None:
        return
    check(exe, "fixed version info signature", fixed.Signature == VS_FFI_SIGNATURE)
    ms = (VERSION[0] << 16) | VERSION[1]
    ls = (VERSION[2] << 16) | VERSION[3]
    found_file = (fixed.FileVersionMS >> 16, fixed.FileVersionMS & 0xFFFF,
                  fixed.FileVersionLS >> 16, fixed.FileVersionLS & 0xFFFF)
    found_product = (fixed.ProductVersionMS >> 16, fixed.ProductVersionMS & 0xFFFF,
                     fixed.ProductVersionLS >> 16, fixed.ProductVersionLS & 0xFFFF)
    check(exe, "file version 1.3.0.0",
          (fixed.FileVersionMS, fixed.FileVersionLS) == (ms, ls),
          "found %d.%d.%d.%d" % found_file)
    check(exe, "product version 1.3.0.0",
          (fixed.ProductVersionMS, fixed.ProductVersionLS) == (ms, ls),
          "found %d.%d.%d.%d" % found_product)
    check(exe, "file OS VOS_NT_WINDOWS32", fixed.FileOS == VOS_NT_WINDOWS32,
          "found 0x%x" % fixed.FileOS)
    check(exe, "file type VFT_APP", fixed.FileType == VFT_APP, "found 0x%x" % fixed.FileType)
    check(exe, "file flags none", fixed.FileFlags & fixed.FileFlagsMask == 0,
          "found 0x%x" % fixed.FileFlags)

    tables = {}
    translations = []
    for info in getattr(pe, "FileInfo", []):
        for block in info:
            for table in getattr(block, "StringTable", []):
                tables[table.LangID.decode("ascii", "replace").lower()] = {
                    key.decode("utf-8", "replace"): value.decode("utf-8", "replace")
                    for key, value in table.entries.items()
                }
            for var in getattr(block, "Var", []):
                if b"Translation" in var.entry:
                    translations.append(var.entry[b"Translation"])
    check(exe, "one string block %s" % STRING_BLOCK, list(tables) == [STRING_BLOCK],
          "found %s" % ", ".join(sorted(tables)))
    strings = tables.get(STRING_BLOCK, {})
    for key, value in expected_strings.items():
        check(exe, "string %s = %r" % (key, value), strings.get(key) == value,
              "found %r" % strings.get(key))
    extra = sorted(set(strings) - set(expected_strings))
    check(exe, "no other version strings", not extra, ", ".join(extra))
    check(exe, "translation 0x0409, 1200", translations == [TRANSLATION],
          "found %s" % translations)


def check_manifest(pe, exe):
    data = resource_data(pe, pefile.RESOURCE_TYPE["RT_MANIFEST"], 1)
    check(exe, "manifest resource 1 present", data is not None)
    if data is None:
        return
    try:
        root = ElementTree.fromstring(data)
    except ElementTree.ParseError as error:
        check(exe, "manifest is well-formed XML", False, str(error))
        return
    check(exe, "manifest root is an asm.v1 assembly", root.tag == ASM_V1 + "assembly", root.tag)
    levels = [element for element in root.iter() if element.tag.endswith("requestedExecutionLevel")]
    check(exe, "one requestedExecutionLevel", len(levels) == 1, "found %d" % len(levels))
    if len(levels) != 1:
        return
    level = levels[0]
    check(exe, "requestedExecutionLevel in the asm.v3 trustInfo namespace",
          level.tag == ASM_V3 + "requestedExecutionLevel", level.tag)
    check(exe, "execution level asInvoker", level.get("level") == "asInvoker",
          "found %r" % level.get("level"))
    check(exe, "uiAccess false", level.get("uiAccess") == "false",
          "found %r" % level.get("uiAccess"))
    # Nothing else in the manifest may touch privileges.
    others = sorted({element.tag.split("}")[-1] for element in root.iter()
                     if element.tag.split("}")[-1] in ("autoElevate", "requestedPrivilege")})
    check(exe, "no other privilege requests", not others, ", ".join(others))


def check_icon(pe, exe):
    group = resource_data(pe, pefile.RESOURCE_TYPE["RT_GROUP_ICON"], ICON_GROUP)
    check(exe, "icon group %d present" % ICON_GROUP, group is not None)
    if group is None:
        return
    reserved, kind, count = struct.unpack_from("<HHH", group, 0)
    check(exe, "icon group %d holds one icon" % ICON_GROUP,
          reserved == 0 and kind == 1 and count == 1 and len(group) == 6 + 14 * count,
          "type %d, %d entries" % (kind, count))
    if count < 1 or len(group) < 6 + 14:
        return
    width, height, colours, _, planes, bits, size, icon_id = struct.unpack_from("<BBBBHHIH", group, 6)
    width = width or 256
    height = height or 256
    check(exe, "icon entry %dx%d at %d bits" % (ICON_SIZE, ICON_SIZE, ICON_BITS),
          (width, height, bits, planes, colours) == (ICON_SIZE, ICON_SIZE, ICON_BITS, 1, 0),
          "found %dx%d, %d bits, %d planes" % (width, height, bits, planes))
    image = resource_data(pe, pefile.RESOURCE_TYPE["RT_ICON"], icon_id)
    check(exe, "icon image %d present" % icon_id, image is not None and len(image) == size)
    if image is None or len(image) < 40:
        return
    header_size, bmp_width, bmp_height, _, bmp_bits, compression = struct.unpack_from(
        "<IiiHHI", image, 0)
    # The bitmap's height counts the colour image and the transparency mask together.
    check(exe, "icon bitmap %dx%d at %d bits, uncompressed" % (ICON_SIZE, ICON_SIZE, ICON_BITS),
          (header_size, bmp_width, bmp_height, bmp_bits, compression) ==
          (40, ICON_SIZE, 2 * ICON_SIZE, ICON_BITS, 0),
          "found %dx%d at %d bits" % (bmp_width, bmp_height // 2, bmp_bits))
    with open(ICON_FILE, "rb") as stream:
        icon_file = stream.read()
    offset = struct.unpack_from("<I", icon_file, 6 + 12)[0]
    check(exe, "icon image is cli/brenthaul.ico's", image == icon_file[offset:])


def event_ids():
    """The event ids the code records: {name: id} from common/events.h."""
    with open(EVENTS_HEADER, encoding="utf-8") as header:
        text = header.read()
    return {name: int(value)
            for name, value in re.findall(r"const unsigned (kEvent\w+) = (\d+);", text)
            if name not in ("kEventError", "kEventWarning")}


def message_table(data):
    """The messages of a MESSAGE_RESOURCE_DATA block: {id: (flags, text)}."""
    messages = {}
    (blocks,) = struct.unpack_from("<I", data, 0)
    for block in range(blocks):
        low, high, offset = struct.unpack_from("<III", data, 4 + 12 * block)
        for message_id in range(low, high + 1):
            length, flags = struct.unpack_from("<HH", data, offset)
            raw = data[offset + 4:offset + length]
            text = raw.decode("utf-16-le" if flags & MESSAGE_UNICODE else "cp1252")
            messages[message_id] = (flags, text.rstrip("\0"))
            offset += length
    return messages


def check_message_table(pe, exe):
    data = resource_data(pe, pefile.RESOURCE_TYPE["RT_MESSAGETABLE"], MESSAGE_TABLE)
    check(exe, "message table %d present" % MESSAGE_TABLE, data is not None)
    if data is None:
        return
    languages = [language.id
                 for resource_type in pe.DIRECTORY_ENTRY_RESOURCE.entries
                 if resource_type.id == pefile.RESOURCE_TYPE["RT_MESSAGETABLE"]
                 for entry in resource_type.directory.entries
                 for language in entry.directory.entries]
    check(exe, "message table in U.S. English only", languages == [MESSAGE_LANGUAGE],
          "found %s" % ", ".join("0x%04x" % language for language in languages))
    try:
        messages = message_table(data)
    except (struct.error, UnicodeDecodeError) as error:
        check(exe, "message table readable", False, str(error))
        return
    wanted = event_ids()
    check(exe, "common/events.h names event ids", len(wanted) >= 6, "found %r" % wanted)
    check(exe, "message ids are common/events.h's: %s"
          % ", ".join("%s %d" % item for item in sorted(wanted.items(), key=lambda i: i[1])),
          sorted(messages) == sorted(wanted.values()),
          "the table holds %s" % sorted(messages))
    # The message compiler ends each message with a line break; the text itself is "%1".
    others = {message_id: text for message_id, (flags, text) in messages.items()
              if text.rstrip("\r\n") != "%1" or not flags & MESSAGE_UNICODE}
    check(exe, "each message is \"%1\", in UTF-16", not others, "found %r" % others)


def check_imports(pe, exe, path, machine_name, allowed_dlls):
    dlls = [entry.dll.decode("ascii", "replace")
            for entry in getattr(pe, "DIRECTORY_ENTRY_IMPORT", [])]
    dlls += [entry.dll.decode("ascii", "replace")
             for entry in getattr(pe, "DIRECTORY_ENTRY_DELAY_IMPORT", [])]
    print("      %s imports: %s" % (exe, ", ".join(dlls) or "nothing"))
    compiler = [dll for dll in dlls if dll.lower().startswith(COMPILER_DLL_PREFIXES)]
    check(exe, "no compiler runtime DLL (libgcc, libstdc++, libwinpthread)", not compiler,
          ", ".join(compiler))
    others = [dll for dll in dlls if dll.lower() not in allowed_dlls]
    check(exe, "imports only %s" % ", ".join(sorted(allowed_dlls)), not others, ", ".join(others))
    check(exe, "statically linked and stripped (no symbol table)",
          pe.FILE_HEADER.PointerToSymbolTable == 0 and pe.FILE_HEADER.NumberOfSymbols == 0,
          "%d symbols" % pe.FILE_HEADER.NumberOfSymbols)
    flags = pe.OPTIONAL_HEADER.DllCharacteristics
    wanted = (pefile.DLL_CHARACTERISTICS["IMAGE_DLLCHARACTERISTICS_DYNAMIC_BASE"] |
              pefile.DLL_CHARACTERISTICS["IMAGE_DLLCHARACTERISTICS_NX_COMPAT"])
    check(exe, "ASLR and DEP enabled", flags & wanted == wanted, "flags 0x%x" % flags)
    # A build time in the header would make every build's bytes differ.
    check(exe, "no build time stamp in the PE header", pe.FILE_HEADER.TimeDateStamp == 0,
          "found %d" % pe.FILE_HEADER.TimeDateStamp)
    size = os.path.getsize(path)
    if machine_name == "i386":
        check(exe, "release size %d bytes, at most 64 KiB" % size, size <= RELEASE_SIZE_LIMIT)
    else:
        print("      %s size: %d bytes" % (exe, size))


def inspect(path):
    exe = os.path.relpath(path)
    try:
        pe = pefile.PE(path)
    except (OSError, pefile.PEFormatError) as error:
        check(exe, "readable PE file", False, str(error))
        return
    expected = EXPECTED.get(os.path.basename(path).lower())
    check(exe, "a known exe (%s)" % ", ".join(sorted(EXPECTED)), expected is not None)
    if expected is None:
        return
    machine_name = check_machine_and_subsystem(pe, exe, path)
    check_version(pe, exe, expected["strings"])
    check_manifest(pe, exe)
    if expected["icon"]:
        check_icon(pe, exe)
    if expected["events"]:
        check_message_table(pe, exe)
    check_imports(pe, exe, path, machine_name, expected["dlls"])


def main(paths):
    if not paths:
        print("usage: check_exes.py EXE...", file=sys.stderr)
        return 2
    for path in paths:
        inspect(path)
    print("%s: %d check(s) failed" % ("FAIL" if failures else "PASS", failures))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
