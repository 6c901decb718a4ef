#!/bin/sh
# The shared library exports exactly the ten entry points.
set -eu
expected="ConvertFull ConvertFullLen ConvertOne ConvertOneLen GetDllVersion GetFileFormat GetFileInfo GetFileInfoAuto SetPath Unicode"
actual=$(nm -D --defined-only "$1" | awk '$2 ~ /^[TDBRVWi]$/ {print $3}' | grep -v '^_init$\|^_fini$\|^_edata$\|^_end$\|^__bss_start$' | sort | tr '\n' ' ' | sed 's/ $//')
if [ "$actual" != "$expected" ]; then
  echo "exported: $actual"
  echo "expected: $expected"
  exit 1
fi
