The file a link names is replaced, the link stays:
  $ posix_only && printf 0123456789 > in.bin && mkdir store && printf OLD > store/release.bin
  $ ln -s store/release.bin link.bin && swug_gen in.bin link.bin
  | gen image file checksum=0000020d,size=0000000a |
  $ image in.bin | cmp - store/release.bin && files
  in.bin 10
  link.bin -> store/release.bin
  store/
  store/release.bin 138

A dangling link names the new file:
  $ posix_only && printf 0123456789 > in.bin && mkdir store && ln -s store/new.bin link.bin
  $ swug_gen in.bin link.bin && image in.bin | cmp - store/new.bin && files
  | gen image file checksum=0000020d,size=0000000a |
  in.bin 10
  link.bin -> store/new.bin
  store/
  store/new.bin 138

A hard link to the old image keeps the old content:
  $ posix_only && printf 0123456789 > in.bin && printf OLD > up.bin && ln up.bin keep.bin
  $ swug_gen in.bin up.bin && image in.bin | cmp - up.bin && cat keep.bin
  | gen image file checksum=0000020d,size=0000000a |
  OLD (no-eol)

A link in a subfolder names a file beside it:
  $ posix_only && printf 0123456789 > in.bin && mkdir sub && printf OLD > sub/rel.bin
  $ printf TOP > rel.bin && ln -s rel.bin sub/link.bin && swug_gen in.bin sub/link.bin
  | gen image file checksum=0000020d,size=0000000a |
  $ image in.bin | cmp - sub/rel.bin && cat rel.bin
  TOP (no-eol)

A link to an absolute path names that file:
  $ posix_only && printf 0123456789 > in.bin && mkdir sub && printf OLD > sub/target.bin
  $ ln -s "$PWD/sub/target.bin" link.bin && swug_gen in.bin link.bin
  | gen image file checksum=0000020d,size=0000000a |
  $ image in.bin | cmp - sub/target.bin && files
  in.bin 10
  link.bin -> $CASE/sub/target.bin
  sub/
  sub/target.bin 138
