A software image over 4 GiB is refused before the old image is touched:
  $ truncate -s 4294967296 big.bin && printf OLD > up.bin
  $ (ulimit -f 64 && swug_gen big.bin up.bin); also files
  the software file big.bin is too big, must be at most 4294967295 bytes
  big.bin 4294967296
  up.bin 3
  [1]

An MCU OTA offset past 32 bits is refused before the old image is touched:
  $ truncate -s 4294967168 big.bin && printf OLD > up.bin && printf abc > mcu_ota.bin
  $ (ulimit -f 64 && swug_gen big.bin up.bin); also files
  the software file big.bin is too big, must be at most 4294967167 bytes
  big.bin 4294967168
  mcu_ota.bin 3
  up.bin 3
  [1]

A software image of exactly 4294967295 bytes packs:
  $ in_memory 'node null 1 3 && truncate -s 4294967295 big.bin && swug_gen big.bin null'
  | gen image file checksum=00000000,size=ffffffff |

A software image of exactly 4294967167 bytes packs with an MCU OTA image:
  $ in_memory 'node null 1 3 && truncate -s 4294967167 big.bin && printf abc > mcu_ota.bin &&
  >   swug_gen big.bin null'
  | gen image file checksum=00000000,size=ffffff7f , MCU ota checksum=00000126,size=00000003 |

A refused mcu_ota.bin leaves the 4294967295-byte limit:
  $ in_memory 'node null 1 3 && truncate -s 4294967295 big.bin && truncate -s 98305 mcu_ota.bin &&
  >   swug_gen big.bin null'
  | MCU ota file is too big, must <96KB |
  | gen image file checksum=00000000,size=ffffffff |

The output is the null device that standard output also is:
  $ node null 1 3 && printf 0123456789 > in.bin && stdout=null swug_gen in.bin null
