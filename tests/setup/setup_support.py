"""What the release and setup tests share: the version as Version.h states it, the
fixed version of a Windows executable, and the places of a release."""

import os
import re
import struct

SOURCE_DIR = os.environ.get(
    "TAVREL_SOURCE_DIR", os.path.normpath(os.path.join(os.path.dirname(__file__), "..", "..")))
WIN_BUILD_DIR = os.environ.get("TAVREL_WIN_BUILD_DIR", os.path.join(SOURCE_DIR, "build", "win32"))
RELEASE_DIR = os.environ.get("TAVREL_RELEASE_DIR", os.path.join(SOURCE_DIR, "out", "release"))

# The programs a release ships, as paths inside the program folder.
SHIPPED_FILES = ("Vantor Tavrel.exe", "VTUpdaterT.exe", "language/Vantor TavrelEng.dll")


def source_version():
    """The version Version.h defines, read here on its own so that a script which reads
    it wrongly is caught."""
    with open(os.path.join(SOURCE_DIR, "src", "resources", "Version.h"), encoding="utf-8") as f:
        text = f.read()
    parts = []
    for name in ("MAJOR", "MINOR", "PATCH", "BUILD"):
        found = re.findall(r"^#define TAVREL_VERSION_%s +(\d+)\s*$" % name, text, re.M)
        if len(found) != 1:
            raise ValueError("Version.h defines TAVREL_VERSION_%s %d times" % (name, len(found)))
        parts.append(int(found[0]))
    return tuple(parts)


def version_text(version):
    return ".".join(str(p) for p in version)


def release_names(version):
    text = version_text(version)
    return {
        "setup": "VantorTavrel-%s-setup.exe" % text,
        "zip": "VantorTavrel-%s-win32.zip" % text,
        "sums": "VantorTavrel-%s.sha256" % text,
    }


_KEY = "VS_VERSION_INFO\0".encode("utf-16-le")
_FIXED_SIGNATURE = 0xFEEF04BD


def fixed_versions(data):
    """(file version, product version) of the VS_FIXEDFILEINFO in a PE file's bytes,
    or None when it has no version resource. The block starts at the next 32-bit
    boundary after its key; the search never reads past the data."""
    start = data.find(_KEY)
    while start >= 0:
        for pad in range(0, 4):
            at = start + len(_KEY) + pad
            if at + 24 > len(data):
                break
            signature, _, fms, fls, pms, pls = struct.unpack_from("<6I", data, at)
            if signature == _FIXED_SIGNATURE:
                split = lambda ms, ls: (ms >> 16, ms & 0xFFFF, ls >> 16, ls & 0xFFFF)
                return split(fms, fls), split(pms, pls)
        start = data.find(_KEY, start + 1)
    return None
