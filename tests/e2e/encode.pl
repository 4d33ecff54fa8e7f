#!/usr/bin/perl
# The tests' own encoder of upgrade images, written from the format, never from the program.
# (Perl, as a case calls it often, and perl starts in a third of the time Python takes.)
#
#   encode.pl image SOFTWARE [MCU] [FIELD=VALUE...] [cut=N] [tail=HEX]
#       the upgrade image of these files on standard output: the 128-byte header, the software
#       image, the MCU OTA image when given. FIELD=VALUE sets a header field afterwards (magic,
#       length, sum, upgrade_boot, mcu_ota_flag, mcu_addr, mcu_len, mcu_sum, or a byte's offset
#       such as 80); cut=N keeps the first N bytes; tail=HEX appends bytes.
#   encode.pl pattern SIZE STEP OFFSET
#       SIZE bytes of (i * STEP + OFFSET) mod 256 on standard output.
#   encode.pl check SOURCE_DIR
#       checks this encoder against the golden images of the examples (a test of its own).
use strict;
use warnings;

my %fields = (length => 16, sum => 20, upgrade_boot => 24, mcu_ota_flag => 64, mcu_addr => 68,
              mcu_len => 72, mcu_sum => 76);

# A number as C writes it: 0x1f, 0b101, 0o17 or decimal.
sub number {
    my ($text) = @_;
    return $text if $text =~ /^(0|[1-9][0-9]*)$/;
    return oct $text if $text =~ /^0([xX][0-9a-fA-F]+|[bB][01]+|[oO][0-7]+)$/;
    die "not a number: $text\n";
}

sub contents {
    my ($name) = @_;
    open my $file, '<:raw', $name or die "$name: $!\n";
    local $/;
    return <$file> // '';
}

sub sum32 { return unpack '%32C*', $_[0]; }

sub image {
    my ($software, $mcu) = map { contents($_) } grep { !/=/ } @_;
    my @mcu_fields = defined $mcu ? (1, 128 + length $software, length $mcu, sum32($mcu)) : (0) x 4;
    my $data = pack('a16 V2 x40 V4 x48', "ZQ-TR5200 Image", length $software, sum32($software),
                    @mcu_fields) . $software . ($mcu // '');
    for (grep { /=/ } @_) {
        my ($name, $value) = split /=/, $_, 2;
        if ($name eq 'magic') {
            substr($data, 0, 16) = length $value < 16 ? pack('a16', $value) : $value;
        } elsif ($name eq 'cut') {
            $data = substr $data, 0, number($value) if number($value) < length $data;
        } elsif ($name eq 'tail') {
            $data .= pack 'H*', $value;
        } elsif (exists $fields{$name}) {
            substr($data, $fields{$name}, 4) = pack 'V', number($value);
        } else {
            substr($data, number($name), 1) = pack 'C', number($value);
        }
    }
    return $data;
}

binmode STDOUT;
my $mode = shift // '';
if ($mode eq 'image' && @ARGV) {
    print image(@ARGV);
} elsif ($mode eq 'pattern' && @ARGV == 3) {
    my ($size, $step, $offset) = map { number($_) } @ARGV;
    print pack 'C*', map { ($_ * $step + $offset) & 0xFF } 0 .. $size - 1;
} elsif ($mode eq 'check' && @ARGV == 1) {
    chdir $ARGV[0] or die "$ARGV[0]: $!\n";
    for (['VRK520_UPGRADE_SW.bin', 'examples/data/VRK520_SW.bin'],
         ['VRK520_UPGRADE_SW_mcu.bin', 'examples/data/VRK520_SW.bin', 'examples/mcu_ota.bin']) {
        my ($golden, @parts) = @$_;
        image(@parts) eq contents("tests/golden/$golden")
            or die "the encoder does not make tests/golden/$golden\n";
    }
} else {
    die "usage: see the opening comment of $0\n";
}
