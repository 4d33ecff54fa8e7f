Before each case: the software image in.bin:
  $ printf 0123456789 > in.bin

Another user's file planted in a shared folder is not written:
  $ posix_only && mkdir -m 1777 shared && printf OLD > shared/release.bin
  $ chown 61001:61001 shared/release.bin && chmod 6777 shared/release.bin || exit 80
  $ swug_gen in.bin shared/release.bin; also meta shared/release.bin; also cat shared/release.bin
  can't write the upgrade image shared/release.bin: it is another user's file in a shared folder
  shared/release.bin 61001:61001 6777
  OLD (no-eol)
  [1]

A sticky folder that a group may write is shared too:
  $ posix_only && mkdir -m 1770 team && printf OLD > team/release.bin
  $ chown 61001:61001 team/release.bin || exit 80
  $ swug_gen in.bin team/release.bin
  can't write the upgrade image team/release.bin: it is another user's file in a shared folder
  [1]

Another user's link in a shared folder is not followed:
  $ posix_only && mkdir -m 1777 shared && printf SECRET > victim.bin
  $ chmod 600 victim.bin && ln -s ../victim.bin shared/link.bin && chown -h 61001:61001 shared/link.bin || exit 80
  $ swug_gen in.bin shared/link.bin; also cat victim.bin
  can't write the upgrade image shared/link.bin: it leads through another user's symbolic link in a shared folder
  SECRET (no-eol)
  [1]

Nor is such a link on the way to the folder:
  $ posix_only && mkdir -m 1777 shared && mkdir store && printf SECRET > store/victim.bin
  $ ln -s ../store shared/store && chown -h 61001:61001 shared/store || exit 80
  $ swug_gen in.bin shared/store/victim.bin; also cat store/victim.bin
  can't write the upgrade image shared/store/victim.bin: it leads through another user's symbolic link in a shared folder
  SECRET (no-eol)
  [1]

The runner's own link in a shared folder is followed:
  $ posix_only && mkdir -m 1777 shared && printf OLD > store.bin
  $ ln -s ../store.bin shared/mine.bin && swug_gen in.bin shared/mine.bin
  | gen image file checksum=0000020d,size=0000000a |
  $ image in.bin | cmp - store.bin

A link of the shared folder's owner is followed:
  $ posix_only && mkdir -m 1777 box && printf OLD > store.bin
  $ ln -s ../store.bin box/link.bin && chown -h 61002:61002 box box/link.bin || exit 80
  $ chown 61001:61001 store.bin && chmod 644 store.bin && chmod 1777 box
  $ as 61001 swug_gen in.bin box/link.bin && image in.bin | cmp - store.bin && meta store.bin
  | gen image file checksum=0000020d,size=0000000a |
  store.bin 61001:61001 0644

A member of the file's group keeps its owner and group: the file is written over:
  $ posix_only && printf OLD > up.bin && ln up.bin keep.bin
  $ chown 61001:61500 up.bin && chmod 660 up.bin || exit 80
  $ as 61002:61500 swug_gen in.bin up.bin && image in.bin | cmp - keep.bin && meta up.bin
  | gen image file checksum=0000020d,size=0000000a |
  stderr: the upgrade image up.bin was written over in place, not replaced in one step: a new file can't be given its owner
  up.bin 61001:61500 0660

The owner's file in one of the owner's groups is replaced, the group kept:
  $ posix_only && printf OLD > up.bin && ln up.bin keep.bin
  $ chown 61001:61500 up.bin && chmod 640 up.bin || exit 80
  $ as 61001:61500 swug_gen in.bin up.bin
  | gen image file checksum=0000020d,size=0000000a |
  $ image in.bin | cmp - up.bin && meta up.bin && cat keep.bin
  up.bin 61001:61500 0640
  OLD (no-eol)

Root keeps owner and group:
  $ root_only && posix_only && printf OLD > up.bin && chown 1234:5678 up.bin && chmod 640 up.bin
  $ swug_gen in.bin up.bin && image in.bin | cmp - up.bin && meta up.bin
  | gen image file checksum=0000020d,size=0000000a |
  up.bin 1234:5678 0640

