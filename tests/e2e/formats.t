An ELF program is warned about and packed:
  $ printf '\177ELF\1\1\1\0\0\0\0\0\0\0\0\0' > fw.elf && swug_gen fw.elf up.bin
  | gen image file checksum=00000159,size=00000010 |
  stderr: warning: fw.elf looks like an ELF program, not raw binary; it is packed as it is (objcopy -O binary fw.elf fw.bin makes the raw image)
  $ image fw.elf | cmp - up.bin

An Intel HEX text is warned about and packed:
  $ printf ':020000040800F2\n:00000001FF\n' > fw.hex && swug_gen fw.hex up.bin
  | gen image file checksum=0000055b,size=0000001c |
  stderr: warning: fw.hex looks like Intel HEX text, not raw binary; it is packed as it is (objcopy -I ihex -O binary fw.hex fw.bin makes the raw image)
  $ image fw.hex | cmp - up.bin

An S-record text named .bin, in the default run:
  $ mkdir data out && printf 'S00600004844521B\nS9030000FC\n' > data/VRK520_SW.bin
  $ swug_gen && image data/VRK520_SW.bin | cmp - out/VRK520_UPGRADE_SW.bin
  | gen image file checksum=000005a3,size=0000001c |
  Press any key to exit! [no line end]
  stderr: warning: data/VRK520_SW.bin looks like Motorola S-record text, not raw binary; it is packed as it is (objcopy -I srec -O binary data/VRK520_SW.bin data/VRK520_SW.raw.bin makes the raw image)

Only the software image's bytes are taken for its format, not the MCU OTA image behind them:
  $ printf ':00000001F' > fw && printf 'F\n' > mcu && image fw mcu > up.bin
  $ swug_info up.bin | only 'valid'
  | image is valid |
