#!/usr/bin/env python3
"""Checks the built plug-in library the way the player and Windows will see it.

- a PE dynamic library for the expected machine (i386 or x86-64);
- exactly one export, the undecorated winampVisGetHeader;
- imports from libraries that every Windows installation ships, nothing else
  (no libstdc++, libgcc or winpthread DLLs that a player's machine lacks);
- the about box's resources: dialog 101 in the classic (not extended)
  template form with its style, size, caption, font and five controls, and
  bitmap 103, a 320 x 181 24-bit device-independent bitmap, the same pixels
  as resources/about.bmp;
- with --version, the version resource: file and product version, product
  name and a file description (check_version_resource, also used for the
  host program by tests/release).

Exports and imports are read from objdump's report; the resources with the
small reader below.

Usage: check_dll.py DLL --machine i386|x86-64 --objdump OBJDUMP [--bitmap BMP] [--version X.Y.Z]
"""

import argparse
import re
import struct
import subprocess
import sys

# Libraries a Windows installation ships, by lower-case name.
SYSTEM_LIBRARIES = {"kernel32.dll", "user32.dll", "gdi32.dll", "ddraw.dll", "msvcrt.dll"}

MACHINES = {"i386": (0x014C, 0x10B), "x86-64": (0x8664, 0x20B)}  # COFF machine, optional header magic
IMAGE_FILE_DLL = 0x2000
RT_BITMAP = 2
RT_DIALOG = 5
RT_VERSION = 16
VERSION_SIGNATURE = 0xFEEF04BD
PRODUCT_NAME = "raysphere"

# Predefined window classes, as ordinals in a dialog template.
BUTTON = 0x80
STATIC = 0x82

# Dialog 101: caption, style, extended style, position and size, font.
DIALOG = {
    "style": 0x80C800C0,  # WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT
    "exstyle": 0,
    "box": (0, 0, 359, 204),
    "menu": 0,
    "class": 0,
    "caption": "raytraced spheres winamp plugin",
    "font": (8, "MS Sans Serif"),
}

# Its controls in order: class, id, text, (x, y, width, height), style. The
# text of the last one is checked for its form only (INFORMATION_TEXT).
CONTROLS = [
    (BUTTON, 1, "OK", (234, 175, 50, 14), 0x50010001),  # WS_CHILD|WS_VISIBLE|WS_TABSTOP|BS_DEFPUSHBUTTON
    (BUTTON, 2, "Cancel", (294, 175, 50, 14), 0x50010000),  # WS_CHILD|WS_VISIBLE|WS_TABSTOP|BS_PUSHBUTTON
    (BUTTON, 0xFFFF, "Information:", (8, 7, 344, 192), 0x50000007),  # WS_CHILD|WS_VISIBLE|BS_GROUPBOX
    (STATIC, 0xFFFF, 103, (73, 15, 216, 114), 0x5080100E),  # ...|WS_BORDER|SS_SUNKEN|SS_BITMAP
    (STATIC, 0xFFFF, None, (23, 136, 291, 25), 0x50020000),  # WS_CHILD|WS_VISIBLE|WS_GROUP|SS_LEFT
]

# Bitmap 103's header fields: size, width, height, planes, bits per pixel,
# compression, image size, pixels per metre across and down, colours used,
# colours important.
BITMAP_HEADER = (40, 320, 181, 1, 24, 0, 173760, 3779, 3779, 0, 0)
BITMAP_BYTES = 40 + 173760


class CheckFailed(Exception):
    pass


def require(condition, message):
    if not condition:
        raise CheckFailed(message)


# ---- PE headers and sections ----------------------------------------------


