#!/bin/sh
# Runs every fuzz target for SECONDS each from a seed corpus of the fixtures
# and samples. A crash is minimised into tests/fixtures/crashes/, which the
# ordinary test suite replays, and makes this script fail.
# usage: fuzz/run.sh BUILD_DIR SECONDS
set -u
cd "$(dirname "$0")/.."
build=$1
seconds=$2
bin=$build/bin
# FUZZ_WORK: the corpus that grows; FUZZ_FRESH=1 starts it from the seeds alone.
work=${FUZZ_WORK:-fuzz/corpus-work}
[ -n "${FUZZ_FRESH:-}" ] && rm -rf "$work"
seeds=$build/fuzz-seeds
mkdir -p "$work/analyze" "$work/templates" "$work/codec" "$build/fuzz-artifacts" tests/fixtures/crashes
rm -rf "$seeds"
"$bin/fuzz_seeds" "$seeds/analyze" "$seeds/templates" data tests/fixtures samples || exit 1
"$bin/fuzz_codec_seeds" "$seeds/codec" tests/fixtures/codecs || exit 1

# A fixed seed (FUZZ_SEED) makes short runs repeatable; 0 lets libFuzzer pick.
seed=${FUZZ_SEED:-0}
status=0
targets="analyze templates codec"
# The tag plug-in, when this build has it: a seed's first byte picks the
# extension of the file name the target writes.
if [ -x "$bin/fuzz_tags" ]; then
  targets="$targets tags"
  mkdir -p "$seeds/tags" "$work/tags"
  i=0
  for ext in mp3 rmp wav avi wma ogg opus flac m4a mp4 ape mpc wv tta spx bin; do
    n=0
    for f in $(find tests/fixtures samples -type f -name "*.$ext" -size -256k 2>/dev/null | sort | head -n 6); do
      { printf "\\$(printf %03o $i)"; cat "$f"; } >"$seeds/tags/$ext-$n"
      n=$((n + 1))
    done
    i=$((i + 1))
  done
fi
for target in $targets; do
  artifacts=$build/fuzz-artifacts/$target-
  rm -f "$artifacts"*
  echo "== fuzz_$target for ${seconds}s"
  "$bin/fuzz_$target" -max_total_time="$seconds" -max_len=262144 -timeout=20 -rss_limit_mb=2048 \
    -dict=fuzz/probex.dict -artifact_prefix="$artifacts" -print_final_stats=1 -seed="$seed" \
    "$work/$target" "$seeds/$target" 2>"$build/fuzz-$target.log"
  rc=$?
  tail -n 12 "$build/fuzz-$target.log"
  if [ $rc -ne 0 ]; then
    status=1
    for found in "$artifacts"*; do
      [ -f "$found" ] || continue
      kept=tests/fixtures/crashes/$target-$(sha1sum "$found" | cut -c1-12)
      "$bin/fuzz_$target" -minimize_crash=1 -max_total_time=60 -exact_artifact_path="$kept" "$found" \
        >/dev/null 2>&1 || true
      [ -s "$kept" ] || cp "$found" "$kept"
      echo "fuzz_$target: kept $kept"
    done
  fi
done
exit $status
