The MCU OTA image abc behind ten bytes:
  $ ten > in.bin && printf abc > mcu_ota.bin && swug_gen in.bin up.bin
  | gen image file checksum=00000037,size=0000000a , MCU ota checksum=00000126,size=00000003 |
  $ xxd -s 64 -l 16 up.bin && image in.bin mcu_ota.bin | cmp - up.bin
  00000040: 0100 0000 8a00 0000 0300 0000 2601 0000  ............&...

An empty MCU OTA file is carried:
  $ ten > in.bin && : > mcu_ota.bin && swug_gen in.bin up.bin
  | gen image file checksum=00000037,size=0000000a , MCU ota checksum=00000000,size=00000000 |
  $ xxd -s 64 -l 16 up.bin && image in.bin mcu_ota.bin | cmp - up.bin
  00000040: 0100 0000 8a00 0000 0000 0000 0000 0000  ................

An MCU OTA image of exactly 96 KiB:
  $ ten > in.bin && pattern 98304 13 5 > mcu_ota.bin && swug_gen in.bin up.bin
  | gen image file checksum=00000037,size=0000000a , MCU ota checksum=00bf4000,size=00018000 |
  $ image in.bin mcu_ota.bin | cmp - up.bin

An MCU OTA image one byte over 96 KiB is refused and not announced in the header:
  $ ten > in.bin && pattern 98305 13 5 > mcu_ota.bin && swug_gen in.bin up.bin
  | MCU ota file is too big, must <96KB |
  | gen image file checksum=00000037,size=0000000a |
  $ image in.bin | cmp - up.bin

An MCU OTA image beside the software image is not used:
  $ mkdir fw && ten > fw/in.bin && printf abc > fw/mcu_ota.bin && swug_gen fw/in.bin up.bin
  | gen image file checksum=00000037,size=0000000a |
  $ image fw/in.bin | cmp - up.bin

The MCU OTA image comes from the current folder:
  $ mkdir fw run && ten > fw/in.bin && printf abc > run/mcu_ota.bin && cd run
  $ swug_gen ../fw/in.bin up.bin && image ../fw/in.bin mcu_ota.bin | cmp - up.bin
  | gen image file checksum=00000037,size=0000000a , MCU ota checksum=00000126,size=00000003 |

Another user's mcu_ota.bin in a shared folder is not packed:
  $ posix_only && mkdir -m 1777 shared && ten > in.bin && printf planted > shared/mcu_ota.bin
  $ chown 61001:61001 shared/mcu_ota.bin || exit 80
  $ cd shared && swug_gen ../in.bin ../up.bin && image ../in.bin | cmp - ../up.bin
  | gen image file checksum=00000037,size=0000000a |
  stderr: can't open the MCU ota file mcu_ota.bin: it is another user's file in a shared folder; the upgrade image is made without it

Another user's link as mcu_ota.bin in a shared folder is not followed:
  $ posix_only && mkdir -m 1777 shared && ten > in.bin && printf secret > secret.bin
  $ ln -s ../secret.bin shared/mcu_ota.bin && chown -h 61001:61001 shared/mcu_ota.bin || exit 80
  $ cd shared && swug_gen ../in.bin ../up.bin && image ../in.bin | cmp - ../up.bin
  | gen image file checksum=00000037,size=0000000a |
  stderr: can't open the MCU ota file mcu_ota.bin: it leads through another user's symbolic link in a shared folder; the upgrade image is made without it

In a shared folder, the runner's and the folder owner's mcu_ota.bin are packed, and their links followed:
  $ posix_only && root_only
  $ mkdir -m 1777 shared && ten > in.bin && printf abc > shared/mcu_ota.bin && chmod 644 shared/mcu_ota.bin
  $ chmod 0777 . && cd shared && as 61001 swug_gen ../in.bin ../up1.bin
  | gen image file checksum=00000037,size=0000000a , MCU ota checksum=00000126,size=00000003 |
  $ rm mcu_ota.bin && printf abc > ../abc.bin && ln -s ../abc.bin mcu_ota.bin
  $ as 61001 swug_gen ../in.bin ../up2.bin
  | gen image file checksum=00000037,size=0000000a , MCU ota checksum=00000126,size=00000003 |
  $ image ../in.bin ../abc.bin | tee ../expected.bin | cmp - ../up1.bin && cmp ../expected.bin ../up2.bin
