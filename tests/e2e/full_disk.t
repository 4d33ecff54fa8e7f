No room beside the old image: it is finished in a scratch file and copied over the old one:
  $ root_only && posix_only && unshare --mount true || exit 80
  $ pattern 40000 7 1 > in.bin && image in.bin > want.bin && mkdir small
  $ unshare --mount bash -c 'mount -t tmpfs -o size=64k none small && pattern 40000 3 0 > small/up.bin &&
  >   swug_gen in.bin small/up.bin && cmp want.bin small/up.bin && cd small && files'
  | gen image file checksum=004dce60,size=00009c40 |
  stderr: the upgrade image small/up.bin was written over in place, not replaced in one step: there is no room for a new file beside it
  up.bin 40128

The scratch folder full too: the old image is written over and cut, as a plain write does:
  $ root_only && posix_only && unshare --mount true || exit 80
  $ pattern 30000 7 1 > in.bin && image in.bin > want.bin && mkdir small scratch
  $ unshare --mount bash -c 'mount -t tmpfs -o size=64k none small && mount -t tmpfs -o size=16k none scratch &&
  >   pattern 48000 3 0 > small/up.bin && pattern 16384 1 0 > scratch/full &&
  >   TMPDIR=$PWD/scratch swug_gen in.bin small/up.bin && cmp want.bin small/up.bin && files'
  | gen image file checksum=003a5988,size=00007530 |
  stderr: the upgrade image small/up.bin was written over in place, not replaced in one step: there is no room for a new file beside it
  in.bin 30000
  scratch/
  scratch/full 16384
  small/
  small/up.bin 30128
  want.bin 30128

A software image from a FIFO, bigger than the old image, on a disk that holds one of them only:
  $ root_only && posix_only && unshare --mount true || exit 80
  $ pattern 56000 7 1 > in.bin && image in.bin > want.bin && mkdir small scratch && mkfifo in.fifo
  $ unshare --mount bash -c 'mount -t tmpfs -o size=64k none small && mount -t tmpfs -o size=16k none scratch &&
  >   pattern 16000 3 0 > small/up.bin && pattern 16384 1 0 > scratch/full && { cat in.bin > in.fifo & } &&
  >   TMPDIR=$PWD/scratch swug_gen in.fifo small/up.bin && cmp want.bin small/up.bin && cd small && files'
  | gen image file checksum=006cef20,size=0000dac0 |
  stderr: the upgrade image small/up.bin was written over in place, not replaced in one step: there is no room for a new file beside it
  up.bin 56128

A new image on a full disk fails, as a plain write does, and leaves nothing:
  $ root_only && posix_only && unshare --mount true || exit 80
  $ pattern 40000 7 1 > in.bin && mkdir small
  $ unshare --mount bash -c 'mount -t tmpfs -o size=64k none small && pattern 40000 3 0 > small/old.bin &&
  >   swug_gen in.bin small/up.bin; status=$?; cd small && files; exit $status'
  can't write the upgrade image small/up.bin: No space left on device
  old.bin 40000
  [1]

A quota reached while the new file is filled: the image is finished in a scratch file:
  $ pattern 300000 7 1 > in.bin && printf OLD > up.bin
  $ fail write:122:1:1 swug_gen in.bin up.bin && image in.bin | cmp - up.bin && ls -A
  | gen image file checksum=0247a450,size=000493e0 |
  stderr: the upgrade image up.bin was written over in place, not replaced in one step: there is no room for a new file beside it
  in.bin
  up.bin

Until that is complete, the old image stays as it was:
  $ pattern 300000 7 1 > in.bin && printf OLD > up.bin
  $ fail write:122:0:1,pwrite:5 swug_gen in.bin up.bin; also cat up.bin
  can't write the upgrade image up.bin: Input/output error
  OLD (no-eol)
  [1]
  $ ls -A
  in.bin
  up.bin

The scratch file at its quota too: the old image is written over:
  $ pattern 300000 7 1 > in.bin && printf OLD > up.bin
  $ fail write:122:1:2 swug_gen in.bin up.bin && image in.bin | cmp - up.bin
  | gen image file checksum=0247a450,size=000493e0 |
  stderr: the upgrade image up.bin was written over in place, not replaced in one step: there is no room for a new file beside it

No scratch file to be had: the old image is written over:
  $ pattern 300000 7 1 > in.bin && printf OLD > up.bin
  $ fail write:122:1:1,scratch:122 swug_gen in.bin up.bin && image in.bin | cmp - up.bin
  | gen image file checksum=0247a450,size=000493e0 |
  stderr: the upgrade image up.bin was written over in place, not replaced in one step: there is no room for a new file beside it
