#!/usr/bin/env python3
"""The tests' own encoder of upgrade images, written from the format, never from the program.

  encode.py image SOFTWARE [MCU] [FIELD=VALUE...] [cut=N] [tail=HEX]
      the upgrade image of these files on standard output: the 128-byte header, the software
      image, the MCU OTA image when given. FIELD=VALUE sets a header field afterwards (magic,
      length, sum, upgrade_boot, mcu_ota_flag, mcu_addr, mcu_len, mcu_sum, or a byte's offset
      such as 80); cut=N keeps the first N bytes; tail=HEX appends bytes.
  encode.py pattern SIZE STEP OFFSET
      SIZE bytes of (i * STEP + OFFSET) mod 256 on standard output.
  encode.py check SOURCE_DIR
      checks this encoder against the golden images of the examples (a test of its own).
"""
import os
import struct
import sys

FIELDS = {'length': 16, 'sum': 20, 'upgrade_boot': 24, 'mcu_ota_flag': 64, 'mcu_addr': 68,
          'mcu_len': 72, 'mcu_sum': 76}


def image(args):
    parts = [open(name, 'rb').read() for name in args if '=' not in name]
    software, mcu = parts[0], parts[1] if len(parts) > 1 else None
    header = bytearray(128)
    header[0:16] = b'ZQ-TR5200 Image\0'
    struct.pack_into('<II', header, 16, len(software), sum(software) & 0xFFFFFFFF)
    if mcu is not None:
        struct.pack_into('<IIII', header, 64, 1, 128 + len(software), len(mcu),
                         sum(mcu) & 0xFFFFFFFF)
    data = bytearray(header + software + (mcu or b''))
    for setting in (arg for arg in args if '=' in arg):
        name, value = setting.split('=', 1)
        if name == 'magic':
            data[0:16] = value.encode().ljust(16, b'\0')
        elif name == 'cut':
            del data[int(value, 0):]
        elif name == 'tail':
            data += bytes.fromhex(value)
        elif name in FIELDS:
            struct.pack_into('<I', data, FIELDS[name], int(value, 0))
        else:
            data[int(name, 0)] = int(value, 0)
    return bytes(data)


def pattern(size, step, offset):
    return bytes((i * step + offset) & 0xFF for i in range(size))


if __name__ == '__main__':
    if sys.argv[1:2] == ['image']:
        sys.stdout.buffer.write(image(sys.argv[2:]))
    elif sys.argv[1:2] == ['pattern'] and len(sys.argv) == 5:
        sys.stdout.buffer.write(pattern(*(int(arg, 0) for arg in sys.argv[2:])))
    elif sys.argv[1:2] == ['check'] and len(sys.argv) == 3:
        os.chdir(sys.argv[2])
        for parts, golden in ((['examples/data/VRK520_SW.bin'], 'VRK520_UPGRADE_SW.bin'),
                              (['examples/data/VRK520_SW.bin', 'examples/mcu_ota.bin'],
                               'VRK520_UPGRADE_SW_mcu.bin')):
            if image(parts) != open('tests/golden/' + golden, 'rb').read():
                sys.exit('the encoder does not make tests/golden/' + golden)
    else:
        sys.exit(__doc__)
