#!/usr/bin/env bash
# Builds climon-VERSION-x64.msi in OUT from the Windows programs in BIN and
# packaging/climon.wxs: wixl (msitools) makes the package, msibuild adds what wixl does not
# write: the program folder on the system PATH (taken off again on uninstall) and the
# uninstall's removal of the rooms' services at its place in the sequence.
# Usage: scripts/msi.sh BIN OUT VERSION
set -euo pipefail
bin=$1 out=$2 version=$3
source=$(cd "$(dirname "$0")/.." && pwd)
for tool in wixl msibuild groff; do
  command -v "$tool" >/dev/null || { echo "msi: $tool is missing (apt-get install wixl msitools groff-base)" >&2; exit 1; }
done
# wixl takes the files by names relative to where it runs: they are gathered in one folder.
stage=$(mktemp -d "${TMPDIR:-/tmp}/climon-msi.XXXXXX")
trap 'rm -rf "$stage"' EXIT
mkdir -p "$stage/doc" "$stage/monitoring"
cp "$bin/climon.exe" "$bin/climon-plot.exe" "$bin/climon-report.exe" "$stage/"
cp "$source/monitoring/climon.rules.yml" "$source/monitoring/climon-dashboard.json" \
  "$stage/monitoring/"
# The README and the manuals as text with CR LF, which any Windows editor opens.
crlf() { sed 's/$/\r/'; }
crlf <"$source/README.md" >"$stage/doc/README.txt"
for page in climon climon-plot climon-report; do
  groff -man -Tutf8 -P-cbou "$source/man/$page.1" 2>/dev/null | crlf >"$stage/doc/$page.txt"
done
mkdir -p "$out"
msi="$(cd "$out" && pwd)/climon-$version-x64.msi"
(cd "$stage" && wixl -a x64 -D Version="$version" -o "$msi" "$source/packaging/climon.wxs")
q() { msibuild "$msi" -q "$1"; }
q "CREATE TABLE \`Environment\` (\`Environment\` CHAR(72) NOT NULL, \`Name\` CHAR(255) NOT NULL LOCALIZABLE, \`Value\` CHAR(255) LOCALIZABLE, \`Component_\` CHAR(72) NOT NULL PRIMARY KEY \`Environment\`)"
# "=-*PATH": the system's PATH, this value added at install and taken off at uninstall;
# "[~];" puts it after what is there.
q "INSERT INTO \`Environment\` (\`Environment\`, \`Name\`, \`Value\`, \`Component_\`) VALUES ('ProgramFolderOnPath', '=-*PATH', '[~];[INSTALLDIR]', 'Programs')"
q "INSERT INTO \`InstallExecuteSequence\` (\`Action\`, \`Sequence\`) VALUES ('RemoveEnvironmentStrings', 3300)"
q "INSERT INTO \`InstallExecuteSequence\` (\`Action\`, \`Sequence\`) VALUES ('WriteEnvironmentStrings', 5200)"
# wixl puts a Before= custom action first of all, outside the script where a deferred one
# runs: after InstallInitialize (1500) and before RemoveFiles (3500) is its place.
q "UPDATE \`InstallExecuteSequence\` SET \`Sequence\` = 3400 WHERE \`Action\` = 'RemoveRoomServices'"
echo "$msi"
