#!/bin/sh
# MediaInfo's own one-process batch over the same files as batch_bench, for
# the comparison: milliseconds per file.
#   bench/mediainfo_batch.sh DIR...
set -e
list=$(mktemp)
trap 'rm -f "$list"' EXIT
find "$@" -type f ! -name '*.sh' ! -name '*.py' ! -name '*.md' > "$list"
n=$(wc -l < "$list")
start=$(date +%s.%N)
tr '\n' '\0' < "$list" | xargs -0 mediainfo > /dev/null
end=$(date +%s.%N)
echo "$n files: $(echo "($end - $start) * 1000 / $n" | bc -l | cut -c1-6) ms per file (mediainfo)"
