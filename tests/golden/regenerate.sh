#!/bin/sh
# Rewrites tests/golden/summaries.tsv from the current analyzers.
# Usage: tests/golden/regenerate.sh [BUILD_DIR]   (default build)
set -e
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${1:-$root/build}
cmake --build "$build" --target probex_tests
PROBEX_GOLDEN_UPDATE=1 "$build/bin/probex_tests" --gtest_filter='GoldenSummaries.*'
git -C "$root" diff --stat -- tests/golden/summaries.tsv || true