A group that can't be kept: the file is written over:
  $ posix_only && printf OLD > up.bin && ln up.bin keep.bin
  $ chown 61001:61500 up.bin && chmod 666 up.bin || exit 80
  $ as 61001 swug_gen in.bin up.bin && image in.bin | cmp - keep.bin && meta up.bin
  | gen image file checksum=0000020d,size=0000000a |
  stderr: the upgrade image up.bin was written over in place, not replaced in one step: a new file can't be given its group
  up.bin 61001:61500 0666

A read-only image is refused:
  $ posix_only && printf OLD > up.bin
  $ chown 61001:61001 up.bin && chmod 444 up.bin || exit 80
  $ as 61001 swug_gen in.bin up.bin
  can't write the upgrade image up.bin: it is read-only
  [1]

Root replaces a read-only image, which stays read-only:
  $ root_only && posix_only && printf OLD > up.bin && chmod 444 up.bin
  $ swug_gen in.bin up.bin && image in.bin | cmp - up.bin && meta up.bin
  | gen image file checksum=0000020d,size=0000000a |
  up.bin 0:0 0444

A folder that allows no new files: the writable file is written over:
  $ posix_only && mkdir upload && printf OLDOLDOLDOLDOLDOLDOLDOLD > upload/up.bin
  $ ln upload/up.bin upload/keep.bin && chown 61001:61001 upload/up.bin && chmod 666 upload/up.bin || exit 80
  $ as 61001 swug_gen in.bin upload/up.bin
  | gen image file checksum=0000020d,size=0000000a |
  stderr: the upgrade image upload/up.bin was written over in place, not replaced in one step: its folder allows no new files
  $ image in.bin | cmp - upload/keep.bin && meta upload/up.bin
  upload/up.bin 61001:61001 0666

A sticky folder's own file: written over, as only its owner may replace it:
  $ posix_only && mkdir -m 1777 box && printf OLD > box/up.bin
  $ ln box/up.bin box/keep.bin && chmod 666 box/up.bin && as 61001 swug_gen in.bin box/up.bin
  | gen image file checksum=0000020d,size=0000000a |
  stderr: the upgrade image box/up.bin was written over in place, not replaced in one step: its folder lets only the file's owner replace it
  $ image in.bin | cmp - box/keep.bin && meta box/up.bin
  box/up.bin 0:0 0666

An mcu_ota.bin that can't be opened is left out, and said so:
  $ posix_only && printf abc > mcu_ota.bin && chmod 600 mcu_ota.bin
  $ as 61001 swug_gen in.bin up.bin && image in.bin | cmp - up.bin
  | gen image file checksum=0000020d,size=0000000a |
  stderr: can't open the MCU ota file mcu_ota.bin: Permission denied; the upgrade image is made without it

Set-user-ID and set-group-ID bits don't carry over to new content:
  $ root_only && posix_only && printf OLD > up.bin && chmod 6755 up.bin
  $ swug_gen in.bin up.bin && meta up.bin
  | gen image file checksum=0000020d,size=0000000a |
  up.bin 0:0 0755

Another user's own image loses set-user-ID and set-group-ID too:
  $ posix_only && printf OLD > up.bin && ln up.bin keep.bin
  $ chown 61001:61001 up.bin && chmod 6750 up.bin || exit 80
  $ as 61001 swug_gen in.bin up.bin && image in.bin | cmp - up.bin && meta up.bin keep.bin
  | gen image file checksum=0000020d,size=0000000a |
  up.bin 61001:61001 0750
  keep.bin 61001:61001 6750

The ACL and user attributes are kept:
  $ root_only && posix_only && printf OLD > up.bin && chmod 640 up.bin
  $ setfacl -m u:61001:--- up.bin && setfattr -n user.build -v 42 up.bin && setfattr -n user.signed up.bin || exit 80
  $ swug_gen in.bin up.bin && meta up.bin
  | gen image file checksum=0000020d,size=0000000a |
  up.bin 0:0 0640 acl=user:61001:--- mask::r-- user.build="42" user.signed=""

A folder's default ACL doesn't reach a replacement:
  $ root_only && posix_only && mkdir open && printf OLD > open/up.bin && chmod 640 open/up.bin
  $ setfacl -d -m u:61003:rwx open || exit 80
  $ swug_gen in.bin open/up.bin && meta open/up.bin
  | gen image file checksum=0000020d,size=0000000a |
  open/up.bin 0:0 0640

