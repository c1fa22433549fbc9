#!/usr/bin/env python3
"""Checks the Windows zip of a release: exactly the expected members,
raysphere.exe (64-bit), the 32-bit plug-in and host at the top and the
64-bit pair under 64-bit/, each a
PE file for its machine with the version resource of the release, the
plug-in's one export and system imports, its about box and the committed
about bitmap, and the texts with Windows line endings.

Usage: check_zip.py ZIP VERSION OBJDUMP32 OBJDUMP64
"""

import os
import struct
import subprocess
import sys
import tempfile
import zipfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "dll"))
import check_dll  # noqa: E402
from check_dll import CheckFailed, require  # noqa: E402

# Member: machine for programs and libraries, None for texts.
MEMBERS = {
    "raysphere.exe": "x86-64",
    "vis_raysphere.dll": "i386",
    "vis_raysphere_scenes.dll": "i386",
    "vis_player.exe": "i386",
    "64-bit/vis_raysphere.dll": "x86-64",
    "64-bit/vis_raysphere_scenes.dll": "x86-64",
    "64-bit/vis_player.exe": "x86-64",
    "README.txt": None,
    "LICENSE.txt": None,
    "NOTICES.txt": None,
}
IMAGE_FILE_DLL = 0x2000
ABOUT_BITMAP = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "resources", "about.bmp")
README_TOPICS = ("raysphere.exe", "--capture", "Plugins", "vis_player.exe", "wine", "64-bit", "--desktop")


def check_text(name, data, version):
    require(len(data) > 0, "%s is empty" % name)
    require(data.endswith(b"\r\n"), "%s does not end with a line break" % name)
    require(data.count(b"\n") == data.count(b"\r\n"), "%s has lines ending without a carriage return" % name)
    require(data.count(b"\r") == data.count(b"\r\n"), "%s has a lone carriage return" % name)
    text = data.decode("utf-8")
    if name == "README.txt":
        require("@VERSION@" not in text and version in text, "README.txt does not give version %s" % version)
        for topic in README_TOPICS:
            require(topic in text, "README.txt says nothing of %s" % topic)
    if name == "LICENSE.txt":
        require(text.startswith("MIT License"), "LICENSE.txt is not the MIT licence")


def check_program(name, data, machine, version, objdump):
    headers = check_dll.read_headers(data)
    want_machine, want_magic = check_dll.MACHINES[machine]
    require(headers["machine"] == want_machine, "%s: machine 0x%04x, not %s" % (name, headers["machine"], machine))
    require(headers["magic"] == want_magic, "%s: optional header magic 0x%x" % (name, headers["magic"]))
    is_library = name.endswith(".dll")
    require(bool(headers["characteristics"] & IMAGE_FILE_DLL) == is_library, "%s: DLL flag wrong" % name)
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    stamp = struct.unpack_from("<I", data, pe + 8)[0]
    require(stamp == 0, "%s: a link time stamp 0x%08x: the file differs from build to build" % (name, stamp))
    try:
        found = check_dll.check_version_resource(data, headers, version)
    except CheckFailed as failure:
        raise CheckFailed("%s: %s" % (name, failure))
    require(found["strings"].get("OriginalFilename") == os.path.basename(name), "%s: OriginalFilename %r" % (name, found["strings"].get("OriginalFilename")))
    with tempfile.NamedTemporaryFile(suffix=os.path.splitext(name)[1]) as copy:
        copy.write(data)
        copy.flush()
        linked = check_dll.read_objdump(objdump, copy.name)
    if is_library:
        with open(ABOUT_BITMAP, "rb") as committed:
            about = committed.read()
        try:
            check_dll.check_links(linked)
            check_dll.check_resources(data, headers, about)
        except CheckFailed as failure:
            raise CheckFailed("%s: %s" % (name, failure))
    else:
        require(linked["export_count"] == 0, "%s exports %d names" % (name, linked["export_count"]))
        # The programs also use COM (the audio devices) and the shell's tags.
        programs = {"winmm.dll", "advapi32.dll", "ole32.dll", "shell32.dll"}
        foreign = [n for n in linked["imports"] if n.lower() not in check_dll.SYSTEM_LIBRARIES | programs]
        require(not foreign, "%s imports libraries Windows does not ship: %s" % (name, ", ".join(foreign)))
    return "%-26s %-6s %8d bytes, version %s, exports %s, imports %s" % (
        name, machine, len(data), found["file"], ", ".join(linked["exports"]) or "none", ", ".join(linked["imports"]))


def main():
    if len(sys.argv) != 5:
        sys.exit(__doc__)
    path, version, objdump32, objdump64 = sys.argv[1:]
    objdumps = {"i386": objdump32, "x86-64": objdump64}
    try:
        with zipfile.ZipFile(path) as archive:
            require(archive.testzip() is None, "a member's checksum is wrong")
            names = [info.filename for info in archive.infolist()]
            require(names == sorted(names), "members are not in name order: %s" % names)
            require(sorted(names) == sorted(MEMBERS), "members %s, not %s" % (sorted(names), sorted(MEMBERS)))
            stamps = {info.date_time for info in archive.infolist()}
            require(len(stamps) == 1, "members carry %d different dates" % len(stamps))
            for name in names:
                data = archive.read(name)
                machine = MEMBERS[name]
                if machine is None:
                    check_text(name, data, version)
                    print("%-26s text   %8d bytes, CRLF line endings" % (name, len(data)))
                else:
                    print(check_program(name, data, machine, version, objdumps[machine]))
    except CheckFailed as failure:
        print("%s: FAILED: %s" % (path, failure))
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
