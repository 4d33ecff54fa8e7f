Before each case: a software image in.bin and the old image up.bin:
  $ printf 0123456789 > in.bin && printf OLD > up.bin

The new file's sync fails:
  $ fail fsync:5 swug_gen in.bin up.bin; also cat up.bin
  can't write the upgrade image up.bin: Input/output error
  OLD (no-eol)
  [1]

The rename fails: the new file's hidden name is gone again:
  $ fail rename:5 swug_gen in.bin up.bin; also ls -A; also cat up.bin
  | gen image file checksum=0000020d,size=0000000a |
  can't write the upgrade image up.bin: Input/output error
  in.bin
  up.bin
  OLD (no-eol)
  [1]

A close fails:
  $ fail close:5 swug_gen in.bin up.bin; also cat up.bin
  can't write the upgrade image up.bin: Input/output error
  OLD (no-eol)
  [1]

A write fails:
  $ fail write:28 swug_gen in.bin up.bin; also cat up.bin
  can't write the upgrade image up.bin: No space left on device
  OLD (no-eol)
  [1]

The header's write fails:
  $ fail pwrite:5 swug_gen in.bin up.bin; also cat up.bin
  can't write the upgrade image up.bin: Input/output error
  OLD (no-eol)
  [1]

The output can't go back to its start:
  $ fail lseek:29 swug_gen in.bin up.bin; also cat up.bin
  can't write the upgrade image up.bin: Illegal seek
  OLD (no-eol)
  [1]

The old file's mode can't be given:
  $ fail fchmod:1 swug_gen in.bin up.bin; also cat up.bin
  can't write the upgrade image up.bin: Operation not permitted
  OLD (no-eol)
  [1]

The software image can't be read:
  $ fail read:5 swug_gen in.bin up.bin; also cat up.bin
  can't read the software file in.bin: Input/output error
  OLD (no-eol)
  [1]

The new file can't be created:
  $ fail openat:5 swug_gen in.bin up.bin; also cat up.bin
  can't create the upgrade image up.bin: Input/output error
  OLD (no-eol)
  [1]

The folder's sync fails after the rename:
  $ fail fsync:5:1 swug_gen in.bin up.bin && image in.bin | cmp - up.bin
  | gen image file checksum=0000020d,size=0000000a |
  stderr: the upgrade image up.bin is in place, but its folder can't be synced to the disk: Input/output error

The folder can't be synced on this file system:
  $ fail fsync:22:1 swug_gen in.bin up.bin && image in.bin | cmp - up.bin
  | gen image file checksum=0000020d,size=0000000a |

There is no room for a new file:
  $ fail create:28 swug_gen in.bin up.bin && image in.bin | cmp - up.bin
  | gen image file checksum=0000020d,size=0000000a |
  stderr: the upgrade image up.bin was written over in place, not replaced in one step: there is no room for a new file beside it

The folder allows no new files:
  $ fail create:13 swug_gen in.bin up.bin && image in.bin | cmp - up.bin
  | gen image file checksum=0000020d,size=0000000a |
  stderr: the upgrade image up.bin was written over in place, not replaced in one step: its folder allows no new files

Written over, with no room for the image:
  $ fail create:13,fallocate:28 swug_gen in.bin up.bin; also cat up.bin
  | gen image file checksum=0000020d,size=0000000a |
  can't write the upgrade image up.bin: No space left on device
  OLD (no-eol)
  [1]

Written over, the first write over it fails:
  $ fail create:13,write:28:1 swug_gen in.bin up.bin; also cat up.bin
  | gen image file checksum=0000020d,size=0000000a |
  can't write the upgrade image up.bin: No space left on device
  OLD (no-eol)
  [1]

Written over, the header can't be written:
  $ fail create:13,pwrite:5 swug_gen in.bin up.bin; also cat up.bin
  can't write the upgrade image up.bin: Input/output error
  OLD (no-eol)
  [1]

Written over, the software image can't be read:
  $ fail create:13,read:5 swug_gen in.bin up.bin; also cat up.bin
  can't read the software file in.bin: Input/output error
  OLD (no-eol)
  [1]

Written over, the sync fails:
  $ fail create:13,fsync:5 swug_gen in.bin up.bin
  | gen image file checksum=0000020d,size=0000000a |
  can't write the upgrade image up.bin: Input/output error
  [1]
  $ image in.bin | cmp - up.bin

Written over, the old file can't be cut to size:
  $ fail create:13,ftruncate:5 swug_gen in.bin up.bin
  | gen image file checksum=0000020d,size=0000000a |
  can't write the upgrade image up.bin: Input/output error
  [1]
  $ image in.bin | cmp - up.bin

No nameless files: a named scratch file, removed at once:
  $ mkdir scratch && TMPDIR=$PWD/scratch fail create:13,scratch:95 swug_gen in.bin up.bin
  | gen image file checksum=0000020d,size=0000000a |
  stderr: the upgrade image up.bin was written over in place, not replaced in one step: its folder allows no new files
  $ image in.bin | cmp - up.bin && files
  in.bin 10
  scratch/
  up.bin 138

No room for a scratch file anywhere: the old image is written over at once:
  $ mkdir scratch && TMPDIR=$PWD/scratch fail create:13,scratch:28 swug_gen in.bin up.bin
  | gen image file checksum=0000020d,size=0000000a |
  stderr: the upgrade image up.bin was written over in place, not replaced in one step: its folder allows no new files
  $ image in.bin | cmp - up.bin && files
  in.bin 10
  scratch/
  up.bin 138