def read_headers(image):
    """Machine, characteristics, optional header magic, sections and resource directory."""
    require(len(image) >= 64 and image[:2] == b"MZ", "not an MZ executable")
    pe = struct.unpack_from("<I", image, 0x3C)[0]
    require(image[pe : pe + 4] == b"PE\0\0", "no PE signature")
    machine, section_count, _, _, _, optional_size, characteristics = struct.unpack_from("<HHIIIHH", image, pe + 4)
    optional = pe + 24
    magic = struct.unpack_from("<H", image, optional)[0]
    directories = optional + (96 if magic == 0x10B else 112)
    resource_rva, resource_size = struct.unpack_from("<II", image, directories + 2 * 8)
    sections = []
    table = optional + optional_size
    for i in range(section_count):
        name, virtual_size, rva, raw_size, raw_offset = struct.unpack_from("<8sIIII", image, table + 40 * i)
        sections.append((name.rstrip(b"\0").decode("ascii", "replace"), rva, max(virtual_size, raw_size), raw_offset))
    return {
        "machine": machine,
        "characteristics": characteristics,
        "magic": magic,
        "sections": sections,
        "resources": (resource_rva, resource_size),
    }


def file_offset(headers, rva):
    for _, start, size, raw_offset in headers["sections"]:
        if start <= rva < start + size:
            return raw_offset + rva - start
    raise CheckFailed("address 0x%x lies in no section" % rva)


# ---- Resources --------------------------------------------------------------


def directory_entries(image, at):
    """(id or name offset, is_name, target, is_subdirectory) of one resource directory."""
    named, numbered = struct.unpack_from("<HH", image, at + 12)
    entries = []
    for i in range(named + numbered):
        name, target = struct.unpack_from("<II", image, at + 16 + 8 * i)
        entries.append((name & 0x7FFFFFFF, bool(name & 0x80000000), target & 0x7FFFFFFF, bool(target & 0x80000000)))
    return entries


def locate_resource(image, headers, kind, number):
    """File offset and size of resource `number` of type `kind`, in its first language."""
    rva, size = headers["resources"]
    require(rva != 0 and size != 0, "no resource section")
    root = file_offset(headers, rva)
    level = root
    for wanted in (kind, number):
        matches = [e for e in directory_entries(image, level) if not e[1] and e[0] == wanted]
        require(len(matches) == 1 and matches[0][3], "no resource %d of type %d" % (number, kind))
        level = root + matches[0][2]
    languages = directory_entries(image, level)
    require(len(languages) >= 1 and not languages[0][3], "resource %d of type %d has no data" % (number, kind))
    data_rva, data_size = struct.unpack_from("<II", image, root + languages[0][2])
    return file_offset(headers, data_rva), data_size


def find_resource(image, headers, kind, number):
    start, size = locate_resource(image, headers, kind, number)
    require(start + size <= len(image), "resource %d of type %d runs past the end of the file" % (number, kind))
    return image[start : start + size]


def read_word(data, at):
    return struct.unpack_from("<H", data, at)[0], at + 2


def read_text(data, at):
    """A zero-terminated UTF-16 text."""
    end = at
    while struct.unpack_from("<H", data, end)[0] != 0:
        end += 2
    return data[at:end].decode("utf-16-le"), end + 2


def read_name(data, at):
    """A dialog template's name field: 0, an ordinal after 0xFFFF, or a text."""
    first = struct.unpack_from("<H", data, at)[0]
    if first == 0:
        return 0, at + 2
    if first == 0xFFFF:
        return struct.unpack_from("<H", data, at + 2)[0], at + 4
    return read_text(data, at)


def parse_dialog(data):
    """A classic dialog template (DLGTEMPLATE and its DLGITEMTEMPLATEs)."""
    require(len(data) >= 18, "dialog 101 is too short")
    require(struct.unpack_from("<HH", data, 0) != (1, 0xFFFF), "dialog 101 is in the extended form")
    style, exstyle, count, x, y, cx, cy = struct.unpack_from("<IIHhhhh", data, 0)
    at = 18
    menu, at = read_name(data, at)
    window_class, at = read_name(data, at)
    caption, at = read_text(data, at)
    font = None
    if style & 0x40:  # DS_SETFONT
        points, at = read_word(data, at)
        face, at = read_text(data, at)
        font = (points, face)
    dialog = {
        "style": style,
        "exstyle": exstyle,
        "box": (x, y, cx, cy),
        "menu": menu,
        "class": window_class,
        "caption": caption,
        "font": font,
        "controls": [],
    }
    for _ in range(count):
        at = (at + 3) & ~3
        style, exstyle, x, y, cx, cy, identifier = struct.unpack_from("<IIhhhhH", data, at)
        at += 18
        window_class, at = read_name(data, at)
        text, at = read_name(data, at)
        extra, at = read_word(data, at)
        at += extra
        dialog["controls"].append(
            {"class": window_class, "id": identifier, "text": text, "box": (x, y, cx, cy), "style": style, "exstyle": exstyle}
        )
    return dialog