Attributes this user can't read: the file is written over:
  $ posix_only && printf OLD > up.bin && setfattr -n user.build -v 42 up.bin || exit 80
  $ chown 61001:61001 up.bin && chmod 200 up.bin || exit 80
  $ as 61001 swug_gen in.bin up.bin && meta up.bin
  | gen image file checksum=0000020d,size=0000000a |
  stderr: the upgrade image up.bin was written over in place, not replaced in one step: a new file can't be given its ACL or attributes
  up.bin 61001:61001 0200 user.build="42"

The inode flags are kept: no-dump, no-atime, synchronous:
  $ posix_only && printf OLD > up.bin && ln up.bin keep.bin
  $ chattr +dAS up.bin 2>"$CRAMTMP/.ignored" || exit 80
  $ swug_gen in.bin up.bin && image in.bin | cmp - up.bin && flags up.bin && cat keep.bin
  | gen image file checksum=0000020d,size=0000000a |
  up.bin Synchronous_Updates, No_Dump, No_Atime
  OLD (no-eol)

The owner's own flags are kept in its own runs:
  $ posix_only && printf OLD > up.bin && ln up.bin keep.bin
  $ chown 61001:61001 up.bin && chattr +d up.bin 2>"$CRAMTMP/.ignored" || exit 80
  $ as 61001 swug_gen in.bin up.bin && image in.bin | cmp - up.bin && flags up.bin && cat keep.bin
  | gen image file checksum=0000020d,size=0000000a |
  up.bin No_Dump
  OLD (no-eol)

A flag the folder gives new files is not added to a replacement:
  $ posix_only && mkdir box && printf OLD > box/up.bin
  $ chattr +d box 2>"$CRAMTMP/.ignored" || exit 80
  $ swug_gen in.bin box/new.bin && swug_gen in.bin box/up.bin && flags box/new.bin box/up.bin
  | gen image file checksum=0000020d,size=0000000a |
  | gen image file checksum=0000020d,size=0000000a |
  box/new.bin No_Dump
  box/up.bin ---

A flag that a new file can't be given: the file is written over:
  $ posix_only && failing_calls_only && printf OLD > up.bin && ln up.bin keep.bin
  $ chattr +d up.bin 2>"$CRAMTMP/.ignored" || exit 80
  $ fail setflags:95 swug_gen in.bin up.bin && image in.bin | cmp - keep.bin && flags up.bin
  | gen image file checksum=0000020d,size=0000000a |
  stderr: the upgrade image up.bin was written over in place, not replaced in one step: a new file can't be given its ACL or attributes
  up.bin No_Dump

An attribute this user can read but not set: the file is written over:
  $ root_only && posix_only && printf OLD > up.bin && ln up.bin keep.bin
  $ setfattr -n security.build -v 42 up.bin 2>"$CRAMTMP/.ignored" || exit 80
  $ chown 61001:61001 up.bin && as 61001 swug_gen in.bin up.bin
  | gen image file checksum=0000020d,size=0000000a |
  stderr: the upgrade image up.bin was written over in place, not replaced in one step: a new file can't be given its ACL or attributes
  $ image in.bin | cmp - keep.bin && getfattr -n security.build --only-values up.bin && echo
  42

A new image gets the folder's default ACL:
  $ root_only && posix_only && mkdir private && setfacl -d -m u::rwx,g::r-x,o::--- private || exit 80
  $ swug_gen in.bin private/new.bin && meta private/new.bin
  | gen image file checksum=0000020d,size=0000000a |
  private/new.bin 0:0 0640

A file mounted over its name is written over:
  $ root_only && posix_only && unshare --mount true || exit 80
  $ printf OLD > host.bin && : > up.bin
  $ unshare --mount --propagation private sh -c 'mount --bind host.bin up.bin && exec "$@"' - \
  >   "$SWUG_GEN" in.bin up.bin
  | gen image file checksum=0000020d,size=0000000a |
  the upgrade image up.bin was written over in place, not replaced in one step: it is a mount point
  $ image in.bin | cmp - host.bin