The owner can't be given: the file is written over, keeping owner and group:
  $ chown 1234:5678 up.bin || exit 80
  $ fail fchown:1 swug_gen in.bin up.bin && image in.bin | cmp - up.bin && meta up.bin
  | gen image file checksum=0000020d,size=0000000a |
  stderr: the upgrade image up.bin was written over in place, not replaced in one step: a new file can't be given its owner
  up.bin 1234:5678 0644

swug_info: the software part's sync fails:
  $ failing_calls_only && up_bin mcu && printf 'old software' > s.out && printf 'old mcu' > m.out
  $ fail fsync:5 swug_info --sw s.out --mcu m.out up.bin | grep -v '^| check\|^| [a-z_]*='
  | image up.bin |
  | image is valid |
  stderr: swug_info: can't write s.out: Input/output error
  [2]
  $ cat s.out m.out
  old softwareold mcu (no-eol)

swug_info: the MCU part's sync fails:
  $ failing_calls_only && up_bin mcu && printf 'old software' > s.out && printf 'old mcu' > m.out
  $ fail fsync:5:1 swug_info --sw s.out --mcu m.out up.bin | grep -v '^| check\|^| [a-z_]*='
  | image up.bin |
  | image is valid |
  stderr: swug_info: can't write m.out: Input/output error
  [2]
  $ cat s.out m.out
  old softwareold mcu (no-eol)

swug_info: the MCU part's write fails:
  $ failing_calls_only && up_bin mcu && printf 'old software' > s.out && printf 'old mcu' > m.out
  $ fail write:28:1 swug_info --sw s.out --mcu m.out up.bin | grep -v '^| check\|^| [a-z_]*='
  | image up.bin |
  | image is valid |
  stderr: swug_info: can't write m.out: No space left on device
  [2]
  $ cat s.out m.out
  old softwareold mcu (no-eol)

swug_info: the MCU part's mode can't be given:
  $ failing_calls_only && up_bin mcu && printf 'old software' > s.out && printf 'old mcu' > m.out
  $ fail fchmod:5:1 swug_info --sw s.out --mcu m.out up.bin | grep -v '^| check\|^| [a-z_]*='
  | image up.bin |
  | image is valid |
  stderr: swug_info: can't write m.out: Input/output error
  [2]
  $ cat s.out m.out
  old softwareold mcu (no-eol)

swug_info: the first rename fails:
  $ failing_calls_only && up_bin mcu && printf 'old software' > s.out && printf 'old mcu' > m.out
  $ fail rename:5 swug_info --sw s.out --mcu m.out up.bin | grep -v '^| check\|^| [a-z_]*='
  | image up.bin |
  | image is valid |
  | wrote the software image to s.out, size=0000000a |
  | wrote the MCU ota image to m.out, size=00000003 |
  stderr: swug_info: can't write s.out: Input/output error
  [2]
  $ cat s.out m.out
  old softwareold mcu (no-eol)

swug_info: the image can't go back to a part's start:
  $ failing_calls_only && up_bin mcu && printf 'old software' > s.out && printf 'old mcu' > m.out
  $ fail lseek:29 swug_info --sw s.out --mcu m.out up.bin | grep -v '^| check\|^| [a-z_]*='
  | image up.bin |
  | image is valid |
  stderr: swug_info: can't read the upgrade image up.bin: Illegal seek
  [2]
  $ cat s.out m.out
  old softwareold mcu (no-eol)

swug_info: the image can't be read:
  $ failing_calls_only && up_bin mcu && printf 'old software' > s.out && printf 'old mcu' > m.out
  $ fail read:5:1 swug_info --sw s.out --mcu m.out up.bin | grep -v '^| check\|^| [a-z_]*='
  stderr: swug_info: can't read the upgrade image up.bin: Input/output error
  [2]
  $ cat s.out m.out
  old softwareold mcu (no-eol)

swug_info: the folder's sync fails after the renames:
  $ failing_calls_only && up_bin mcu && printf 'old software' > s.out && printf 'old mcu' > m.out
  $ fail fsync:5:3 swug_info --sw s.out --mcu m.out up.bin | grep -v '^| check\|^| [a-z_]*='
  | image up.bin |
  | image is valid |
  | wrote the software image to s.out, size=0000000a |
  | wrote the MCU ota image to m.out, size=00000003 |
  stderr: swug_info: m.out is in place, but its folder can't be synced to the disk: Input/output error
  $ cmp sw s.out && cmp mcu m.out

Memory that runs out anywhere ends in the tool's message, with nothing left behind:
  $ posix_only && unsanitized_only && ten > in.bin
  $ for kb in $(seq 5000 20 7000); do (ulimit -v $kb; "$SWUG_GEN" in.bin out.bin; echo "exit $?") 2>&1; done | sort -u | grep -v -e checksum -e 'exit [01]$' -e 'loading shared' -e 'TLS data' -e 'exit 127$'
  Cannot allocate memory
  can't write the upgrade image out.bin: Cannot allocate memory
  $ ls -A
  in.bin
  out.bin
  up.bin

Where the file system can't reserve room beforehand, the image is written all the same:
  $ fail fallocate:95 swug_gen in.bin up.bin && fail create:13,fallocate:38 swug_gen in.bin up.bin
  | gen image file checksum=0000020d,size=0000000a |
  | gen image file checksum=0000020d,size=0000000a |
  stderr: the upgrade image up.bin was written over in place, not replaced in one step: its folder allows no new files
  $ image in.bin | cmp - up.bin

A close met by a signal has closed its file: no error:
  $ fail close:4 swug_gen in.bin up.bin && image in.bin | cmp - up.bin
  | gen image file checksum=0000020d,size=0000000a |

No room for a new image where there was none: nothing is written:
  $ rm up.bin && fail create:28 swug_gen in.bin up.bin; also files
  can't create the upgrade image up.bin: No space left on device
  in.bin 10
  [1]
