#!/bin/sh
# files_test.sh READER LIBRARY WORKDIR: encoded fixtures and files made by hand,
# read through the plug-in's C interface.
exec python3 "$(dirname "$0")/files_test.py" "$@"