A file mounted over its name during the run: the rename fails:
  $ root_only && posix_only && unshare --mount true || exit 80
  $ printf HOST > host.bin && printf OLD > up.bin && mkfifo in.fifo
  $ unshare --mount --propagation private sh -c '"$0" in.fifo up.bin & exec 3>in.fifo
  >   until ls -l /proc/$!/fd | grep -q "/#[0-9]* (deleted)"; do sleep 0.01; done
  >   mount --bind host.bin up.bin && echo data >&3; exec 3>&-; wait $!' "$SWUG_GEN"
  | gen image file checksum=000001a4,size=00000005 |
  can't write the upgrade image up.bin: Device or resource busy
  [1]
  $ cat host.bin up.bin
  HOSTOLD (no-eol)

A new image gets the mode the umask leaves:
  $ posix_only && umask 022 && swug_gen in.bin up.bin > gen.out && stat -c %04a up.bin
  0644

A new image under umask 0:
  $ posix_only && umask 0 && swug_gen in.bin up.bin > gen.out && stat -c %04a up.bin
  0666

A private image stays private:
  $ posix_only && printf OLD > up.bin && chmod 600 up.bin && umask 022
  $ swug_gen in.bin up.bin > gen.out && stat -c %04a up.bin
  0600

A group-readable image stays group-readable:
  $ posix_only && printf OLD > up.bin && chmod 640 up.bin && umask 022
  $ swug_gen in.bin up.bin > gen.out && stat -c %04a up.bin
  0640

A group-readable image stays group-readable under umask 077:
  $ posix_only && printf OLD > up.bin && chmod 640 up.bin && umask 077
  $ swug_gen in.bin up.bin > gen.out && stat -c %04a up.bin
  0640

A file-size limit is a write error and keeps the old image:
  $ posix_only && truncate -s 300000 in.bin && printf OLD > up.bin
  $ (ulimit -f 97 && swug_gen in.bin up.bin); also files
  can't write the upgrade image up.bin: File too large
  in.bin 300000
  up.bin 3
  [1]

An append-only folder gets its image written in place:
  $ root_only && posix_only && mkdir log && printf OLD > log/old.bin
  $ chattr +a log 2>"$CRAMTMP/.ignored" || exit 80
  $ swug_gen in.bin log/old.bin; swug_gen in.bin log/new.bin
  | gen image file checksum=0000020d,size=0000000a |
  stderr: the upgrade image log/old.bin was written over in place, not replaced in one step: its folder is append-only
  | gen image file checksum=0000020d,size=0000000a |
  stderr: the upgrade image log/new.bin was written over in place, not replaced in one step: its folder is append-only
  $ chattr -a log && image in.bin | cmp - log/old.bin && image in.bin | cmp - log/new.bin && files
  in.bin 10
  log/
  log/new.bin 138
  log/old.bin 138

Root replaces another user's file in that user's own sticky folder in one step:
  $ root_only && posix_only && mkdir -m 1777 box && chown 61001:61001 box
  $ printf OLD > box/up.bin && chown 61001:61001 box/up.bin && ln box/up.bin box/keep.bin
  $ swug_gen in.bin box/up.bin && image in.bin | cmp - box/up.bin && cat box/keep.bin
  | gen image file checksum=0000020d,size=0000000a |
  OLD (no-eol)

Hidden temporary names differ from run to run, and a long UTF-8 name is cut between characters:
  $ posix_only && failing_calls_only
  $ name=$(printf 'é%.0s' {1..125}).bin && mkfifo in.fifo && for run in 1 2; do
  >   fail tmpfile:95 swug_gen in.fifo "$name" > gen.out & exec 3> in.fifo
  >   until ls -a | grep -q swug-; do sleep 0.01; done; ls -a | grep swug- >> names; exec 3>&-; wait
  > done
  $ sort -u names | wc -l && iconv -f UTF-8 -t UTF-8 names | awk '{ print length($0) }' | sort -u
  2
  251

A replaced image keeps the old one's mode, write bits for group and others too:
  $ posix_only && printf 0123456789 > in.bin && printf OLD > up.bin && ln up.bin keep.bin && chmod 666 up.bin
  $ swug_gen in.bin up.bin
  | gen image file checksum=0000020d,size=0000000a |
  $ cat keep.bin && stat -c ' %a' up.bin
  OLD 666
