Another user's link in a shared folder is not followed to the software image, even by root:
  $ posix_only && root_only
  $ mkdir -m 1777 shared && printf SECRET > secret.bin && chmod 600 secret.bin
  $ ln -s ../secret.bin shared/fw.bin && chown -h 61002:61002 shared/fw.bin
  $ swug_gen shared/fw.bin up.bin; also files
  can't read the software file shared/fw.bin: it leads through another user's symbolic link in a shared folder
  secret.bin 6
  shared/
  shared/fw.bin -> ../secret.bin
  [1]

Nor to the image that swug_info reads:
  $ posix_only && root_only
  $ mkdir -m 1777 shared && ten > sw && image sw > private.bin && chmod 600 private.bin
  $ ln -s ../private.bin shared/up.bin && chown -h 61002:61002 shared/up.bin
  $ swug_info shared/up.bin
  stderr: swug_info: can't open the upgrade image shared/up.bin: it leads through another user's symbolic link in a shared folder
  [2]

Nor when it leads to a folder, stands for one on the way, or is met behind a link of the runner's own:
  $ posix_only && root_only
  $ mkdir -m 1777 shared && mkdir private && printf SECRET > private/fw.bin && chmod 600 private/fw.bin
  $ ln -s ../private shared/dir && chown -h 61002:61002 shared/dir && ln -s shared/dir/fw.bin via.bin
  $ swug_gen shared/dir up.bin
  can't read the software file shared/dir: it leads through another user's symbolic link in a shared folder
  [1]
  $ swug_gen ./shared/dir/fw.bin up.bin
  can't read the software file $CASE/shared/dir/fw.bin: it leads through another user's symbolic link in a shared folder
  [1]
  $ swug_info via.bin; also files
  stderr: swug_info: can't open the upgrade image via.bin: it leads through another user's symbolic link in a shared folder
  private/
  private/fw.bin 6
  shared/
  shared/dir -> ../private
  via.bin -> shared/dir/fw.bin
  [2]

In a shared folder, the runner's own link and the folder owner's are followed, to a FIFO too:
  $ posix_only && root_only
  $ mkdir -m 1777 shared && ten > fw.bin && chmod 644 fw.bin && image fw.bin > expected.bin
  $ ln -s ../fw.bin shared/mine.bin && chown -h 61001:61001 shared/mine.bin
  $ as 61001 swug_gen shared/mine.bin up1.bin
  | gen image file checksum=00000037,size=0000000a |
  $ mkdir -m 1777 theirs && chown 61002:61003 theirs && ln -s ../fw.bin theirs/fw.bin
  $ chown -h 61002:61003 theirs/fw.bin && swug_gen theirs/fw.bin up2.bin
  | gen image file checksum=00000037,size=0000000a |
  $ mkfifo shared/in.fifo && ln -s in.fifo shared/piped.bin
  $ (timeout 30 dd if=fw.bin of=shared/in.fifo status=none &)
  $ swug_gen shared/piped.bin up3.bin
  | gen image file checksum=00000037,size=0000000a |
  $ for n in 1 2 3; do cmp expected.bin up$n.bin; done

Another user's link in a folder that is not sticky is followed, as is /dev/stdin to a pipe:
  $ posix_only && root_only && mkdir -m 0777 open && ten > fw.bin && image fw.bin > expected.bin
  $ ln -s ../fw.bin open/fw.bin && chown -h 61002:61002 open/fw.bin && swug_gen open/fw.bin up1.bin
  | gen image file checksum=00000037,size=0000000a |
  $ stdin=<(ten) swug_gen /dev/stdin up2.bin && cmp expected.bin up1.bin && cmp expected.bin up2.bin
  | gen image file checksum=00000037,size=0000000a |

A chain of 40 links leads to the software image, one of 41 is a loop:
  $ posix_only && ten > l0 && for i in $(seq 41); do ln -s l$((i - 1)) l$i; done
  $ swug_gen l40 up.bin
  | gen image file checksum=00000037,size=0000000a |
  $ swug_gen l41 up.bin
  can't find the software file l41 
  [1]
