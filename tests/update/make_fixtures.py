#!/usr/bin/env python3
"""Builds the update tests' files from the freshly built binaries, at test
time: the cabinets (with Debian's gcab), an installation of the old version
and the tree of the new one, versions set in the binaries' version
resources.

    make_fixtures.py --out DIR --drive-host EXE --drive EXE --update DLL
                     --launcher EXE --shellext DLL --failing-shellext DLL

DIR is made anew:
    installed/         an installation of version OLD
    payload/           the files of version NEW, as the update cabinet holds them
    update.cab         payload/ as a cabinet
    failing-shellext/  a shell extension whose registration fails, at NEW
    extract/           cabinets for the extraction tests, with layout/ (the
                       tree of layout.cab) and one cabinet per unsafe name
    program/           the same three, installed/, payload/ and update.cab,
                       with the real BrelioDrive.exe in place of the host
"""

import argparse
import os
import shutil
import struct
import subprocess
import sys
import tempfile

OLD = (2, 0, 0, 1)
NEW = (2, 0, 0, 2)

# VS_FIXEDFILEINFO begins with this signature; the file and product
# versions follow the structure version.
FIXED_INFO_SIGNATURE = struct.pack("<I", 0xFEEF04BD)

# Names a cabinet may carry but that must never be written: each would
# land outside the folder it is extracted into, or somewhere else than
# its name says.
UNSAFE_NAMES = {
    "parent": "..\\brelio-escaped.txt",
    "nested-parent": "sub\\..\\..\\brelio-escaped.txt",
    "absolute": "C:\\brelio-escaped.txt",
    "drive-relative": "C:brelio-escaped.txt",
    "leading-backslash": "\\brelio-escaped.txt",
    "leading-slash": "/brelio-escaped.txt",
    "stream": "root.txt:brelio-escaped",
    "device": "CON",
    "device-superscript": "COM\u00b9",
    "backup": "BrelioDrive.exe.BrelioUpdate-old",
    "staged": "BrelioUpdate.dll.BrelioUpdate-new",
}


def stamp(source, target, version):
    """Copies a binary and sets its version resource's file and product
    versions."""
    data = bytearray(open(source, "rb").read())
    at = data.find(FIXED_INFO_SIGNATURE)
    if at < 0:
        sys.exit("make_fixtures: %s has no version resource" % source)
    ms = (version[0] << 16) | version[1]
    ls = (version[2] << 16) | version[3]
    struct.pack_into("<4I", data, at + 8, ms, ls, ms, ls)
    os.makedirs(os.path.dirname(target), exist_ok=True)
    with open(target, "wb") as f:
        f.write(data)


def write(path, text):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(text.encode("utf-8"))


def gcab(cabinet, folder):
    """A cabinet of every file below `folder`, named relative to it."""
    names = []
    for root, _, files in os.walk(folder):
        for name in sorted(files):
            names.append(os.path.relpath(os.path.join(root, name), folder))
    subprocess.run(["gcab", "--create", "--zip", os.path.abspath(cabinet)] + sorted(names),
                   cwd=folder, check=True)


def unsafe_cabinet(cabinet, name, scratch):
    """gcab keeps names inside the cabinet's folder; this one's entry name
    is put in by hand, over a placeholder of the same length."""
    placeholder = "Q" * len(name.encode("utf-8"))
    folder = tempfile.mkdtemp(dir=scratch)
    write(os.path.join(folder, placeholder), "escaped\r\n")
    gcab(cabinet, folder)
    data = open(cabinet, "rb").read()
    old = placeholder.encode() + b"\0"
    if data.count(old) != 1:
        sys.exit("make_fixtures: placeholder of %r not found once" % name)
    with open(cabinet, "wb") as f:
        f.write(data.replace(old, name.encode("utf-8") + b"\0"))


def release(out, drive, args):
    """An installation of the old version, the files of the new one and
    their cabinet, with `drive` as BrelioDrive.exe."""
    # The installation before the update.
    installed = os.path.join(out, "installed")
    stamp(drive, os.path.join(installed, "BrelioDrive.exe"), OLD)
    stamp(args.update, os.path.join(installed, "BrelioUpdate.dll"), OLD)
    stamp(args.launcher, os.path.join(installed, "BrelioLauncher.exe"), OLD)
    stamp(args.shellext, os.path.join(installed, "BrelioShellExt.dll"), OLD)
    stamp(args.shellext, os.path.join(installed, "BrelioIconOverlay.dll"), OLD)
    write(os.path.join(installed, "notes.txt"), "Brelio! Drive notes, old\r\n")
    write(os.path.join(installed, "keep.txt"), "not part of any update\r\n")

    # The new version. The update library keeps its version: it is up to
    # date and stays as it is.
    payload = os.path.join(out, "payload")
    stamp(drive, os.path.join(payload, "BrelioDrive.exe"), NEW)
    stamp(args.update, os.path.join(payload, "BrelioUpdate.dll"), OLD)
    stamp(args.launcher, os.path.join(payload, "BrelioLauncher.exe"), NEW)
    stamp(args.shellext, os.path.join(payload, "BrelioShellExt.dll"), NEW)
    stamp(args.shellext, os.path.join(payload, "BrelioIconOverlay.dll"), NEW)
    write(os.path.join(payload, "notes.txt"), "Brelio! Drive notes, new\r\n")
    write(os.path.join(payload, "도움말", "안내 ü.txt"), "도움말, new\r\n")
    gcab(os.path.join(out, "update.cab"), payload)


def build(args):
    out = args.out
    shutil.rmtree(out, ignore_errors=True)
    os.makedirs(out)
    scratch = tempfile.mkdtemp(dir=out, prefix="scratch-")

    release(out, args.drive_host, args)
    release(os.path.join(out, "program"), args.drive, args)

    stamp(args.failing_shellext, os.path.join(out, "failing-shellext", "BrelioShellExt.dll"), NEW)

    # Extraction: files at the root and in first-level folders, names
    # outside ASCII included.
    extract = os.path.join(out, "extract")
    layout = os.path.join(extract, "layout")
    write(os.path.join(layout, "root.txt"), "root, from the cabinet\r\n")
    write(os.path.join(layout, "sub", "one.txt"), "one\r\n")
    write(os.path.join(layout, "sub", "two.txt"), "two\r\n")
    write(os.path.join(layout, "폴더 ü", "파일 한글.txt"), "한글\r\n")
    gcab(os.path.join(extract, "layout.cab"), layout)

    # A file two levels down whose upper folder no earlier file made.
    deep = os.path.join(scratch, "deep")
    write(os.path.join(deep, "top", "middle", "deep.txt"), "deep\r\n")
    gcab(os.path.join(extract, "two-level.cab"), deep)

    for case, name in UNSAFE_NAMES.items():
        unsafe_cabinet(os.path.join(extract, "unsafe-%s.cab" % case), name, scratch)

    shutil.rmtree(scratch)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    for option in ("--out", "--drive-host", "--drive", "--update", "--launcher", "--shellext", "--failing-shellext"):
        parser.add_argument(option, required=True)
    build(parser.parse_args())
    return 0


if __name__ == "__main__":
    sys.exit(main())
