#!/bin/sh
# The plug-in library must export exactly its entry and Plugin_Unload.
set -eu
exports=$(nm -D --defined-only "$1" | awk '{print $3}' | sort | tr '\n' ' ')
if [ "$exports" != "DllMain Plugin_Unload " ]; then
  echo "unexpected exports: $exports"
  exit 1
fi
