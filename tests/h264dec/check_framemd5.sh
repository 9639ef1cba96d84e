#!/usr/bin/env bash
# Decodes STREAM with opxvc-h264dec --md5 and compares the digests, frame for frame, with the
# sixth field of the non-comment lines of REFERENCE (an `ffmpeg -f framemd5` file).
#   check_framemd5.sh DECODER STREAM REFERENCE
set -uo pipefail
dec=$1 stream=$2 ref=$3
[ -r "$stream" ] || { echo "missing stream $stream"; exit 1; }
expected=$(grep -v '^#' "$ref" | awk -F', *' '{print $6}')
actual=$("$dec" --md5 "$stream" | awk '{print $2}')
rc=${PIPESTATUS[0]}
if [ "$expected" == "$actual" ]; then
  echo "$(basename "$stream"): $(echo "$expected" | wc -l) frames bit-exact"
  exit 0
fi
ne=$(echo "$expected" | grep -c .); na=$(echo "$actual" | grep -c .)
first=$(diff <(echo "$expected") <(echo "$actual") | head -1)
echo "$(basename "$stream"): MISMATCH (decoder exit $rc): expected $ne frames, got $na; first difference: $first"
exit 1
