An empty software image gives the header alone:
  $ : > in.bin && swug_gen in.bin up.bin && image in.bin | cmp - up.bin && files
  | gen image file checksum=00000000,size=00000000 |
  in.bin 0
  up.bin 128

The ten bytes 01 to 0a give this header, byte for byte:
  $ ten > in.bin && swug_gen in.bin up.bin
  | gen image file checksum=00000037,size=0000000a |
  $ xxd -a up.bin
  00000000: 5a51 2d54 5235 3230 3020 496d 6167 6500  ZQ-TR5200 Image.
  00000010: 0a00 0000 3700 0000 0000 0000 0000 0000  ....7...........
  00000020: 0000 0000 0000 0000 0000 0000 0000 0000  ................
  *
  00000080: 0102 0304 0506 0708 090a                 ..........

Exactly one chunk:
  $ pattern 1024 7 3 > in.bin && swug_gen in.bin up.bin && image in.bin | cmp - up.bin
  | gen image file checksum=0001fe00,size=00000400 |

The running sum wraps past 2^32:
  $ truncate -s 17000000 zeros && tr "\0" "\377" < zeros > in.bin && rm zeros
  $ swug_gen in.bin up.bin && image in.bin | cmp - up.bin
  | gen image file checksum=0262d9c0,size=01036640 |

Line ends and Ctrl-Z pass through unchanged:
  $ printf '\n\r\032\r\n\n\032' > in.bin && printf '\r\n\032' > mcu_ota.bin
  $ swug_gen in.bin up.bin && image in.bin mcu_ota.bin | cmp - up.bin
  | gen image file checksum=0000006c,size=00000007 , MCU ota checksum=00000031,size=00000003 |

An existing larger output is replaced completely:
  $ ten > in.bin && truncate -s 5000 up.bin && swug_gen in.bin up.bin
  | gen image file checksum=00000037,size=0000000a |
  $ image in.bin | cmp - up.bin && files
  in.bin 10
  up.bin 138
