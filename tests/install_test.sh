#!/bin/sh
# cmake --install into a fresh prefix puts exactly the programs and the manual pages in
# their places, and the pages pass groff's check without a warning.
set -eu
build=$1
source=$2
prefix=$(mktemp -d "${TMPDIR:-/tmp}/climon-install.XXXXXX")
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build" --prefix "$prefix" >/dev/null
got=$(cd "$prefix" && find . -type f | sort)
want=$(printf '%s\n' ./bin/climon ./bin/climon-plot ./bin/climon-sim \
  ./share/man/man1/climon-plot.1 ./share/man/man1/climon-sim.1 ./share/man/man1/climon.1)
if [ "$got" != "$want" ]; then
  printf 'installed:\n%s\nexpected:\n%s\n' "$got" "$want"
  exit 1
fi
for page in "$source"/man/*.1; do
  out=$(groff -man -ww -z "$page" 2>&1)
  if [ -n "$out" ]; then
    printf '%s: %s\n' "$page" "$out"
    exit 1
  fi
done
"$prefix/bin/climon" --version
