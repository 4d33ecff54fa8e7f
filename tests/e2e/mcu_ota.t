The MCU OTA image abc behind ten bytes:
  $ ten > in.bin && printf abc > mcu_ota.bin
  $ swug_gen in.bin up.bin
  | gen image file checksum=00000037,size=0000000a , MCU ota checksum=00000126,size=00000003 |
  $ xxd -s 64 -l 16 up.bin && image in.bin mcu_ota.bin | cmp - up.bin
  00000040: 0100 0000 8a00 0000 0300 0000 2601 0000  ............&...

An empty MCU OTA file is carried:
  $ ten > in.bin && : > mcu_ota.bin
  $ swug_gen in.bin up.bin
  | gen image file checksum=00000037,size=0000000a , MCU ota checksum=00000000,size=00000000 |
  $ xxd -s 64 -l 16 up.bin && image in.bin mcu_ota.bin | cmp - up.bin
  00000040: 0100 0000 8a00 0000 0000 0000 0000 0000  ................

An MCU OTA image of exactly 96 KiB:
  $ ten > in.bin && pattern 98304 13 5 > mcu_ota.bin
  $ swug_gen in.bin up.bin
  | gen image file checksum=00000037,size=0000000a , MCU ota checksum=00bf4000,size=00018000 |
  $ image in.bin mcu_ota.bin | cmp - up.bin

An MCU OTA image one byte over 96 KiB is refused and not announced in the header:
  $ ten > in.bin && pattern 98305 13 5 > mcu_ota.bin
  $ swug_gen in.bin up.bin
  | MCU ota file is too big, must <96KB |
  | gen image file checksum=00000037,size=0000000a |
  $ image in.bin | cmp - up.bin

An MCU OTA image beside the software image is not used:
  $ mkdir fw && ten > fw/in.bin && printf abc > fw/mcu_ota.bin
  $ swug_gen fw/in.bin up.bin
  | gen image file checksum=00000037,size=0000000a |
  $ image fw/in.bin | cmp - up.bin

The MCU OTA image comes from the current folder:
  $ mkdir fw run && ten > fw/in.bin && printf abc > run/mcu_ota.bin && cd run
  $ swug_gen ../fw/in.bin up.bin
  | gen image file checksum=00000037,size=0000000a , MCU ota checksum=00000126,size=00000003 |
  $ image ../fw/in.bin mcu_ota.bin | cmp - up.bin
