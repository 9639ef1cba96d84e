#!/usr/bin/env bash
# Installs the library into a scratch prefix, builds a user's program against it with pkg-config
# and with find_package, and runs both without LD_LIBRARY_PATH (their run path finds libopxvc,
# whose own $ORIGIN run path finds libopxcore); then runs the installed example decoder.
set -euo pipefail
build=$1 src=$2 work=$3 sample=${4:-}
rm -rf "$work" && mkdir -p "$work"
cmake --install "$build" --prefix "$work/prefix" >/dev/null
libdir=$(cd "$(find "$work/prefix" -name pkgconfig -type d | head -n1)/.." && pwd)
export PKG_CONFIG_PATH="$libdir/pkgconfig"
unset LD_LIBRARY_PATH
cc -std=c99 "$src/main.c" $(pkg-config --cflags --libs opxvc) -Wl,-rpath,"$libdir" -o "$work/consumer-pc"
"$work/consumer-pc"
cmake -S "$src" -B "$work/build" -G Ninja -DCMAKE_PREFIX_PATH="$work/prefix" >/dev/null
cmake --build "$work/build" >/dev/null
"$work/build/consumer"
readelf -d "$libdir/libopxvc.so" | grep -q 'SONAME.*libopxvc.so.7'
readelf -d "$libdir/libopxvc.so" | grep -q 'R.*PATH.*\$ORIGIN'
dec="$work/prefix/bin/opxvc-h264dec"
if [ -x "$build/examples/opxvc-h264dec" ]; then
  "$dec" --version >/dev/null
  if [ -n "$sample" ]; then
    "$dec" --md5 "$sample" | diff -q - "${sample%.264}.md5" >/dev/null
  fi
fi
echo "installed library works with pkg-config and find_package; installed programs run"
