#!/bin/sh
# Windows x64 guarantees 16-byte stack alignment only, and GCC does not
# realign the stack for 32- and 64-byte vectors there: an aligned move of a
# ymm or zmm register to or from a stack slot can fault at run time, and only
# when that slot happens to be misaligned. Fails when any such move is in the
# given objects or libraries (unaligned moves and arithmetic on memory
# operands are fine).
# Usage: check_stack_vector_moves.sh OBJDUMP FILE...
set -eu
objdump=$1
shift
status=0
for file in "$@"; do
    listing=$("$objdump" -d --no-show-raw-insn "$file")
    vector=$(printf '%s\n' "$listing" | grep -cE '%[yz]mm[0-9]+' || true)
    moves=$(printf '%s\n' "$listing" |
            grep -E '\bv(movapd|movaps|movdqa|movdqa32|movdqa64|movntpd|movntps|movntdq)\b' |
            grep -E '%[yz]mm[0-9]+' | grep -E '\(%r(sp|bp)\)' || true)
    count=$(printf '%s' "$moves" | grep -c . || true)
    echo "$file: $count aligned 32/64-byte stack moves (of $vector instructions on ymm/zmm registers)"
    [ "$count" -eq 0 ] || { printf '%s\n' "$moves" | head -5; status=1; }
done
exit $status
