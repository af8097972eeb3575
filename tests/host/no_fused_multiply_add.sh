#!/bin/sh
# Fails when any built module holds a fused multiply-add instruction: the image
# results depend on every product being rounded before the sum.
set -eu
status=0
for module in "$@"; do
    count=$(objdump -d "$module" | grep -ciE '\bv?f(n)?m(add|sub)[0-9]*[ps][sd]\b' || true)
    echo "$module: $count fused multiply-add instructions"
    [ "$count" -eq 0 ] || status=1
done
exit $status
