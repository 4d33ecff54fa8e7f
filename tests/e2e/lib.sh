# Read by bash before every case of the transcripts here (cram_case.py sets BASH_ENV): the
# programs under test as commands, and the tests' own tools. From ctest: SWUG_GEN and SWUG_INFO,
# the programs; SWUG_RUNNER, a command that runs them (wine) or nothing; SWUG_FAILING_CALLS, the
# library that makes chosen system calls fail.
set -o pipefail  # a program's exit status shows through a filter of its output
_swug_prefix=()
CASE=$CRAMTMP/case  # the case's folder, shown as $CASE in the programs' output

# Runs a program as a user would, ended after 60 s so that a hang fails its case alone. Shows
# its standard output, then its standard error with each line marked "stderr: " ("\r\n" shown as
# "\n", the case's folder as $CASE), and returns its exit status. Variables set before the
# command change its streams: stdin=FILE (else an empty pipe); stdout=FILE (appended to, not
# shown), stdout=pipe, stdout=closed, or stdout=gone (a pipe that nobody reads any more);
# stderr=closed. The prefixes of as and fail below come first. One perl (_run) does all of
# this, as each process costs a case ~10 ms.
_swug() {
    perl -e "$_shown$_run" "$CASE" "$CRAMTMP" "${stdin:-}" "${stdout:-}" "${stderr:-}" \
        "${_swug_prefix[@]}" $SWUG_RUNNER "$@"
    also wait  # as the runs of a case always have, for the case's own jobs
}
# Perl, after CASE, the folder for the two streams' files, and STDIN STDOUT STDERR as above: runs
# the command that follows, and ends as it did, 124 when it had to be ended. Perl starts with
# /dev/null on a closed standard stream, so a "closed" one is closed last for the program.
_run='
    my ($tmp, $stdin, $stdout, $stderr) = splice @ARGV, 0, 4;
    my ($out, $err) = ("$tmp/.stdout", "$tmp/.stderr");
    open my $o, ">", $out or die "$out: $!";  # emptied, and written by the pipe of stdout=pipe
    open my $e, ">", $err or die "$err: $!";
    my ($from, $to);
    pipe $from, $to or die "pipe: $!" if $stdout eq "pipe";
    my $pid = fork // die "fork: $!";
    if (!$pid) {
        open STDERR, ">", $err;
        if ($stdin ne "") {
            open STDIN, "<", $stdin or die "$stdin: $!\n";
        } else {
            pipe my $empty, my $writer or die "pipe: $!";
            open STDIN, "<&", $empty;
        }
        if ($stdout eq "gone") { pipe my $reader, $to or die "pipe: $!"; }
        if ($to) { open STDOUT, ">&", $to; }
        elsif ($stdout eq "") { open STDOUT, ">", $out; }
        elsif ($stdout ne "closed") { open STDOUT, ">>", $stdout or die "$stdout: $!\n"; }
        close STDOUT if $stdout eq "closed";
        close STDERR if $stderr eq "closed";
        setpgrp;  # its own process group, which the time limit ends whole
        exec { $ARGV[0] } @ARGV or print STDERR "$ARGV[0]: $!\n";
        exit 127;
    }
    my $late = 0;
    $SIG{ALRM} = sub { $late++ ? kill "KILL", -$pid : kill "TERM", -$pid; alarm 5 };
    alarm 60;
    if ($to) { close $to; syswrite $o, $_ while sysread $from, $_, 65536; }
    waitpid $pid, 0;
    my $status = $late ? 124 : $? & 127 ? 128 + ($? & 127) : $? >> 8;
    open $o, "<", $out and open $e, "<", $err or die "$out, $err: $!";
    print " [no line end]\n" if show($o, "") ne "\n" && -s $err;
    show($e, "stderr: ");
    exit $status;'

# Output as the cases show it: "\r\n" as "\n", the case's folder as $CASE, and a run of more than
# 20 equal characters (in long names) as <N c>; cram shows other than ASCII escaped, (esc).
# In Perl, after CASE: show(FILE, MARK) prints FILE's lines so, each after MARK, and returns the
# last character read.
_shown='
    our $case = shift;
    sub show {
        my ($file, $mark, $end) = (@_, "\n");
        while (<$file>) {
            $end = substr $_, -1;
            s/\r$//;
            s/(Z:)?\Q$case\E/\$CASE/g;
            s/(([\xc0-\xf7][\x80-\xbf]*|.)\2{20,})/"<" . length($1) \/ length($2) . " $2>"/ge;
            print $mark, $_;
        }
        return $end;
    }'
