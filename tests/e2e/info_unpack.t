The software image:
  $ up_bin && swug_info --sw sw.out up.bin | tail -2 && cmp sw sw.out
  | image is valid |
  | wrote the software image to sw.out, size=0000000a |

Both parts:
  $ up_bin mcu && swug_info --mcu mcu.out --sw sw.out up.bin | tail -3
  | image is valid |
  | wrote the software image to sw.out, size=0000000a |
  | wrote the MCU ota image to mcu.out, size=00000003 |
  $ cmp sw sw.out && cmp mcu mcu.out

--mcu alone writes the MCU OTA image only:
  $ up_bin mcu && swug_info --mcu mcu.out up.bin | tail -2 && cmp mcu mcu.out && files
  | image is valid |
  | wrote the MCU ota image to mcu.out, size=00000003 |
  mcu 3
  mcu.out 3
  sw 10
  up.bin 141

Both parts replace existing files:
  $ up_bin mcu && printf OLD | tee sw.out > mcu.out
  $ swug_info --sw sw.out --mcu mcu.out up.bin | tail -2 && cmp sw sw.out && cmp mcu mcu.out
  | wrote the software image to sw.out, size=0000000a |
  | wrote the MCU ota image to mcu.out, size=00000003 |

A damaged image is not unpacked:
  $ up_bin 20=0x38 && swug_info --sw sw.out up.bin | tail -1; also files
  stderr: swug_info: not writing the parts of an image that is not valid
  sw 10
  up.bin 138
  [1]

A damaged image is not unpacked with --mcu alone either:
  $ up_bin mcu 20=0x38 && swug_info --mcu mcu.out up.bin | tail -1; also files
  stderr: swug_info: not writing the parts of an image that is not valid
  mcu 3
  sw 10
  up.bin 141
  [1]

--mcu on an image without one:
  $ up_bin && swug_info --mcu mcu.out up.bin | tail -1; also files
  stderr: swug_info: up.bin holds no MCU ota image to write to mcu.out
  sw 10
  up.bin 138
  [2]

--sw over the image itself:
  $ up_bin && swug_info --sw up.bin up.bin | tail -1
  stderr: swug_info: up.bin is the upgrade image up.bin, refusing to overwrite it
  [2]
  $ image sw | cmp - up.bin

--sw over the image spelled otherwise:
  $ up_bin && mkdir sub && swug_info --sw sub/../up.bin up.bin | tail -1
  stderr: swug_info: sub/../up.bin is the upgrade image up.bin, refusing to overwrite it
  [2]
  $ image sw | cmp - up.bin

--sw into a missing folder:
  $ up_bin && swug_info --sw no/sw.out up.bin | tail -1
  stderr: swug_info: can't create no/sw.out: No such file or directory
  [2]

--sw onto a full device:
  $ node full 1 7 && up_bin && swug_info --sw full up.bin | tail -1
  stderr: swug_info: can't write full: No space left on device
  [2]

--sw and --mcu name one existing file:
  $ up_bin mcu && printf KEEP > keep.txt
  $ swug_info --sw keep.txt --mcu keep.txt up.bin | tail -1; also cat keep.txt
  stderr: swug_info: --sw keep.txt and --mcu keep.txt are the same file
  KEEP (no-eol)
  [2]

--sw and --mcu name one new file, spelled two ways:
  $ up_bin mcu && swug_info --sw a.out --mcu ./a.out up.bin | tail -1; also files
  stderr: swug_info: --sw a.out and --mcu ./a.out are the same file
  mcu 3
  sw 10
  up.bin 141
  [2]

--mcu names the image, --sw an existing file:
  $ up_bin mcu && printf KEEP > keep.txt && swug_info --sw keep.txt --mcu up.bin up.bin | tail -1
  stderr: swug_info: up.bin is the upgrade image up.bin, refusing to overwrite it
  [2]
  $ cat keep.txt && image sw mcu | cmp - up.bin
  KEEP (no-eol)

--mcu into a missing folder, --sw an existing file:
  $ up_bin mcu && printf KEEP > keep.txt
  $ swug_info --sw keep.txt --mcu nodir/m.bin up.bin | tail -1; also cat keep.txt
  stderr: swug_info: can't create nodir/m.bin: No such file or directory
  KEEP (no-eol)
  [2]

A linked part's file is replaced, the link stays:
  $ posix_only && up_bin mcu
  $ mkdir store && printf OLD > store/sw.bin && ln -s store/sw.bin link.out
  $ swug_info --sw link.out up.bin | tail -1 && cmp sw store/sw.bin && files
  | wrote the software image to link.out, size=0000000a |
  link.out -> store/sw.bin
  mcu 3
  store/
  store/sw.bin 10
  sw 10
  up.bin 141

--sw and --mcu are hard links of one file:
  $ posix_only && up_bin mcu && printf KEEP > keep.txt && ln keep.txt link.txt
  $ swug_info --sw keep.txt --mcu link.txt up.bin | tail -1; also cat link.txt
  stderr: swug_info: --sw keep.txt and --mcu link.txt are the same file
  KEEP (no-eol)
  [2]

--sw onto a full device fails with its name, and no --mcu file is left:
  $ node full 1 7 && up_bin mcu && swug_info --sw full --mcu mcu.out up.bin | tail -1; also files
  stderr: swug_info: can't write full: No space left on device
  full (device)
  mcu 3
  sw 10
  up.bin 141
  [2]

