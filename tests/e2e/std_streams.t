Standard output fails: the summary is lost, so is the new image:
  $ node full 1 7 && printf 0123456789 > in.bin && printf OLD > up.bin
  $ stdout=full swug_gen in.bin up.bin; also files
  stderr: can't write to standard output: No space left on device
  full (device)
  in.bin 10
  up.bin 3
  [1]

Standard output fails: an error line goes to standard error instead:
  $ node full 1 7 && stdout=full swug_gen missing.bin up.bin
  stderr: can't find the software file missing.bin 
  stderr: can't write to standard output: No space left on device
  [1]

The output is standard output, appended to:
  $ posix_only && printf 0123456789 > in.bin && printf KEEP > out.img
  $ stdout=out.img swug_gen in.bin /proc/self/fd/1; also cat out.img
  stderr: the upgrade image /proc/self/fd/1 is the standard output, refusing to write the image and the report into one file
  KEEP (no-eol)
  [1]

The output is the standard output's pipe:
  $ posix_only && printf 0123456789 > in.bin && stdout=pipe swug_gen in.bin /proc/self/fd/1
  stderr: the upgrade image /proc/self/fd/1 is the standard output, refusing to write the image and the report into one file
  [1]

Standard output closed by the caller: the image is still written:
  $ posix_only && printf 0123456789 > in.bin && printf OLD > up.bin
  $ stdout=closed swug_gen in.bin up.bin && image in.bin | cmp - up.bin

A closed pipe on standard output is a write error, not SIGPIPE:
  $ posix_only && printf 0123456789 > in.bin && printf OLD > up.bin
  $ stdout=gone swug_gen in.bin up.bin; also cat up.bin
  stderr: can't write to standard output: Broken pipe
  OLD (no-eol)
  [1]

A FIFO as the output is refused without waiting for a reader, and gets no byte:
  $ posix_only && printf 0123456789 > in.bin && mkfifo pipe && swug_gen in.bin pipe
  can't write the upgrade image pipe: Illegal seek
  [1]
  $ dd if=pipe iflag=nonblock status=none | wc -c && files
  0
  in.bin 10
  pipe (FIFO)

An output named by an open descriptor is written over in place, with its note:
  $ posix_only && printf 0123456789 > in.bin && printf OLD > up.bin && ln up.bin keep.bin
  $ swug_gen in.bin /dev/fd/3 3<>up.bin && image in.bin | cmp - keep.bin
  | gen image file checksum=0000020d,size=0000000a |
  stderr: the upgrade image /dev/fd/3 was written over in place, not replaced in one step: it names an open file descriptor
