Every ending signal during the copy leaves the old image, and only one that can't be caught leaves a named new file, readable by its owner alone:
  $ posix_only && failing_calls_only && ulimit -c 0 && umask 0
  $ mkdir out && printf OLD > out/up.bin && mkfifo in.fifo && truncate -s 600000 zeros
  $ for signal in INT TERM HUP QUIT USR1 ALRM USR2 SEGV ABRT BUS SYS RTMIN 32 33 KILL; do echo -n "$signal:"
  >   for calls in '' tmpfile:95; do
  >     started "$calls" "$SWUG_GEN" in.fifo out/up.bin; exec 3> in.fifo; cat zeros >&3
  >     kill -$signal $! && wait $! 2>"$CRAMTMP/.ignored"; echo -n " $? $(cat out/up.bin)" $(find out -mindepth 1 -printf '%f %m\n' | sort)
  >     exec 3>&-; rm -f out/.up.bin.swug-*
  >   done; echo; done | sed 's/swug-...... /swug-XXXXXX /g'
  INT: 130 OLD up.bin 666 130 OLD up.bin 666
  TERM: 143 OLD up.bin 666 143 OLD up.bin 666
  HUP: 129 OLD up.bin 666 129 OLD up.bin 666
  QUIT: 131 OLD up.bin 666 131 OLD up.bin 666
  USR1: 138 OLD up.bin 666 138 OLD up.bin 666
  ALRM: 142 OLD up.bin 666 142 OLD up.bin 666
  USR2: 140 OLD up.bin 666 140 OLD up.bin 666
  SEGV: 139 OLD up.bin 666 139 OLD up.bin 666
  ABRT: 134 OLD up.bin 666 134 OLD up.bin 666
  BUS: 135 OLD up.bin 666 135 OLD up.bin 666
  SYS: 159 OLD up.bin 666 159 OLD up.bin 666
  RTMIN: 162 OLD up.bin 666 162 OLD up.bin 666
  32: 160 OLD up.bin 666 160 OLD .up.bin.swug-XXXXXX 600 up.bin 666
  33: 161 OLD up.bin 666 161 OLD .up.bin.swug-XXXXXX 600 up.bin 666
  KILL: 137 OLD up.bin 666 137 OLD .up.bin.swug-XXXXXX 600 up.bin 666

A caller that ignores SIGHUP keeps it from ending the run, which then replaces the image, whether its new file has a name or not:
  $ posix_only && failing_calls_only && mkfifo in.fifo && truncate -s 600000 zeros
  $ for calls in '' tmpfile:95; do printf OLD > up.bin
  >   started "$calls" env --ignore-signal=HUP "$SWUG_GEN" in.fifo up.bin; exec 3> in.fifo; cat zeros >&3
  >   kill -HUP $! && exec 3>&- && wait $! && image zeros | cmp - up.bin && ls -A
  > done
  | gen image file checksum=00000000,size=000927c0 |
  in.fifo
  up.bin
  zeros
  | gen image file checksum=00000000,size=000927c0 |
  in.fifo
  up.bin
  zeros

Two runs into one output each replace it whole, and the one that ends last wins:
  $ posix_only && mkfifo a.fifo b.fifo && truncate -s 600000 a.bin && pattern 600000 1 0 > b.bin
  $ "$SWUG_GEN" a.fifo up.bin & a=$!; exec 3> a.fifo; cat a.bin >&3
  $ "$SWUG_GEN" b.fifo up.bin 3>&- & b=$!; exec 4> b.fifo; cat b.bin >&4
  $ exec 3>&- && wait $a && exec 4>&- && wait $b
  | gen image file checksum=00000000,size=000927c0 |
  | gen image file checksum=048f3420,size=000927c0 |
  $ image b.bin | cmp - up.bin && ls -A
  a.bin
  a.fifo
  b.bin
  b.fifo
  up.bin

A run killed while another run into its output ends leaves the other's image:
  $ posix_only && mkfifo a.fifo b.fifo && truncate -s 600000 a.bin && pattern 600000 1 0 > b.bin
  $ "$SWUG_GEN" a.fifo up.bin & a=$!; exec 3> a.fifo; cat a.bin >&3
  $ "$SWUG_GEN" b.fifo up.bin 3>&- & b=$!; exec 4> b.fifo; cat b.bin >&4
  $ exec 3>&- && wait $a && kill $b && wait $b 2>"$CRAMTMP/.ignored"
  | gen image file checksum=00000000,size=000927c0 |
  [143]
  $ image a.bin | cmp - up.bin && ls -A
  a.bin
  a.fifo
  b.bin
  b.fifo
  up.bin

A name that another user makes flicker into a link to someone's file never leads the image there, whoever runs:
  $ root_only && posix_only && chmod 0711 "$CRAMTMP" && chmod 0755 . && mkdir -m 1777 shared && ten > in.bin
  $ printf SECRET > victim.bin && chown 61002:61002 victim.bin && chmod 0600 victim.bin
  $ setpriv --reuid=61001 --regid=61001 --clear-groups perl -e '
  >   while (1) { unlink "shared/up.bin" if symlink "../victim.bin", "shared/up.bin" }' & trap "kill $!" EXIT
  $ for run in $(seq 50); do for user in 61002 0; do
  >   setpriv --reuid=$user --regid=$user --clear-groups "$SWUG_GEN" in.bin shared/up.bin >"$CRAMTMP/.ignored" 2>&1
  >   [ -L shared/up.bin ] || rm -f shared/up.bin; echo "$(cat victim.bin) $(stat -c '%u:%g %a' victim.bin)"
  > done; done | uniq -c
      100 SECRET 61002:61002 600

