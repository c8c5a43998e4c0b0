#!/usr/bin/env python3
"""Post-link step for the kernel drivers: writes the PE image checksum when the linker left
the field 0. Windows refuses to load a driver whose checksum is wrong, and a linker that does
compute it is left alone, so that check-pe.py still verifies the linker's own value.

Usage: pe-checksum.py IMAGE
"""

import sys

from pe_image import PeError, PeImage, compute_checksum


def main(argv):
    if len(argv) != 2:
        print(__doc__.strip(), file=sys.stderr)
        return 2
    path = argv[1]
    with open(path, "rb") as f:
        data = bytearray(f.read())
    try:
        image = PeImage(data)
    except PeError as error:
        print("%s: %s" % (path, error), file=sys.stderr)
        return 1
    if image.checksum != 0:
        return 0
    checksum = compute_checksum(data, image.checksum_offset)
    data[image.checksum_offset:image.checksum_offset + 4] = checksum.to_bytes(4, "little")
    with open(path, "r+b") as f:
        f.write(data)
    print("%s: checksum set to 0x%08X" % (path, checksum))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
