The software image is a folder:
  $ mkdir fw && swug_gen fw up.bin; also files
  can't read the software file fw: Is a directory
  fw/
  [1]

An mcu_ota.bin folder counts as absent:
  $ printf 0123456789 > in.bin && mkdir mcu_ota.bin && swug_gen in.bin up.bin
  | gen image file checksum=0000020d,size=0000000a |
  $ image in.bin | cmp - up.bin

An empty output name:
  $ printf 0123456789 > in.bin && swug_gen in.bin ''
  can't create the upgrade image : No such file or directory
  [1]

The output is a folder named with a trailing /:
  $ printf 0123456789 > in.bin && mkdir up && swug_gen in.bin up/; also files
  can't create the upgrade image up/: Is a directory
  in.bin 10
  up/
  [1]

The output is a folder:
  $ posix_only && printf 0123456789 > in.bin && mkdir up && swug_gen in.bin up; also files
  can't create the upgrade image up: Is a directory
  in.bin 10
  up/
  [1]

The output's folder is a file:
  $ printf 0123456789 > in.bin && swug_gen in.bin in.bin/up.bin; also files
  can't create the upgrade image in.bin/up.bin: Not a directory
  in.bin 10
  [1]

An output 600 bytes deep:
  $ deep=$(printf '%0200d/%0200d/%0200d' 1 2 3) && mkdir -p $deep && printf 0123456789 > in.bin
  $ swug_gen in.bin $deep/up.bin && image in.bin | cmp - $deep/up.bin
  | gen image file checksum=0000020d,size=0000000a |

./ arguments 600 bytes deep:
  $ deep=$(printf '%0200d/%0200d/%0200d' 1 2 3) && mkdir -p $deep && printf 0123456789 > $deep/in.bin
  $ swug_gen ./$deep/in.bin ./$deep/up.bin && image $deep/in.bin | cmp - $deep/up.bin
  | gen image file checksum=0000020d,size=0000000a |

An output name longer than the file system takes: the system's reason:
  $ posix_only && printf 0123456789 > in.bin && swug_gen in.bin $(printf 'n%.0s' {1..300})
  can't create the upgrade image <300 n>: File name too long
  [1]
  $ files
  in.bin 10

A software name longer than the file system takes: the system's reason:
  $ posix_only && swug_gen $(printf 's%.0s' {1..301}) $(printf 'n%.0s' {1..300}); also files
  can't read the software file <301 s>: File name too long
  [1]

A software path longer than the system takes: the system's reason:
  $ posix_only && mkdir x && printf 0123456789 > x/in.bin
  $ swug_gen x$(printf '/%.0s' {1..4500})in.bin up.bin; also files
  can't read the software file x<4500 />in.bin: File name too long
  x/
  x/in.bin 10
  [1]

The software image is a folder its user may not read:
  $ posix_only && mkdir -m 0300 fw && as 61001 swug_gen fw up.bin; also files
  can't read the software file fw: Is a directory
  fw/
  [1]

./ without a working directory:
  $ posix_only && printf 0123456789 > in.bin && mkdir gone && cd gone && rmdir ../gone
  $ swug_gen ./in.bin ./up.bin
  can't expand ./in.bin: can't get the working directory: No such file or directory
  [1]

A name with a line break and an escape is shown escaped:
  $ posix_only && swug_gen $'a\nb\e[31m' up.bin
  can't find the software file a\nb\x1b[31m 
  [1]

A byte 0x80 to 0x9F of no character is shown escaped, as 8-bit terminals take it as a control:
  $ posix_only && swug_gen $'a\x9b2Jb' up.bin
  can't find the software file a\x9b2Jb 
  [1]

./ in a working folder 600 bytes deep:
  $ posix_only && deep=$(printf '%0200d/%0200d/%0200d' 1 2 3) && mkdir -p $deep && cd $deep
  $ printf 0123456789 > in.bin && swug_gen ./in.bin ./up.bin && image in.bin | cmp - up.bin
  | gen image file checksum=0000020d,size=0000000a |

Plain names in a working folder 600 bytes deep:
  $ posix_only && deep=$(printf '%0200d/%0200d/%0200d' 1 2 3) && mkdir -p $deep && cd $deep
  $ printf 0123456789 > in.bin && swug_gen in.bin up.bin && image in.bin | cmp - up.bin
  | gen image file checksum=0000020d,size=0000000a |

A read error keeps the old image:
  $ printf OLD > up.bin && swug_gen /proc/self/mem up.bin; also files
  can't read the software file /proc/self/mem: (Input/output error|Invalid argument) (re)
  up.bin 3
  [1]

A read error keeps a linked image and the link:
  $ posix_only && mkdir store && printf OLD > store/release.bin && ln -s store/release.bin link.bin
  $ swug_gen /proc/self/mem link.bin; also files
  can't read the software file /proc/self/mem: Input/output error
  link.bin -> store/release.bin
  store/
  store/release.bin 3
  [1]

A read error in mcu_ota.bin names it and keeps the old image:
  $ posix_only && printf 0123456789 > in.bin && printf OLD > up.bin
  $ ln -s /proc/self/mem mcu_ota.bin && swug_gen in.bin up.bin; also files
  can't read the MCU ota file mcu_ota.bin: Input/output error
  in.bin 10
  mcu_ota.bin -> /proc/self/mem
  up.bin 3
  [1]

An mcu_ota.bin whose size can't be told is too big:
  $ node zero 1 5 && printf 0123456789 > in.bin && ln -s zero mcu_ota.bin
  $ swug_gen in.bin up.bin && image in.bin | cmp - up.bin
  | MCU ota file is too big, must <96KB |
  | gen image file checksum=0000020d,size=0000000a |

An mcu_ota.bin FIFO never blocks the run:
  $ posix_only && printf 0123456789 > in.bin && mkfifo mcu_ota.bin && swug_gen in.bin up.bin
  | MCU ota file is too big, must <96KB |
  | gen image file checksum=0000020d,size=0000000a |
  $ image in.bin | cmp - up.bin && files
  in.bin 10
  mcu_ota.bin (FIFO)
  up.bin 138

An mcu_ota.bin that grows past 96 KiB while it is read:
  $ [ -r /proc/kallsyms ] || exit 80
  $ printf 0123456789 > in.bin && printf OLD > up.bin && ln -s /proc/kallsyms mcu_ota.bin
  $ swug_gen in.bin up.bin; also files
  the MCU ota file mcu_ota.bin grew beyond 98304 bytes while it was read
  in.bin 10
  mcu_ota.bin -> /proc/kallsyms
  up.bin 3
  [1]

The output is a full device, which is kept:
  $ node full 1 7 && printf 0123456789 > in.bin && swug_gen in.bin full; also files
  can't write the upgrade image full: No space left on device
  full (device)
  in.bin 10
  [1]