A file that another user puts under the output's name in a shared folder during the run is not replaced:
  $ root_only && posix_only && chmod 0711 "$CRAMTMP" && mkdir -m 1777 shared && mkfifo in.fifo && truncate -s 600000 zeros
  $ swug_gen in.fifo shared/late.bin & exec 3> in.fifo; cat zeros >&3
  $ setpriv --reuid=61001 --regid=61001 --clear-groups sh -c 'set -C && printf MINE > shared/late.bin'
  $ exec 3>&- && wait $!
  | gen image file checksum=00000000,size=000927c0 |
  can't write the upgrade image shared/late.bin: File exists
  [1]
  $ ls -A shared && meta shared/late.bin && cat shared/late.bin
  late.bin
  shared/late.bin 61001:61001 0644
  MINE (no-eol)

A signal removes the run's named new file from where its folder was moved to, and nothing else:
  $ posix_only && failing_calls_only && mkdir out && printf OLD > out/up.bin && mkfifo in.fifo && truncate -s 600000 zeros
  $ started tmpfile:95 "$SWUG_GEN" in.fifo out/up.bin; exec 3> in.fifo; cat zeros >&3
  $ mv out moved && kill $! && wait $! 2>"$CRAMTMP/.ignored"
  [143]
  $ files && cat moved/up.bin
  in.fifo (FIFO)
  moved/
  moved/up.bin 3
  zeros 600000
  OLD (no-eol)

A signal leaves alone a file that took the name of the run's named new file:
  $ posix_only && failing_calls_only && mkdir out && printf OLD > out/up.bin && mkfifo in.fifo && truncate -s 600000 zeros
  $ started tmpfile:95 "$SWUG_GEN" in.fifo out/up.bin; exec 3> in.fifo; cat zeros >&3
  $ printf THEIRS > theirs && mv theirs out/.up.bin.swug-* && kill $! && wait $! 2>"$CRAMTMP/.ignored"
  [143]
  $ files | sed 's/swug-....../swug-XXXXXX/' && cat out/.up.bin.swug-* out/up.bin
  in.fifo (FIFO)
  out/
  out/.up.bin.swug-XXXXXX 6
  out/up.bin 3
  zeros 600000
  THEIRSOLD (no-eol)

A signal while swug_info's two new parts are complete but not yet in place leaves neither, named or not:
  $ posix_only && failing_calls_only && printf 0123456789 > sw.bin && printf abc > mcu.bin && image sw.bin mcu.bin > up.bin
  $ printf OLD > sw.out && mkfifo report.fifo && exec 5<> report.fifo
  $ perl -MFcntl -e 'sysopen F, "report.fifo", O_WRONLY | O_NONBLOCK or die; 1 while syswrite F, "f" x 4096'
  $ for calls in '' tmpfile:95; do
  >   started "$calls" "$SWUG_INFO" --json --sw sw.out --mcu mcu.out up.bin > report.fifo
  >   while [ -e /proc/$! ] && [[ $(cat /proc/$!/wchan) != *pipe_write ]]; do :; done
  >   echo "new files:" $(cd /proc/$!/fd && for fd in *; do [[ $(readlink $fd) != *'(deleted)' ]] || stat -L -c %s $fd; done | sort -n) \
  >     $(find . -name '.*.swug-*' -printf '%f %s\n' | sort | sed 's/swug-....../swug-XXXXXX/')
  >   kill $! && wait $! 2>"$CRAMTMP/.ignored"; echo $? $(ls -A) $(cat sw.out)
  > done
  new files: 3 10
  143 mcu.bin report.fifo sw.bin sw.out up.bin OLD
  new files: .mcu.out.swug-XXXXXX 3 .sw.out.swug-XXXXXX 10
  143 mcu.bin report.fifo sw.bin sw.out up.bin OLD
  $ image sw.bin mcu.bin | cmp - up.bin

An image cut short while swug_info unpacks it is refused as changed, and leaves no part:
  $ posix_only && mkfifo sw.fifo && truncate -s 300000 sw.bin && truncate -s 1000 mcu.bin && image sw.bin mcu.bin > up.bin
  $ swug_info --sw sw.fifo --mcu mcu.out up.bin & exec 5< sw.fifo && head -c 1 <&5 > "$CRAMTMP/.ignored"
  $ truncate -s 280128 up.bin && cat <&5 > "$CRAMTMP/.ignored" && wait $!
  | image up.bin |
  | size=00049848 |
  | magic=ZQ-TR5200 Image |
  | length=000493e0 |
  | sum=00000000 |
  | upgrade_boot=00000000 |
  | mcu_ota_flag=00000001 |
  | mcu_addr=00049460 |
  | mcu_len=000003e8 |
  | mcu_sum=00000000 |
  | check size: ok |
  | check magic: ok |
  | check length: ok |
  | check sum: ok |
  | check upgrade_boot: ok |
  | check unused_bytes: ok |
  | check mcu_ota_flag: ok |
  | check mcu_addr: ok |
  | check mcu_len: ok |
  | check file_end: ok |
  | check mcu_sum: ok |
  | image is valid |
  stderr: swug_info: the upgrade image up.bin changed while it was read
  [2]
  $ files && image sw.bin mcu.bin cut=280128 | cmp - up.bin
  mcu.bin 1000
  sw.bin 300000
  sw.fifo (FIFO)
  up.bin 280128
