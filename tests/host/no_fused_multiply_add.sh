#!/bin/sh
# Fails when any built module (or object, or static library) holds a fused
# multiply-add instruction: the image results depend on every product being
# rounded before the sum. Each file is disassembled by the objdump of its own
# architecture: x86-64 (ELF or Windows PE) or arm64 (aarch64-linux-gnu-objdump).
set -eu

x86_fused='\bv?f(n)?m(add|sub)[0-9]*[ps][sd]\b'
# Advanced SIMD and scalar forms, and the SVE ones for good measure.
arm64_fused='\b(fmla|fmls|fmadd|fmsub|fnmadd|fnmsub|fnmla|fnmls|fmad|fmsb|fnmad|fnmsb)\b'

status=0
for file in "$@"; do
    machine=$(readelf -h "$file" 2>/dev/null | sed -n 's/^ *Machine: *//p' | sort -u)
    case "$machine" in
        AArch64)
            disassembler=aarch64-linux-gnu-objdump
            pattern=$arm64_fused ;;
        "Advanced Micro Devices X86-64")
            disassembler=objdump
            pattern=$x86_fused ;;
        "")
            # Not ELF: a Windows module, object or library from MinGW.
            disassembler=x86_64-w64-mingw32-objdump
            pattern=$x86_fused ;;
        *)
            echo "$file: no fused multiply-add check for machine '$machine'" >&2
            status=1
            continue ;;
    esac
    if ! command -v "$disassembler" >/dev/null 2>&1; then
        echo "$file: $disassembler is not installed" >&2
        status=1
        continue
    fi
    listing=$("$disassembler" -d "$file") || { echo "$file: $disassembler failed" >&2; status=1; continue; }
    count=$(printf '%s\n' "$listing" | grep -ciE "$pattern" || true)
    instructions=$(printf '%s\n' "$listing" | grep -cE '^ +[0-9a-f]+:' || true)
    echo "$file: $count fused multiply-add instructions (of $instructions disassembled, $disassembler)"
    # An empty listing would pass vacuously.
    [ "$instructions" -gt 0 ] || status=1
    [ "$count" -eq 0 ] || status=1
done
exit $status