def check_information_text(text):
    """Three lines separated by line feeds, each led by spaces."""
    require(isinstance(text, str), "the information text is missing")
    lines = text.split("\n")
    require(len(lines) == 3, "the information text has %d lines, not 3" % len(lines))
    for number, line in enumerate(lines, 1):
        require("\r" not in line, "line %d of the information text holds a carriage return" % number)
        require(line.startswith(" ") and line.strip() != "", "line %d of the information text is not led by spaces" % number)


def check_dialog(dialog):
    for field in ("style", "exstyle", "box", "menu", "class", "caption", "font"):
        require(dialog[field] == DIALOG[field], "dialog 101 %s is %r, not %r" % (field, dialog[field], DIALOG[field]))
    controls = dialog["controls"]
    require(len(controls) == len(CONTROLS), "dialog 101 has %d controls, not %d" % (len(controls), len(CONTROLS)))
    for number, (control, expected) in enumerate(zip(controls, CONTROLS), 1):
        window_class, identifier, text, box, style = expected
        found = (control["class"], control["id"], control["box"], control["style"], control["exstyle"])
        wanted = (window_class, identifier, box, style, 0)
        require(found == wanted, "control %d of dialog 101 is %r, not %r" % (number, found, wanted))
        if text is None:
            check_information_text(control["text"])
        else:
            require(control["text"] == text, "control %d of dialog 101 says %r, not %r" % (number, control["text"], text))


def check_bitmap(data, committed):
    require(len(data) == BITMAP_BYTES, "bitmap 103 holds %d bytes, not %d" % (len(data), BITMAP_BYTES))
    header = struct.unpack_from("<IiiHHIIiiII", data, 0)
    require(header == BITMAP_HEADER, "bitmap 103 header is %r, not %r" % (header, BITMAP_HEADER))
    if committed is not None:
        require(data == committed[14:], "bitmap 103 differs from resources/about.bmp")


def version_node(data, at):
    """One node of a version resource: key, value bytes, children, end."""
    length, value_length, kind = struct.unpack_from("<HHH", data, at)
    require(length >= 6 and at + length <= len(data), "version resource node at %d runs past its end" % at)
    key, value_at = read_text(data, at + 6)
    value_at = (value_at + 3) & ~3
    value_bytes = value_length * 2 if kind == 1 else value_length
    value = data[value_at : value_at + value_bytes]
    children = []
    child = (value_at + value_bytes + 3) & ~3
    while child < at + length:
        node = version_node(data, child)
        children.append(node)
        child = (node["end"] + 3) & ~3
    return {"key": key, "value": value, "text": kind == 1, "children": children, "end": at + length}


def read_version_resource(data):
    """The fixed file and product versions as texts, and the first string table."""
    root = version_node(data, 0)
    require(root["key"] == "VS_VERSION_INFO", "version resource key %r" % root["key"])
    require(len(root["value"]) == 52, "version resource holds no fixed file information")
    fixed = struct.unpack_from("<13I", root["value"])
    require(fixed[0] == VERSION_SIGNATURE, "version resource signature 0x%08x" % fixed[0])

    def dotted(high, low):
        return "%d.%d.%d.%d" % (high >> 16, high & 0xFFFF, low >> 16, low & 0xFFFF)

    strings = {}
    for block in root["children"]:
        if block["key"] == "StringFileInfo" and block["children"]:
            for entry in block["children"][0]["children"]:
                strings[entry["key"]] = entry["value"].decode("utf-16-le").rstrip("\0")
    return {"file": dotted(fixed[2], fixed[3]), "product": dotted(fixed[4], fixed[5]), "strings": strings}


