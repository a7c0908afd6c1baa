#!/usr/bin/env python3
"""Points a linked PE image's load-configuration directory at its `_load_config_used` symbol.

GNU ld 2.40 links the symbol into the image but leaves the data directory empty, so the loader would never
read it. usage: set_load_config.py EXE NM
"""
import struct
import subprocess
import sys

LOAD_CONFIG = 10  # IMAGE_DIRECTORY_ENTRY_LOAD_CONFIG


def main() -> int:
    exe, nm = sys.argv[1], sys.argv[2]
    symbols = subprocess.run([nm, exe], check=True, capture_output=True, text=True).stdout.split("\n")
    address = next((int(line.split()[0], 16) for line in symbols if line.endswith(" _load_config_used")), None)
    if address is None:
        print(f"{exe}: no _load_config_used symbol")
        return 1
    with open(exe, "r+b") as image:
        data = bytearray(image.read())
        header = struct.unpack_from("<I", data, 0x3C)[0]
        optional = header + 24
        if struct.unpack_from("<H", data, optional)[0] != 0x20B:
            print(f"{exe}: not a PE32+ image")
            return 1
        image_base = struct.unpack_from("<Q", data, optional + 24)[0]
        rva = address - image_base
        # The directory's size is the structure's own first field.
        sections = struct.unpack_from("<H", data, header + 6)[0]
        table = optional + struct.unpack_from("<H", data, header + 20)[0]
        for index in range(sections):
            virtual_size, virtual_address, _, raw_pointer = struct.unpack_from("<IIII", data, table + 40 * index + 8)
            if virtual_address <= rva < virtual_address + virtual_size:
                size = struct.unpack_from("<I", data, raw_pointer + rva - virtual_address)[0]
                break
        else:
            print(f"{exe}: _load_config_used lies in no section")
            return 1
        struct.pack_into("<II", data, optional + 112 + 8 * LOAD_CONFIG, rva, size)
        image.seek(0)
        image.write(data)
    return 0


if __name__ == "__main__":
    sys.exit(main())
