#!/bin/bash
# Checks the Windows modules of the MinGW cross build from their PE tables:
# each exports mexFunction and nothing else, imports from the host DLL only
# functions that the .def file lists, and imports from no other DLL but the
# system's (the C++ and threading runtimes are linked in); and the modules
# together import every function of the .def file, so it lists exactly what
# they call.
# Usage: check_windows_modules.sh OBJDUMP HOST_API.def HOST_DLL MODULE...
set -euo pipefail

objdump=$1
def=$2
host_dll=$3
shift 3

listed=$(sed -n '/^EXPORTS/,$p' "$def" | sed '1d; s/;.*//; s/[[:space:]]//g; /^$/d' | sort -u)
failed=0
used=""
for module in "$@"; do
    tables=$("$objdump" -p "$module")
    # Export table entries look like "	[   0] mexFunction".
    exports=$(printf '%s\n' "$tables" | sed -n '/^\[Ordinal\/Name Pointer\] Table/,/^$/p' |
              sed -n 's/^[[:space:]]*\[ *[0-9]*\] *//p' | sort -u)
    # Import tables: "	DLL Name: X.dll", then "	vma:  Hint/Ord Member-Name ..." and one
    # line per function ("	 4a2e5	   12  mxGetData").
    dlls=$(printf '%s\n' "$tables" | sed -n 's/^[[:space:]]*DLL Name: *//p' | sort -u)
    host_imports=$(printf '%s\n' "$tables" |
                   awk -v dll="$host_dll" '/DLL Name:/ { inside = ($3 == dll); next }
                                            inside && /^[[:space:]]*[0-9a-f]+[[:space:]]+[0-9]+[[:space:]]+[A-Za-z_]/ { print $3 }
                                            /^$/ { inside = 0 }' | sort -u)
    name=$(basename "$module")
    problems=""
    [ "$exports" = mexFunction ] || problems+=" exports [$(echo $exports)], not mexFunction alone;"
    for dll in $dlls; do
        case "${dll,,}" in
            "${host_dll,,}"|kernel32.dll|msvcrt.dll|ucrtbase.dll|api-ms-win-*|user32.dll|advapi32.dll|ntdll.dll) ;;
            *) problems+=" imports from $dll;" ;;
        esac
    done
    [ -n "$host_imports" ] || problems+=" imports nothing from $host_dll;"
    unlisted=$(comm -23 <(printf '%s\n' "$host_imports") <(printf '%s\n' "$listed") | tr '\n' ' ')
    [ -z "$unlisted" ] || problems+=" imports functions the .def file lacks: $unlisted;"
    used+=$'\n'"$host_imports"
    if [ -z "$problems" ]; then
        echo "ok    $name: exports mexFunction; imports $(echo "$host_imports" | wc -l) functions from $host_dll; DLLs: $(echo $dlls)"
    else
        echo "FAIL  $name:$problems"
        failed=1
    fi
done
unused=$(comm -23 <(printf '%s\n' "$listed") <(printf '%s\n' "$used" | sed '/^$/d' | sort -u) | tr '\n' ' ')
if [ -n "$unused" ]; then
    echo "FAIL  $(basename "$def") lists functions no module imports: $unused"
    failed=1
else
    echo "ok    $(basename "$def"): all $(echo "$listed" | wc -l) functions are imported by some module"
fi
exit $failed