def check_version_resource(image, headers, version):
    """Resource 1 of type RT_VERSION: `version` throughout, the product's name, a description."""
    found = read_version_resource(find_resource(image, headers, RT_VERSION, 1))
    require(found["file"] == version + ".0", "file version %s, not %s" % (found["file"], version))
    require(found["product"] == version + ".0", "product version %s, not %s" % (found["product"], version))
    strings = found["strings"]
    for key in ("FileVersion", "ProductVersion"):
        require(strings.get(key) == version, "%s %r, not %r" % (key, strings.get(key), version))
    require(strings.get("ProductName") == PRODUCT_NAME, "ProductName %r" % strings.get("ProductName"))
    require(len(strings.get("FileDescription", "")) > 0, "no FileDescription")
    return found


# ---- Exports and imports, from objdump --------------------------------------


def read_objdump(objdump, path):
    report = subprocess.run([objdump, "-p", path], check=True, capture_output=True, text=True).stdout
    imports = re.findall(r"^\s*DLL Name: (\S+)", report, re.M)
    count = re.search(r"^\s*Export Address Table\s+([0-9a-fA-F]+)\s*$", report, re.M)
    names_block = re.search(r"\[Ordinal/Name Pointer\] Table\n((?:\s*\[\s*\d+\] \S+\n)*)", report)
    names = re.findall(r"\]\s(\S+)", names_block.group(1)) if names_block else []
    return {"imports": imports, "export_count": int(count.group(1), 16) if count else 0, "exports": names}


def check_links(linked):
    require(linked["export_count"] == 1, "%d exports, not 1" % linked["export_count"])
    require(linked["exports"] == ["winampVisGetHeader"], "exports %r, not winampVisGetHeader" % linked["exports"])
    foreign = [name for name in linked["imports"] if name.lower() not in SYSTEM_LIBRARIES]
    require(not foreign, "imports libraries Windows does not ship: %s" % ", ".join(foreign))


# ---- All checks -------------------------------------------------------------


def check_library(image, machine):
    headers = read_headers(image)
    want_machine, want_magic = MACHINES[machine]
    require(headers["machine"] == want_machine, "machine 0x%04x, not %s" % (headers["machine"], machine))
    require(headers["magic"] == want_magic, "optional header magic 0x%x, not 0x%x" % (headers["magic"], want_magic))
    require(headers["characteristics"] & IMAGE_FILE_DLL, "not a DLL")
    return headers


def check_resources(image, headers, committed):
    dialog = parse_dialog(find_resource(image, headers, RT_DIALOG, 101))
    check_dialog(dialog)
    bitmap = find_resource(image, headers, RT_BITMAP, 103)
    check_bitmap(bitmap, committed)
    return dialog, bitmap


def main():
    parser = argparse.ArgumentParser(description="Checks the built plug-in library.")
    parser.add_argument("dll")
    parser.add_argument("--machine", choices=sorted(MACHINES), required=True)
    parser.add_argument("--objdump", required=True)
    parser.add_argument("--bitmap", help="the committed about.bmp that bitmap 103 must equal")
    parser.add_argument("--version", help="the version the version resource must give, X.Y.Z")
    arguments = parser.parse_args()

    with open(arguments.dll, "rb") as file:
        image = file.read()
    committed = None
    if arguments.bitmap:
        with open(arguments.bitmap, "rb") as file:
            committed = file.read()
    try:
        headers = check_library(image, arguments.machine)
        linked = read_objdump(arguments.objdump, arguments.dll)
        check_links(linked)
        dialog, bitmap = check_resources(image, headers, committed)
        version = check_version_resource(image, headers, arguments.version) if arguments.version else None
    except CheckFailed as failure:
        print("%s: FAILED: %s" % (arguments.dll, failure))
        return 1
    print("%s: %s DLL, %d bytes" % (arguments.dll, arguments.machine, len(image)))
    print("  exports: %s" % ", ".join(linked["exports"]))
    print("  imports: %s" % ", ".join(linked["imports"]))
    print("  sections: %s" % ", ".join("%s %d" % (name, size) for name, _, size, _ in headers["sections"]))
    print("  dialog 101: %r, %d controls; bitmap 103: %d bytes" % (dialog["caption"], len(dialog["controls"]), len(bitmap)))
    if version:
        print("  version %s: %s" % (version["file"], version["strings"].get("FileDescription")))
    return 0


if __name__ == "__main__":
    sys.exit(main())
