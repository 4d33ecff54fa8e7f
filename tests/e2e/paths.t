Dot-slash arguments are expanded:
  $ mkdir out && ten > in.bin && swug_gen ./in.bin ./out/up.bin && image in.bin | cmp - out/up.bin
  | gen image file checksum=00000037,size=0000000a |

A missing dot-slash file is shown expanded:
  $ swug_gen ./nope.bin ./up.bin; also files
  can't find the software file $CASE/nope.bin 
  [1]

A plain relative name is used unchanged:
  $ swug_gen nope.bin up.bin
  can't find the software file nope.bin 
  [1]

Parent-relative paths are used unchanged:
  $ mkdir run && ten > in.bin && cd run && swug_gen ../in.bin ../up.bin
  | gen image file checksum=00000037,size=0000000a |
  $ image ../in.bin | cmp - ../up.bin && files

A file named - is a software image, not standard input:
  $ ten > - && swug_gen - up.bin && image ./- | cmp - up.bin
  | gen image file checksum=00000037,size=0000000a |

-- is a file name, not the end of options:
  $ ten > - && swug_gen -- -; also files
  can't find the software file -- 
  - 10
  [1]

A 250-byte output name:
  $ ten > in.bin && name=$(printf 'u%.0s' {1..250}) && swug_gen in.bin $name
  | gen image file checksum=00000037,size=0000000a |
  $ image in.bin | cmp - $name && files
  in.bin 10
  <250 u> 138

The output's folder is missing:
  $ ten > in.bin && swug_gen in.bin out/up.bin; also files
  can't create the upgrade image out/up.bin: No such file or directory
  in.bin 10
  [1]

Dot-backslash is a file name on POSIX systems, not expanded:
  $ posix_only && ten > '.\fw.bin' && swug_gen '.\fw.bin' up.bin && image '.\fw.bin' | cmp - up.bin
  | gen image file checksum=00000037,size=0000000a |

A working folder with a backslash in its name:
  $ posix_only && mkdir 'a\b' && ten > 'a\b/in.bin' && cd 'a\b'
  $ swug_gen ./in.bin ./up.bin && image in.bin | cmp - up.bin
  | gen image file checksum=00000037,size=0000000a |

Dot-backslash is a Windows relative path:
  $ windows_only && ten > fw.bin && swug_gen '.\fw.bin' up.bin && image fw.bin | cmp - up.bin
  | gen image file checksum=00000037,size=0000000a |

Dot-slash arguments stay in the folder the run started in, whatever happens to its name:
  $ posix_only && mkdir work && mkfifo work/in.fifo && cd work
  $ "$SWUG_GEN" ./in.fifo ./up.bin > ../said.txt 2>&1 & run=$!
  $ for i in $(seq 600); do grep -qE '^(257|437) ' /proc/$run/syscall && break; sleep 0.05; done
  $ cd .. && mv work started && mkdir work && mkfifo work/in.fifo && ten > started/in.fifo
  $ wait $run && cat said.txt && files
  | gen image file checksum=00000037,size=0000000a |
  said.txt 51
  started/
  started/in.fifo (FIFO)
  started/up.bin 138
  work/
  work/in.fifo (FIFO)
