#!/bin/sh
# make demo builds only what the demo runs: the programs scripts/demo.sh starts are the
# targets it builds, and building them (dry run, everything out of date) compiles no test,
# benchmark or other program.
set -eu
build=$1
source=$2
build_line=$(make -s -n -C "$source" demo BUILD="$build" | grep 'cmake --build')
targets=$(echo "$build_line" | sed 's/.*--target //')
started=$(grep -o '"$build/[a-z-]*"' "$source/scripts/demo.sh" | sed 's|"$build/||; s|"||' |
  sort -u | tr '\n' ' ')
if [ "$(echo $targets | tr ' ' '\n' | sort -u | tr '\n' ' ')" != "$started" ]; then
  echo "make demo builds '$targets', scripts/demo.sh starts '$started'"
  exit 1
fi
made=$(cd "$source" && eval "$build_line -- -n -B" | grep -o 'CMakeFiles/[A-Za-z0-9_.-]*\.dir' |
  sed 's|CMakeFiles/||; s|\.dir||' | sort -u)
extra=$(echo "$made" | grep -E 'test|bench|fuzz|harness|plot' || true)
if [ -n "$extra" ]; then
  printf 'make demo also builds:\n%s\n' "$extra"
  exit 1
fi
echo "make demo builds: $(echo $made)"