An image read from a pipe is refused for unpacking before any file exists:
  $ posix_only && up_bin mcu && ln -s /proc/self/fd/0 piped.bin
  $ cat up.bin | "$SWUG_INFO" --sw sw.out --mcu mcu.out piped.bin 2>&1 | sed -n '1p;$p'
  | image piped.bin |
  swug_info: can't read the upgrade image piped.bin: Illegal seek
  [2]
  $ files
  mcu 3
  piped.bin -> /proc/self/fd/0
  sw 10
  up.bin 141

A read-only part's file is refused before any file is written:
  $ posix_only && up_bin mcu && printf OLD > sw.out
  $ chown 61001:61001 sw.out && chmod 0444 sw.out || exit 80
  $ as 61001 swug_info --mcu mcu.out --sw sw.out up.bin | tail -1; also files
  stderr: swug_info: can't write sw.out: it is read-only
  mcu 3
  sw 10
  sw.out 3
  up.bin 141
  [2]

A part in a folder that allows no new files is written over:
  $ posix_only && up_bin mcu && mkdir parts
  $ printf OLD > parts/sw.out && chown 61001:61001 parts/sw.out || exit 80
  $ as 61001 swug_info --sw parts/sw.out up.bin | tail -2 && cmp sw parts/sw.out
  | wrote the software image to parts/sw.out, size=0000000a |
  stderr: swug_info: parts/sw.out was written over in place, not replaced in one step: its folder allows no new files

--sw names the standard output's pipe:
  $ posix_only && up_bin mcu && stdout=pipe swug_info --sw /proc/self/fd/1 up.bin | tail -1
  stderr: swug_info: /proc/self/fd/1 is the standard output, refusing to write a part and the report into one file
  [2]

Standard output fails: no part replaces its file:
  $ node full 1 7 && up_bin mcu && printf OLD > sw.out
  $ stdout=full swug_info --sw sw.out up.bin; also cat sw.out
  stderr: swug_info: can't write to standard output: No space left on device
  OLD (no-eol)
  [2]

Standard output fails in the middle of a long report:
  $ node full 1 7 && up_bin mcu && deep=$(printf '%0250d/' {1..15}) && mkdir -p $deep
  $ mv up.bin ${deep}up.bin && stdout=full swug_info ${deep}up.bin
  stderr: swug_info: can't write to standard output: No space left on device
  [2]

Standard output fails without unpacking:
  $ node full 1 7 && up_bin && stdout=full swug_info up.bin
  stderr: swug_info: can't write to standard output: No space left on device
  [2]

A read error in the image:
  $ posix_only && swug_info /proc/self/mem
  stderr: swug_info: can't read the upgrade image /proc/self/mem: Input/output error
  [2]

Two parts in one folder reached two ways are one file:
  $ root_only && posix_only && unshare --mount true || exit 80
  $ up_bin mcu && mkdir real view
  $ unshare --mount --propagation private sh -c 'mount --bind real view && exec "$@"' - \
  >   "$SWUG_INFO" --sw real/part.bin --mcu view/part.bin up.bin | tail -1
  swug_info: --sw real/part.bin and --mcu view/part.bin are the same file
  | image is valid |
  [2]
  $ files
  mcu 3
  real/
  sw 10
  up.bin 141
  view/

FIFOs are read and written in place:
  $ posix_only && up_bin && mkfifo sw.fifo up.fifo
  $ cat sw.fifo > got & swug_info --sw sw.fifo up.bin | tail -1; wait
  | wrote the software image to sw.fifo, size=0000000a |
  $ cmp sw got
  $ cat up.bin > up.fifo & swug_info up.fifo | head -1; wait
  | image up.fifo |
  $ files
  got 10
  sw 10
  sw.fifo (FIFO)
  up.bin 138
  up.fifo (FIFO)

Two parts with one name in two folders are both written:
  $ up_bin mcu && mkdir a b && swug_info --sw a/x.bin --mcu b/x.bin up.bin | tail -2
  | wrote the software image to a/x.bin, size=0000000a |
  | wrote the MCU ota image to b/x.bin, size=00000003 |
  $ cmp sw a/x.bin && cmp mcu b/x.bin

With standard error closed by the caller, swug_info --sw /dev/stderr still writes its part:
  $ posix_only && up_bin && stderr=closed swug_info --sw /dev/stderr up.bin | tail -1
  | wrote the software image to /dev/stderr, size=0000000a |

An MCU OTA image changed after the check, while the software image waits in a FIFO, is refused:
  $ posix_only && pattern 300000 1 0 > sw && printf abc > mcu && image sw mcu > up.bin && mkfifo sw.fifo
  $ exec 3<>sw.fifo; swug_info --sw sw.fifo --mcu mcu.out up.bin | tail -1 & dd bs=1 count=1 status=none <&3 >/dev/null; printf x | dd of=up.bin bs=1 seek=300129 conv=notrunc status=none; head -c 299999 <&3 >/dev/null; wait $!
  stderr: swug_info: the upgrade image up.bin changed while it was read
  [2]
  $ files
  mcu 3
  sw 300000
  sw.fifo (FIFO)
  up.bin 300131
