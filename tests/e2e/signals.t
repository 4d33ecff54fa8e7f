SIGKILL and the signals 32 and 33, which no program can catch, leave nothing but the old image:
  $ posix_only && printf OLD > up.bin && mkfifo in.fifo && truncate -s 600000 zeros
  $ for signal in 9 32 33; do
  >   "$SWUG_GEN" in.fifo up.bin & exec 3> in.fifo; cat zeros >&3
  >   kill -$signal $! && wait $! 2>"$CRAMTMP/.ignored"; echo "signal $signal: $?"; exec 3>&-
  > done
  signal 9: 137
  signal 32: 160
  signal 33: 161
  $ ls -A && cat up.bin
  in.fifo
  up.bin
  zeros
  OLD (no-eol)

Nor does SIGKILL leave anything of a new image:
  $ posix_only && mkfifo in.fifo && truncate -s 600000 zeros
  $ "$SWUG_GEN" in.fifo up.bin & exec 3> in.fifo; cat zeros >&3; kill -9 $! && wait $! 2>"$CRAMTMP/.ignored"
  [137]
  $ ls -A
  in.fifo
  zeros

Without nameless files, SIGTERM removes the hidden file and SIGKILL leaves it, readable by its owner alone:
  $ posix_only && failing_calls_only
  $ printf OLD > up.bin && mkfifo in.fifo && truncate -s 600000 zeros && umask 0
  $ for signal in 15 9; do
  >   started tmpfile:95 "$SWUG_GEN" in.fifo up.bin; exec 3> in.fifo; cat zeros >&3
  >   kill -$signal $! && wait $! 2>"$CRAMTMP/.ignored"; echo "signal $signal: $?"; exec 3>&-; ls -A | sed 's/swug-....../swug-XXXXXX/'
  > done
  signal 15: 143
  in.fifo
  up.bin
  zeros
  signal 9: 137
  .up.bin.swug-XXXXXX
  in.fifo
  up.bin
  zeros
  $ stat -c %a .up.bin.swug-* && cat up.bin
  600
  OLD (no-eol)

Without /proc a new file can't be named later, so it is named from the start:
  $ root_only && posix_only && unsanitized_only && unshare --mount true || exit 80
  $ printf OLD > up.bin && mkfifo in.fifo && truncate -s 600000 zeros
  $ unshare --mount --propagation private sh -c 'umount -l /proc && { "$0" in.fifo up.bin & }
  >   exec 3> in.fifo; cat zeros >&3; ls -A | sed "s/swug-....../swug-XXXXXX/"; exec 3>&-; wait' "$SWUG_GEN"
  .up.bin.swug-XXXXXX
  in.fifo
  up.bin
  zeros
  | gen image file checksum=00000000,size=000927c0 |
  $ ls -A && image zeros | cmp - up.bin
  in.fifo
  up.bin
  zeros

The new file can't be given its name: the old image stays, and nothing else is left:
  $ posix_only && failing_calls_only && printf 0123456789 > in.bin && printf OLD > up.bin
  $ fail link:5 swug_gen in.bin up.bin
  | gen image file checksum=0000020d,size=0000000a |
  can't write the upgrade image up.bin: Input/output error
  [1]
  $ fail link:5 swug_gen in.bin new.bin; also ls -A; also cat up.bin
  | gen image file checksum=0000020d,size=0000000a |
  can't write the upgrade image new.bin: Input/output error
  in.bin
  up.bin
  OLD (no-eol)
  [1]

A folder without room for the new file's name: the old image is written over, as a plain write does:
  $ posix_only && failing_calls_only && printf 0123456789 > in.bin && printf OLD > up.bin
  $ fail link:28 swug_gen in.bin up.bin
  | gen image file checksum=0000020d,size=0000000a |
  stderr: the upgrade image up.bin was written over in place, not replaced in one step: there is no room for a new file beside it
  $ fail link:28 swug_gen in.bin new.bin
  | gen image file checksum=0000020d,size=0000000a |
  can't write the upgrade image new.bin: No space left on device
  [1]
  $ image in.bin | cmp - up.bin && ls -A
  in.bin
  up.bin
