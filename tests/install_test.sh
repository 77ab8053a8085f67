#!/bin/sh
# cmake --install into a fresh prefix puts exactly the programs (stripped), the manual
# pages, the service, the alert rules and the dashboard in their places; the service starts
# the installed program; the pages pass groff's check without a warning; the service
# passes systemd-analyze verify and rates an exposure of 2.0 at most where that tool
# runs; and the Debian package passes lintian --pedantic without a remark.
set -eu
build=$1
source=$2
prefix=$(mktemp -d "${TMPDIR:-/tmp}/climon-install.XXXXXX")
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build" --prefix "$prefix" --strip >/dev/null
got=$(cd "$prefix" && find . -type f | sort)
want=$(printf '%s\n' ./bin/climon ./bin/climon-plot ./bin/climon-report ./bin/climon-sim \
  ./lib/systemd/system/climon@.service \
  ./share/climon/grafana/climon-dashboard.json ./share/climon/notify/notify-mail \
  ./share/climon/notify/notify-webhook ./share/climon/prometheus/climon.rules.yml \
  ./share/doc/climon/changelog.gz ./share/doc/climon/copyright \
  ./share/doc/climon/examples/network-port.conf.example \
  ./share/doc/climon/examples/notify.conf.example \
  ./share/doc/climon/examples/room.conf.example \
  ./share/doc/climon/examples/seal-key.conf.example \
  ./share/man/man1/climon-plot.1.gz ./share/man/man1/climon-report.1.gz \
  ./share/man/man1/climon-sim.1.gz \
  ./share/man/man1/climon.1.gz)
if [ "$got" != "$want" ]; then
  printf 'installed:\n%s\nexpected:\n%s\n' "$got" "$want"
  exit 1
fi
# Modes from the install rules, whatever the checkout's (a tarball's files are 0664).
modes=$(cd "$prefix" && find . -type f ! -path './bin/*' ! -path './share/climon/notify/*' \
  ! -perm 0644; find bin share/climon/notify -type f ! -perm 0755)
if [ -n "$modes" ]; then
  printf 'installed with another mode than 0644 (0755 for programs):\n%s\n' "$modes"
  exit 1
fi
for exe in climon climon-plot climon-report climon-sim; do
  if file "$prefix/bin/$exe" | grep -q 'not stripped'; then
    echo "$exe is not stripped"
    exit 1
  fi
done
for page in "$source"/man/*.1; do
  out=$(groff -man -ww -z "$page" 2>&1)
  if [ -n "$out" ]; then
    printf '%s: %s\n' "$page" "$out"
    exit 1
  fi
done
unit="$prefix/lib/systemd/system/climon@.service"
if ! grep -q "^ExecStart=$prefix/bin/climon " "$unit"; then
  echo "the installed unit does not start $prefix/bin/climon:"
  grep '^ExecStart=' "$unit"
  exit 1
fi
if command -v systemd-analyze >/dev/null; then
  units="$prefix/units"
  mkdir -p "$units"
  cp "$unit" "$units/climon@.service"
  ln -s climon@.service "$units/climon@room1.service"
  # As installed, then with the keyed seals' drop-in, then with a network port's too.
  examples="$prefix/share/doc/climon/examples"
  for dropin in "" "$examples/seal-key.conf.example" "$examples/network-port.conf.example" \
    "$examples/notify.conf.example"; do
    if [ -n "$dropin" ]; then
      mkdir -p "$units/climon@room1.service.d"
      cp "$dropin" "$units/climon@room1.service.d/$(basename "$dropin" .example)"
    fi
    systemd-analyze verify --man=no "$units/climon@room1.service"
    # The unit's exposure, as systemd rates it: 2.0 at most (the threshold makes it fail).
    exposure=$(systemd-analyze security --offline=true --threshold=20 \
      "$units/climon@room1.service" 2>&1 | grep 'Overall exposure level') || {
      systemd-analyze security --offline=true "$units/climon@room1.service" 2>&1 |
        grep -v '^✓' | tail -n 30
      exit 1
    }
    echo "$exposure"
  done
fi
for exe in climon climon-plot climon-report climon-sim; do "$prefix/bin/$exe" --version; done
if command -v lintian >/dev/null; then
  (cd "$build" && cpack -G DEB >/dev/null 2>&1)
  out=$(lintian --pedantic "$build"/climon_*.deb 2>&1 | grep -v '^running with root privileges' || true)
  if [ -n "$out" ]; then
    printf 'lintian:\n%s\n' "$out"
    exit 1
  fi
fi
