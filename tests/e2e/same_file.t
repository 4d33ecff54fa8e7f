The output is the software image:
  $ printf 0123456789 > in.bin && swug_gen in.bin in.bin; also cat in.bin
  the upgrade image in.bin is the software file in.bin, refusing to overwrite it
  0123456789 (no-eol)
  [1]

The output is the software image spelled with ./:
  $ printf 0123456789 > in.bin && swug_gen ./in.bin in.bin; also cat in.bin
  the upgrade image in.bin is the software file $CASE/in.bin, refusing to overwrite it
  0123456789 (no-eol)
  [1]

The output is mcu_ota.bin:
  $ printf 0123456789 > in.bin && printf abc > mcu_ota.bin && swug_gen in.bin ./mcu_ota.bin
  the upgrade image $CASE/mcu_ota.bin is the MCU ota file mcu_ota.bin, refusing to overwrite it
  [1]
  $ cat mcu_ota.bin
  abc (no-eol)

The output is an mcu_ota.bin that is too big to carry:
  $ printf 0123456789 > in.bin && truncate -s 98305 mcu_ota.bin
  $ swug_gen in.bin mcu_ota.bin; also files
  the upgrade image mcu_ota.bin is the MCU ota file mcu_ota.bin, refusing to overwrite it
  in.bin 10
  mcu_ota.bin 98305
  [1]

The default run refuses and still prompts:
  $ mkdir data out && printf 0123456789 > data/VRK520_SW.bin
  $ ln data/VRK520_SW.bin out/VRK520_UPGRADE_SW.bin && swug_gen
  the upgrade image out/VRK520_UPGRADE_SW.bin is the software file data/VRK520_SW.bin, refusing to overwrite it
  Press any key to exit! (no-eol)
  [1]
  $ cat out/VRK520_UPGRADE_SW.bin
  0123456789 (no-eol)

The output is a hard link to the software image:
  $ posix_only && printf 0123456789 > in.bin && ln in.bin hard.bin
  $ swug_gen in.bin hard.bin; also cat hard.bin
  the upgrade image hard.bin is the software file in.bin, refusing to overwrite it
  0123456789 (no-eol)
  [1]

The output is a symbolic link to mcu_ota.bin:
  $ posix_only && printf 0123456789 > in.bin && printf abc > mcu_ota.bin
  $ ln -s mcu_ota.bin link.bin && swug_gen in.bin link.bin; also files; also cat mcu_ota.bin
  the upgrade image link.bin is the MCU ota file mcu_ota.bin, refusing to overwrite it
  in.bin 10
  link.bin -> mcu_ota.bin
  mcu_ota.bin 3
  abc (no-eol)
  [1]

Files on two file systems that share an inode number are different files:
  $ root_only && posix_only && unshare --mount true || exit 80
  $ mkdir a b && unshare --mount --propagation private sh -c '
  >   mount -t tmpfs one a && mount -t tmpfs two b && printf 0123456789 > a/in.bin && : > b/up.bin
  >   [ $(stat -c %i a/in.bin) = $(stat -c %i b/up.bin) ] || echo "no shared inode number"
  >   "$0" a/in.bin b/up.bin' "$SWUG_GEN"
  | gen image file checksum=0000020d,size=0000000a |

Two spellings of one new part in a folder that ignores case: the second is refused, the first kept:
  $ root_only && posix_only && command -v fusefat mkfs.vfat > /dev/null && [ -e /dev/fuse ] || exit 80
  $ printf abc > sw && printf xyz > mcu && image sw mcu > fat.img.bin && truncate -s 4M fat && mkfs.vfat fat > /dev/null
  $ mkdir mnt && unshare --mount bash -c 'fusefat -o rw+ fat mnt 2> /dev/null && cd mnt &&
  >   swug_info --sw PART.BIN --mcu part.bin ../fat.img.bin | tail -3; s=$?; ls; cat PART.BIN; exit $s'
  | wrote the software image to PART.BIN, size=00000003 |
  | wrote the MCU ota image to part.bin, size=00000003 |
  stderr: swug_info: --sw PART.BIN and --mcu part.bin are the same file
  PART.BIN
  abc (no-eol)
  [2]
