#!/usr/bin/env bash
# Installs the library into a scratch prefix and builds a user's program against it twice:
# with pkg-config and with find_package.
set -euo pipefail
build=$1 src=$2 work=$3
rm -rf "$work" && mkdir -p "$work"
cmake --install "$build" --prefix "$work/prefix" >/dev/null
libdir=$(find "$work/prefix" -name pkgconfig -type d | head -n1)/..
export PKG_CONFIG_PATH="$libdir/pkgconfig"
cc -std=c99 "$src/main.c" $(pkg-config --cflags --libs opxvc) -o "$work/consumer-pc"
LD_LIBRARY_PATH="$libdir" "$work/consumer-pc"
cmake -S "$src" -B "$work/build" -G Ninja -DCMAKE_PREFIX_PATH="$work/prefix" >/dev/null
cmake --build "$work/build" >/dev/null
LD_LIBRARY_PATH="$libdir" "$work/build/consumer"
readelf -d "$libdir/libopxvc.so" | grep -q 'SONAME.*libopxvc.so.7'
echo "installed library works with pkg-config and find_package"
