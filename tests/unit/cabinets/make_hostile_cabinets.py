#!/usr/bin/env python3
"""Writes hostile cabinets, built byte by byte, into OUT_DIR/hostile/ (usage: make_hostile_cabinets.py OUT_DIR).

Each is a cabinet a download could hand the setup: entry names that climb with / or \\, that carry a drive or
a UNC root, overlong UTF-8 forms of / and .. (read as ANSI, and marked as UTF-8), names of 255 and 256
characters, an empty name; headers, folder tables, file tables and data blocks cut short; MSZIP, LZX and
Quantum blocks of garbage; blocks that claim more than they hold; a file that reaches beyond its folder; a
split cabinet whose next part is missing. hostile/list.txt names them, one a line, with what the extraction
may do: "refuse" (nothing may be extracted), "fail" (the copy fails with its line in the log; the host layer's
reading, which other cabinet readers may take more leniently) or "contain" (whatever is extracted stays in the
destination).
"""
import pathlib
import struct
import sys

DATE = ((2024 - 1980) << 9) | (3 << 5) | 1  # 2024-03-01
TIME = 12 << 11


def cabinet(files, compress=0, data=None, flags=0, next_name=None, cut=None, folders=None, uncompressed=None):
    """A one-folder cabinet of the files [(name bytes, content bytes)] with the given compression type; `data`
    replaces the stored block, `uncompressed` the size a block claims, `cut` keeps only that many bytes."""
    payload = b"".join(entry[1] for entry in files)
    block = payload if data is None else data
    header_size = 36
    extra = b""
    if flags & 0x2:
        extra += next_name + b"\0" + b"disk2\0"
    folder_offset = header_size + len(extra)
    files_offset = folder_offset + 8
    entries = b""
    offset = 0
    for name, content, *attributes in files:
        folder_index = 0xFFFE if flags & 0x2 else 0
        attribs = attributes[0] if attributes else 0x20
        entries += struct.pack("<IIHHHH", len(content), offset, folder_index, DATE, TIME, attribs) + name + b"\0"
        offset += len(content)
    data_offset = files_offset + len(entries)
    claimed = len(payload) if uncompressed is None else uncompressed
    blocks = struct.pack("<IHH", 0, len(block), claimed & 0xFFFF) + block
    total = data_offset + len(blocks)
    header = struct.pack("<4sIIIIIBBHHHHH", b"MSCF", 0, total, 0, files_offset, 0, 3, 1,
                         1 if folders is None else folders, len(files), flags, 0x1234, 0)
    folder = struct.pack("<IHH", data_offset, 1, compress)
    whole = header + extra + folder + entries + blocks
    return whole if cut is None else whole[:cut]


def main():
    out = pathlib.Path(sys.argv[1]) / "hostile"
    out.mkdir(parents=True, exist_ok=True)
    text = b"Halvorn Nembric hostile test\r\n"
    good = [(b"readme.txt", text)]
    whole = cabinet(good)
    cases = {
        # Names.
        "climb_slash": (cabinet([(b"a/../../evil.txt", text)]), "refuse"),
        "climb_backslash": (cabinet([(b"a\\..\\..\\evil.txt", text)]), "refuse"),
        "climb_dots": (cabinet([(b"a\\...\\..\\evil.txt", text)]), "refuse"),
        "drive_relative": (cabinet([(b"D:evil.txt", text)]), "refuse"),
        "unc": (cabinet([(b"\\\\server\\share\\evil.txt", text)]), "refuse"),
        "rooted_slash": (cabinet([(b"/evil.txt", text)]), "refuse"),
        "overlong_slash": (cabinet([(b"..\xc0\xafevil.txt", text)]), "contain"),
        "overlong_dots": (cabinet([(b"\xc0\xae\xc0\xae\\evil.txt", text)]), "contain"),
        # The same, marked as UTF-8 (_A_NAME_IS_UTF): no UTF-8 at all, so no file of that name is made.
        "overlong_slash_utf": (cabinet([(b"..\xc0\xafevil.txt", text, 0xA0)]), "refuse"),
        "name_255": (cabinet([(b"n" * 255, text)]), "refuse"),
        "name_256": (cabinet([(b"n" * 256, text)]), "refuse"),
        "name_empty": (cabinet([(b"", text)]), "refuse"),
        # Cut short.
        "cut_header": (whole[:20], "refuse"),
        "cut_folder": (whole[:40], "refuse"),
        "cut_files": (whole[:50], "refuse"),
        "cut_data": (whole[:len(whole) - 10], "fail"),
        # Compressed blocks of garbage, and blocks that claim more than they hold.
        "mszip_garbage": (cabinet(good, compress=1, data=b"CK" + bytes(range(256)) * 4), "fail"),
        "lzx_garbage": (cabinet(good, compress=0x1503, data=bytes(range(255, -1, -1)) * 4), "fail"),
        "quantum_garbage": (cabinet(good, compress=0x0F42, data=b"\xff" * 1024), "contain"),
        "mszip_no_signature": (cabinet(good, compress=1, data=b"\x00" * 64), "fail"),
        "block_claims_more": (cabinet(good, uncompressed=0x8000), "contain"),
        "block_claims_too_much": (cabinet(good, uncompressed=0xFFFF), "fail"),
        # A file beyond its folder, more folders than there are, a split cabinet without its next part.
        "file_beyond_end": (cabinet([(b"big.bin", b"x" * 100000)], data=b"x" * 16), "fail"),
        "folders_missing": (cabinet(good, folders=0xFFFF), "fail"),
        "split_missing_next": (cabinet(good, flags=0x2, next_name=b"missing2.cab"), "contain"),
    }
    lines = []
    for name, (content, rule) in cases.items():
        (out / f"{name}.cab").write_bytes(content)
        lines.append(f"{name}.cab {rule}")
    (out / "list.txt").write_text("\n".join(lines) + "\n")


if __name__ == "__main__":
    main()