swug_gen() { _swug "$SWUG_GEN" "$@"; }
swug_info() { _swug "$SWUG_INFO" "$@"; }
# COMMAND; also CHECK...: runs CHECK, a simple command, after COMMAND and ends with COMMAND's exit
# status (CHECK's when CHECK fails): a failing run and the files it left in one command.
also() { local status=$?; "$@" && return $status; }
# ... | only PATTERN: of the output above, the lines that match PATTERN (grep's), and all of
# standard error: for a case whose point is a few lines of a report that other cases show whole.
only() { grep -e "$1" -e '^stderr: '; }
# Runs a command of the functions above with the words before "--" put before its program.
_prefixed() {
    local status i=1
    while [ "${!i}" != -- ]; do i=$((i + 1)); done
    _swug_prefix=("${@:1:i-1}") && "${@:i+1}"
    status=$? && _swug_prefix=() && return $status
}
# as UID[:GROUP,...] COMMAND...: runs COMMAND's program as that user and group ID (the groups its
# supplementary groups); a case that needs it is skipped unless the suite runs as root. That user
# reaches the case's folder and may write in it; the case's own folders say otherwise as needed.
as() {
    [ "$(id -u)" = 0 ] || exit 80
    local groups=--clear-groups
    [[ $1 != *:* ]] || groups=--groups=${1#*:}
    chmod 0711 "$CRAMTMP" && chmod 0777 "$CASE"
    _prefixed setpriv --reuid="${1%%:*}" --regid="${1%%:*}" "$groups" -- "${@:2}"
}
# fail CALLS COMMAND...: runs COMMAND's program with these system calls failing, given as
# "name:errno[:passes[:failures]]" separated by commas (see failing_calls.c).
fail() { failing_calls_only && _failing "$1" && _prefixed env "${_failing_env[@]}" -- "${@:2}"; }
# _failing CALLS: the environment in _failing_env that preloads the library with CALLS failing.
_failing() {
    _failing_env=(LD_PRELOAD="$SWUG_FAILING_CALLS" SWUG_FAIL="$1" ASAN_OPTIONS=verify_asan_link_order=0)
}
# A case that makes calls fail is skipped where no library can (Wine, other systems).
failing_calls_only() { [ -n "${SWUG_FAILING_CALLS:-}" ] && [ -z "${SWUG_RUNNER:-}" ] || exit 80; }
# Cases that need POSIX files (owners, modes, FIFOs, signals) are skipped under Wine.
posix_only() { [ -z "${SWUG_RUNNER:-}" ] || exit 80; }
windows_only() { [ -n "${SWUG_RUNNER:-}" ] || exit 80; }
root_only() { [ "$(id -u)" = 0 ] || exit 80; }
# held STEP... -- COMMAND...: runs COMMAND's program under the file holder (file_holder.cpp),
# which does its steps first, as another Windows process would (hold:SHARE:FILE holds FILE open,
# attrib:FLAGS:FILE sets its attributes), and shows attributes afterwards (show:FILE).
# A case that pipes held's output says holder_only first, as a pipe's "exit 80" skips nothing.
held() {
    holder_only
    _prefixed $SWUG_RUNNER "$SWUG_FILE_HOLDER" "$@"
}
holder_only() { windows_only && [ -n "${SWUG_FILE_HOLDER:-}" ] || exit 80; }
# mapped NAME: Wine's device NAME ("q:" a drive, "unc/server/share" a network share) names the
# case's folder until the case ends. A name that Wine's prefix has already fails the case, and
# nothing else in the prefix is touched.
mapped() {
    windows_only
    local devices=${WINEPREFIX:-$HOME/.wine}/dosdevices top= part parts
    IFS=/ read -ra parts <<<"$1"
    for part in "${parts[@]}"; do
        top=${top:+$top/}$part  # the first that is not there yet, which the case removes
        [ -e "$devices/$top" ] || [ -L "$devices/$top" ] || break
    done
    if [ -e "$devices/$1" ] || [ -L "$devices/$1" ]; then echo "Wine's $1 is taken"; return 1; fi
    mkdir -p "$devices/$(dirname "$1")" && ln -s "$CASE" "$devices/$1" &&
        trap "rm -r '$devices/$top'" EXIT
}
# A memory limit leaves no room for a sanitizer's shadow memory, and a sanitizer needs /proc.
unsanitized_only() { [ -z "${SWUG_SANITIZE:-}" ] || exit 80; }

# in_memory SCRIPT: runs the shell commands SCRIPT in a file system in memory of the case's own
# (a private tmpfs over the case's folder), where reading the holes of a sparse file of gigabytes
# costs a fraction of what it costs on disk; where a mount is not the case's to make (not root,
# or Wine, whose server would not see it), in the case's folder as it is.
in_memory() {
    if [ "$(id -u)" = 0 ] && [ -z "${SWUG_RUNNER:-}" ] && unshare --mount true 2>"$CRAMTMP/.ignored"; then
        unshare --mount bash -c 'mount -t tmpfs -o size=1m none "$CASE" && cd "$CASE" && eval "$1"' - "$1"
    else
        eval "$1"
    fi
}
# node NAME MAJOR MINOR: a character device of the case's own, like /dev/null (1 3), /dev/zero
# (1 5) or /dev/full (1 7), so that no case touches the machine's; skipped unless root may make it.
node() { posix_only; mknod "$1" c "$2" "$3" 2>"$CRAMTMP/.ignored" || exit 80; }

# The tests' own data: the ten bytes 01 to 0a; SIZE bytes of (i * STEP + OFFSET) mod 256.
ten() { printf '\1\2\3\4\5\6\7\10\11\12'; }
pattern() { perl "$TESTS_DIR/e2e/encode.pl" pattern "$@"; }
# image SOFTWARE [MCU] [FIELD=VALUE...]: the upgrade image these parts must give, by the tests'
# own encoder (encode.pl); compare with cmp.
image() { perl "$TESTS_DIR/e2e/encode.pl" image "$@"; }
# up_bin [mcu] [FIELD=VALUE...]: sw, the ten bytes; with mcu also mcu, the bytes abc; and up.bin,
# their upgrade image by image with these fields.
up_bin() { ten > sw && { [ "${1:-}" != mcu ] || printf abc > mcu; } && image sw "$@" > up.bin; }

# Every file, folder, link and node below the current folder, with sizes and link targets.
files() {
    find . -mindepth 1 \( -type d -printf '%P/\n' -o -type l -printf '%P -> %l\n' \
        -o -type p -printf '%P (FIFO)\n' -o -type c -printf '%P (device)\n' \
        -o -printf '%P %s\n' \) | perl -e "$_shown"'
            open my $sorted, "<", \join "", map "$_\n", sort map { chomp; $_ } <STDIN>;  # as LC_ALL=C sort
            show($sorted, "")' "$CASE"
}
# Owner, group and mode of each file, then its ACL entries and user attributes.
meta() {
    local name
    for name in "$@"; do
        printf '%s %s' "$name" "$(stat -c '%u:%g %04a' "$name")"
        getfacl -cp "$name" 2>"$CRAMTMP/.ignored" | grep -v '^\(user\|group\|other\)::\|^$' | tr '\n' ' ' |
            sed 's/^./ acl=&/; s/ $//'
        getfattr -d --absolute-names "$name" 2>"$CRAMTMP/.ignored" | sed -n 's/^user/ user/p' | tr -d '\n'
        echo
    done
}
# The inode flags (chattr) of each file by lsattr's long names, without Extents, which tells only
# how ext4 stores it; skips the case where the file system has no such flags.
flags() {
    lsattr -l "$@" 2>"$CRAMTMP/.ignored" | sed 's/, Extents$//; s/ Extents$/ ---/; s/  */ /' ||
        exit 80
}

# started CALLS COMMAND...: starts COMMAND in the background (its process is $!) with every signal
# at its default, as a shell's foreground job has them (a script's background job ignores SIGINT
# and SIGQUIT), and with the system calls CALLS failing as for fail ("" for none).
started() {
    local _failing_env=() && { [ -z "$1" ] || _failing "$1"; }
    env --default-signal "${_failing_env[@]}" "${@:2}" &
}
