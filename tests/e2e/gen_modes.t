The default run packs data/VRK520_SW.bin into out/ and waits for a key:
  $ mkdir data out && ten > data/VRK520_SW.bin && swug_gen
  | gen image file checksum=00000037,size=0000000a |
  Press any key to exit! (no-eol)
  $ image data/VRK520_SW.bin | cmp - out/VRK520_UPGRADE_SW.bin && files
  data/
  data/VRK520_SW.bin 10
  out/
  out/VRK520_UPGRADE_SW.bin 138

The default run without the software image:
  $ mkdir out && swug_gen
  can't find the software file data/VRK520_SW.bin 
  Press any key to exit! (no-eol)
  [1]
  $ files
  out/

The default run without the out folder:
  $ mkdir data && ten > data/VRK520_SW.bin && swug_gen
  can't create the upgrade image out/VRK520_UPGRADE_SW.bin: No such file or directory
  Press any key to exit! (no-eol)
  [1]
  $ files
  data/
  data/VRK520_SW.bin 10

The MCU OTA image in the default run:
  $ mkdir data out && ten > data/VRK520_SW.bin && printf abc > mcu_ota.bin && swug_gen
  | gen image file checksum=00000037,size=0000000a , MCU ota checksum=00000126,size=00000003 |
  Press any key to exit! (no-eol)
  $ image data/VRK520_SW.bin mcu_ota.bin | cmp - out/VRK520_UPGRADE_SW.bin

The examples folder packs to its golden image:
  $ mkdir data out && cp "$TESTS_DIR/../examples/data/VRK520_SW.bin" data/ && swug_gen
  | gen image file checksum=000bcd83,size=00001800 |
  Press any key to exit! (no-eol)
  $ cmp out/VRK520_UPGRADE_SW.bin "$TESTS_DIR/golden/VRK520_UPGRADE_SW.bin"

The examples folder with its MCU OTA image packs to its golden image:
  $ mkdir data out && cp "$TESTS_DIR/../examples/data/VRK520_SW.bin" data/
  $ cp "$TESTS_DIR/../examples/mcu_ota.bin" . && swug_gen
  | gen image file checksum=000bcd83,size=00001800 , MCU ota checksum=0001826b,size=00000300 |
  Press any key to exit! (no-eol)
  $ cmp out/VRK520_UPGRADE_SW.bin "$TESTS_DIR/golden/VRK520_UPGRADE_SW_mcu.bin"

One argument is a parameter error, then the key wait, which ends at once on an empty pipe:
  $ swug_gen a
  Parameter Error [2]
  Press any key to exit! [no line end]
  stderr: usage: swug_gen SOFTWARE_IMAGE UPGRADE_IMAGE (the firmware file, the upgrade image to write); see man swug_gen
  [1]

--help prints the help and ends, without prompt or key wait:
  $ swug_gen --help
  usage: swug_gen SOFTWARE_IMAGE UPGRADE_IMAGE
         swug_gen
  Packs a firmware file, the software image, into an upgrade image.
  
  Command mode, with two arguments: packs SOFTWARE_IMAGE into UPGRADE_IMAGE. An
  argument that begins with "./" is expanded against the working folder.
  Interactive mode, without arguments: packs data/VRK520_SW.bin into
  out/VRK520_UPGRADE_SW.bin, then prints "Press any key to exit!" and waits for
  one key. Either way, an mcu_ota.bin of at most 96 KiB in the current folder is
  appended as the MCU OTA image.
  
    --help, /?  print this help and exit
    --version   print the version and exit
  
  Exit status: 0 the upgrade image was written, 1 it was not.
  More: man swug_gen; on Windows, README.md beside the program.

-h is one argument too:
  $ swug_gen -h
  Parameter Error [2]
  Press any key to exit! [no line end]
  stderr: usage: swug_gen SOFTWARE_IMAGE UPGRADE_IMAGE (the firmware file, the upgrade image to write); see man swug_gen
  [1]

Three arguments:
  $ swug_gen a b c
  Parameter Error [4]
  Press any key to exit! [no line end]
  stderr: usage: swug_gen SOFTWARE_IMAGE UPGRADE_IMAGE (the firmware file, the upgrade image to write); see man swug_gen
  [1]

Four arguments, the first two of them files:
  $ ten > in.bin && swug_gen in.bin up.bin c d; also files
  Parameter Error [5]
  Press any key to exit! [no line end]
  stderr: usage: swug_gen SOFTWARE_IMAGE UPGRADE_IMAGE (the firmware file, the upgrade image to write); see man swug_gen
  in.bin 10
  [1]

The key wait takes one byte of a pipe and leaves the rest for the next reader:
  $ posix_only && printf xy | { timeout 60 "$SWUG_GEN" a 2>err; cat; }
  Parameter Error [2]
  Press any key to exit!y (no-eol)

An empty file as standard input ends the key wait at once:
  $ : > empty && stdin=empty swug_gen
  can't find the software file data/VRK520_SW.bin 
  Press any key to exit! (no-eol)
  [1]

/? asks for the help too, as Windows programs do:
  $ swug_gen /? | head -n 1
  usage: swug_gen SOFTWARE_IMAGE UPGRADE_IMAGE

--version prints the release:
  $ swug_gen --version > version && echo "swug_gen $(head -n 1 "$TESTS_DIR/../VERSION")" | cmp - version

Help and version take no key from standard input:
  $ posix_only
  $ printf xy | { timeout 60 "$SWUG_GEN" --version >/dev/null; timeout 60 "$SWUG_GEN" --help >/dev/null; cat; }
  xy (no-eol)

--help beside other arguments is a wrong count:
  $ swug_gen --help --version x
  Parameter Error [4]
  Press any key to exit! [no line end]
  stderr: usage: swug_gen SOFTWARE_IMAGE UPGRADE_IMAGE (the firmware file, the upgrade image to write); see man swug_gen
  [1]

Two arguments are two paths, whatever they look like:
  $ ten > ./--help && swug_gen --help --version && image ./--help | cmp - ./--version
  | gen image file checksum=00000037,size=0000000a |

--version with a second argument is a software image's name:
  $ swug_gen --version up.bin
  can't find the software file --version 
  [1]

Help that can't be printed is no success:
  $ posix_only && stdout=gone swug_gen --help
  stderr: can't write to standard output: Broken pipe
  [1]
