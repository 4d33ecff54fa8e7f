--version:
  $ swug_info --version | sed "s/ $(head -1 "$TESTS_DIR/../VERSION")$/ VERSION/"
  swug_info VERSION

--help:
  $ swug_info --help
  usage: swug_info [--json] [--slot-size N] [--sw FILE] [--mcu FILE] [--] IMAGE
  Checks an upgrade image field by field and can write its parts out again.
  
    --json      print the report as one JSON object
    --slot-size N
                the size check fails when the image is larger than N bytes, or N KiB or
                MiB with the suffix K or M (256K, 1M): the device's slot for it
    --sw FILE   write the software image of a valid image to FILE
    --mcu FILE  write the MCU OTA image of a valid image to FILE
    --          end of the options: the next word is the image
    -h, --help  print this help and exit
    --version   print the version and exit
  
  Exit status: 0 the image is valid, 1 it fails a check, 2 wrong usage or a file that
  can't be read or written.

-h after an image:
  $ up_bin && swug_info up.bin -h | head -1
  usage: swug_info [--json] [--slot-size N] [--sw FILE] [--mcu FILE] [--] IMAGE

-? and /?, as Windows programs spell it:
  $ swug_info -? | head -1 && swug_info /? | head -1
  usage: swug_info [--json] [--slot-size N] [--sw FILE] [--mcu FILE] [--] IMAGE
  usage: swug_info [--json] [--slot-size N] [--sw FILE] [--mcu FILE] [--] IMAGE

-- ends the options:
  $ ten > sw && image sw > -up.bin && swug_info -- -up.bin | head -1
  | image -up.bin |

An image named -:
  $ ten > sw && image sw > - && swug_info - | head -1
  | image - |

After --, -h is an image:
  $ swug_info -- -h
  stderr: swug_info: can't open the upgrade image -h: No such file or directory
  [2]

No arguments:
  $ swug_info
  stderr: swug_info: no image given
  stderr: usage: swug_info [--json] [--slot-size N] [--sw FILE] [--mcu FILE] [--] IMAGE
  [2]

An unknown option:
  $ up_bin && swug_info --bogus up.bin
  stderr: swug_info: unknown option --bogus
  stderr: usage: swug_info [--json] [--slot-size N] [--sw FILE] [--mcu FILE] [--] IMAGE
  [2]

An unknown option and no image: the first error decides:
  $ swug_info --bogus
  stderr: swug_info: unknown option --bogus
  stderr: usage: swug_info [--json] [--slot-size N] [--sw FILE] [--mcu FILE] [--] IMAGE
  [2]

--help after an unknown option: the usage error decides:
  $ swug_info --bogus --help
  stderr: swug_info: unknown option --bogus
  stderr: usage: swug_info [--json] [--slot-size N] [--sw FILE] [--mcu FILE] [--] IMAGE
  [2]

Two images:
  $ up_bin && swug_info up.bin up.bin
  stderr: swug_info: one image at a time: up.bin is a second one
  stderr: usage: swug_info [--json] [--slot-size N] [--sw FILE] [--mcu FILE] [--] IMAGE
  [2]

--sw without its file:
  $ swug_info up.bin --sw
  stderr: swug_info: --sw needs a file name
  stderr: usage: swug_info [--json] [--slot-size N] [--sw FILE] [--mcu FILE] [--] IMAGE
  [2]

--sw given twice:
  $ swug_info --sw a --sw b up.bin
  stderr: swug_info: --sw is given twice
  stderr: usage: swug_info [--json] [--slot-size N] [--sw FILE] [--mcu FILE] [--] IMAGE
  [2]

A missing image:
  $ swug_info nope.bin
  stderr: swug_info: can't open the upgrade image nope.bin: No such file or directory
  [2]

An image that is a folder:
  $ mkdir up && swug_info up
  stderr: swug_info: can't read the upgrade image up: Is a directory
  [2]

--slot-size: a slot of the image's size:
  $ up_bin && swug_info --slot-size 138 up.bin | only 'size\|length\|valid'
  | size=0000008a |
  | length=0000000a |
  | check size: ok |
  | check length: ok |
  | image is valid |

--slot-size: a slot one byte smaller holds neither the image nor its software image:
  $ up_bin && swug_info --slot-size 137 up.bin | only 'size\|length\|valid'
  | size=0000008a |
  | length=0000000a |
  | check size: FAILED, expected at most 137 bytes, found 138 bytes |
  | check length: FAILED, expected at most 9 bytes, found 10 bytes |
  | image is NOT valid: 2 checks failed |
  [1]

--slot-size: a slot of 4K, given after the image:
  $ up_bin && swug_info up.bin --slot-size 4K | only 'size\|length\|valid'
  | size=0000008a |
  | length=0000000a |
  | check size: ok |
  | check length: ok |
  | image is valid |

--slot-size: 0 bytes is no size:
  $ up_bin && swug_info --slot-size 0 up.bin
  stderr: swug_info: 0 is not a slot size: give bytes, or KiB or MiB with K or M, such as 262144, 256K or 1M
  stderr: usage: swug_info [--json] [--slot-size N] [--sw FILE] [--mcu FILE] [--] IMAGE
  [2]

--slot-size: a size past 64 bits is no size:
  $ up_bin && swug_info --slot-size 18014398509481984M up.bin
  stderr: swug_info: 18014398509481984M is not a slot size: give bytes, or KiB or MiB with K or M, such as 262144, 256K or 1M
  stderr: usage: swug_info [--json] [--slot-size N] [--sw FILE] [--mcu FILE] [--] IMAGE
  [2]

--slot-size: a lower-case suffix is no size:
  $ up_bin && swug_info --slot-size 4k up.bin
  stderr: swug_info: 4k is not a slot size: give bytes, or KiB or MiB with K or M, such as 262144, 256K or 1M
  stderr: usage: swug_info [--json] [--slot-size N] [--sw FILE] [--mcu FILE] [--] IMAGE
  [2]

--slot-size without its size:
  $ up_bin && swug_info up.bin --slot-size
  stderr: swug_info: --slot-size needs a size
  stderr: usage: swug_info [--json] [--slot-size N] [--sw FILE] [--mcu FILE] [--] IMAGE
  [2]
