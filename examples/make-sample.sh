#!/bin/sh
# Assembles sample.asm into the 4 KiB image sample.bin (needs Debian's sdcc package).
set -eu
cd "$(dirname "$0")"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
sdas8051 -plosgff "$work/sample.rel" sample.asm
sdld -i "$work/sample.ihx" "$work/sample.rel" >/dev/null
makebin -s 4096 "$work/sample.ihx" sample.bin
