The default run packs data/VRK520_SW.bin into out/ and waits for a key:
  $ mkdir data out && ten > data/VRK520_SW.bin
  $ swug_gen
  | gen image file checksum=00000037,size=0000000a |
  Press any key to exit! (no-eol)
  $ image data/VRK520_SW.bin | cmp - out/VRK520_UPGRADE_SW.bin && files
  data/
  data/VRK520_SW.bin 10
  out/
  out/VRK520_UPGRADE_SW.bin 138

The default run without the software image:
  $ mkdir out
  $ swug_gen
  can't find the software file data/VRK520_SW.bin 
  Press any key to exit! (no-eol)
  $ files
  out/

The default run without the out folder:
  $ mkdir data && ten > data/VRK520_SW.bin
  $ swug_gen
  can't create the upgrade image out/VRK520_UPGRADE_SW.bin: No such file or directory
  Press any key to exit! (no-eol)
  $ files
  data/
  data/VRK520_SW.bin 10

The MCU OTA image in the default run:
  $ mkdir data out && ten > data/VRK520_SW.bin && printf abc > mcu_ota.bin
  $ swug_gen
  | gen image file checksum=00000037,size=0000000a , MCU ota checksum=00000126,size=00000003 |
  Press any key to exit! (no-eol)
  $ image data/VRK520_SW.bin mcu_ota.bin | cmp - out/VRK520_UPGRADE_SW.bin

The examples folder packs to its golden image:
  $ mkdir data out && cp "$TESTS_DIR/../examples/data/VRK520_SW.bin" data/
  $ swug_gen
  | gen image file checksum=000bcd83,size=00001800 |
  Press any key to exit! (no-eol)
  $ cmp out/VRK520_UPGRADE_SW.bin "$TESTS_DIR/golden/VRK520_UPGRADE_SW.bin"

The examples folder with its MCU OTA image packs to its golden image:
  $ mkdir data out && cp "$TESTS_DIR/../examples/data/VRK520_SW.bin" data/
  $ cp "$TESTS_DIR/../examples/mcu_ota.bin" .
  $ swug_gen
  | gen image file checksum=000bcd83,size=00001800 , MCU ota checksum=0001826b,size=00000300 |
  Press any key to exit! (no-eol)
  $ cmp out/VRK520_UPGRADE_SW.bin "$TESTS_DIR/golden/VRK520_UPGRADE_SW_mcu.bin"

One argument is a parameter error, then the key wait, which ends at once on an empty pipe:
  $ swug_gen a
  Parameter Error [2]
  Press any key to exit! [no line end]
  stderr: usage: swug_gen SOFTWARE_IMAGE UPGRADE_IMAGE (the firmware file, the upgrade image to write); see man swug_gen

--help is one argument like any other:
  $ swug_gen --help
  Parameter Error [2]
  Press any key to exit! [no line end]
  stderr: usage: swug_gen SOFTWARE_IMAGE UPGRADE_IMAGE (the firmware file, the upgrade image to write); see man swug_gen

-h is one argument too:
  $ swug_gen -h
  Parameter Error [2]
  Press any key to exit! [no line end]
  stderr: usage: swug_gen SOFTWARE_IMAGE UPGRADE_IMAGE (the firmware file, the upgrade image to write); see man swug_gen

Three arguments:
  $ swug_gen a b c
  Parameter Error [4]
  Press any key to exit! [no line end]
  stderr: usage: swug_gen SOFTWARE_IMAGE UPGRADE_IMAGE (the firmware file, the upgrade image to write); see man swug_gen

Four arguments, the first two of them files:
  $ ten > in.bin
  $ swug_gen in.bin up.bin c d
  Parameter Error [5]
  Press any key to exit! [no line end]
  stderr: usage: swug_gen SOFTWARE_IMAGE UPGRADE_IMAGE (the firmware file, the upgrade image to write); see man swug_gen
  $ files
  in.bin 10

The key wait takes one byte of a pipe and leaves the rest for the next reader:
  $ posix_only
  $ printf xy | { timeout 60 "$SWUG_GEN" a 2>err; cat; }
  Parameter Error [2]
  Press any key to exit!y (no-eol)

An empty file as standard input ends the key wait at once:
  $ : > empty
  $ stdin=empty swug_gen
  can't find the software file data/VRK520_SW.bin 
  Press any key to exit! (no-eol)
