#!/usr/bin/env bash
# Removes the files that the last `make install` from this build laid out, as its list of them
# names them (DESTDIR included, if one was given), then the list itself. Folders stay: they may
# have been there before and hold other programs' files.
set -euo pipefail

manifest=${1:?usage: uninstall.sh BUILD/installed-files.txt}
if [ ! -f "$manifest" ]; then
  echo "uninstall: nothing to remove: $manifest does not exist (no make install from this build)" >&2
  exit 1
fi
while IFS= read -r file || [ -n "$file" ]; do
  [ -n "$file" ] || continue
  if [ -e "$file" ] || [ -L "$file" ]; then
    rm -f -- "$file"
    echo "removed $file"
  fi
done < "$manifest"
rm -f -- "$manifest"
