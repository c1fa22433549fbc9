#!/usr/bin/env python3
"""Writes a zip file the same, byte for byte, on every run: members in name
order, each dated SOURCE_DATE_EPOCH, with fixed permissions. Text members
(README.txt and the like, named with --text) get Windows line endings.

Usage: make_zip.py OUT.zip NAME=PATH... [--text NAME...]
The zip is written as OUT.zip.part and renamed when complete.
"""

import os
import sys
import time
import zipfile


def main():
    arguments = sys.argv[1:]
    if len(arguments) < 2 or "=" not in arguments[1]:
        sys.exit(__doc__)
    out = arguments[0]
    members = {}
    text = set()
    as_text = False
    for argument in arguments[1:]:
        if argument == "--text":
            as_text = True
        elif as_text:
            text.add(argument)
        else:
            name, _, path = argument.partition("=")
            if not name or not path or name in members:
                sys.exit("make_zip.py: bad or repeated member %r" % argument)
            members[name] = path
    if not text <= members.keys():
        sys.exit("make_zip.py: --text names no member: %s" % ", ".join(sorted(text - members.keys())))

    epoch = int(os.environ.get("SOURCE_DATE_EPOCH", "315532800"))
    stamp = time.gmtime(max(epoch, 315532800))[:6]  # zip dates start in 1980
    part = out + ".part"
    with zipfile.ZipFile(part, "w") as archive:
        for name in sorted(members):
            with open(members[name], "rb") as file:
                data = file.read()
            if name in text:
                data = data.replace(b"\r\n", b"\n").replace(b"\n", b"\r\n")
            info = zipfile.ZipInfo(name, date_time=stamp)
            info.compress_type = zipfile.ZIP_DEFLATED
            info.create_system = 3  # Unix, so that the permissions below count
            info.external_attr = (0o100755 if name.endswith((".exe", ".dll")) else 0o100644) << 16
            archive.writestr(info, data, compresslevel=9)
    os.replace(part, out)


if __name__ == "__main__":
    main()
