#!/usr/bin/env bash
# The library on a processor without AVX2, emulated by qemu's user mode as a Westmere (SSE4.2,
# no AVX): the load-time check must choose the portable kernels, and the decoder must give the
# same pictures. Exit 77 (skipped) without qemu-x86_64.
#   no_avx2.sh UNIT_TESTS DECODER SAMPLE
set -uo pipefail
tests=$1 dec=$2 sample=$3
command -v qemu-x86_64 >/dev/null || { echo "qemu-x86_64 absent: skipped"; exit 77; }
run() { qemu-x86_64 -cpu Westmere "$@" 2> >(grep -v "TCG doesn't support" >&2); }
OPXVC_TEST_EXPECT_PORTABLE="emulated Westmere" run "$tests" --gtest_brief=1 \
  --gtest_filter='Dispatch.*:H264Weight.UniDirectional*:BlockRules.EveryFunctionPositionAndSizePinned' || exit 1
run "$dec" --md5 "$sample" | diff -q - "${sample%.264}.md5" >/dev/null ||
  { echo "decoder on the emulated Westmere: pictures differ"; exit 1; }
echo "emulated Westmere: portable kernels chosen, same pictures"
