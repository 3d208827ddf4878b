#!/bin/sh
# Fails when a program holds an SSE, SSE2 or MMX instruction, which faults on the
# processors of the Windows 95 era and on Windows 95 and 98 (they never enable SSE),
# or when its start-up does not set the x87 unit to 53-bit precision.
#   check-x87-only.sh OBJDUMP PROGRAM...
objdump=$1
shift
status=0
for program in "$@"; do
  [ -f "$program" ] || { echo "no $program"; status=1; continue; }
  # Any xmm/ymm/zmm or mm register, the SSE control register, and the SSE-era
  # instructions that name no such register.
  found=$("$objdump" -d --no-show-raw-insn "$program" | awk '
    /^[0-9a-f]+ <.*>:$/ { function_name = $2 }
    /%[xyz]?mm[0-9]|mxcsr|[lms]fence|fisttp|movnti|prefetch|clflush|emms/ {
      print function_name " " $0; n++; if (n >= 20) exit
    }')
  if [ -n "$found" ]; then
    echo "$program: SSE or MMX instructions (first 20):"
    echo "$found"
    status=1
  fi
  # CRT_fp8.o: the start-up calls msvcrt.dll's _fpreset, which sets 53-bit precision;
  # the default start-up object only resets the unit (64-bit precision).
  if ! "$objdump" -p "$program" | awk '/DLL Name:/ { dll = tolower($3) } dll == "msvcrt.dll" && $NF == "_fpreset" { found = 1 } END { exit !found }'; then
    echo "$program: the start-up does not call msvcrt.dll's _fpreset (link CRT_fp8.o): the x87 unit keeps 64-bit precision"
    status=1
  fi
done
[ $status -eq 0 ] && echo "x87 only, 53-bit precision at start-up: $*"
exit $status
