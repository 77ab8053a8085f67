#!/bin/sh
# The Windows installer's tables, as msiinfo reads them, without Wine: built from the
# repository's .wxs with stand-in programs (its files, their folders and components), the
# PATH entry added and taken off, the event log's source, the uninstall's removal of the
# rooms' services in the deferred part of the sequence, and the upgrade that replaces an
# older version.
set -eu
source=$1
for tool in wixl msiinfo msibuild; do
  command -v "$tool" >/dev/null || { echo "skipped: msi: $tool is not installed (apt-get install wixl msitools)"; exit 77; }
done
work=$(mktemp -d "${TMPDIR:-/tmp}/climon-msi-test.XXXXXX")
trap 'rm -rf "$work"' EXIT
for exe in climon climon-plot climon-report; do echo "$exe" >"$work/$exe.exe"; done
msi=$("$source/scripts/msi.sh" "$work" "$work" 9.8.7 2>"$work/wixl.err") || { cat "$work/wixl.err"; exit 1; }
[ "$msi" = "$work/climon-9.8.7-x64.msi" ] || { echo "made $msi"; exit 1; }
fail=0
has() {  # TABLE LINE: the table holds the line (tab-separated fields)
  if ! msiinfo export "$msi" "$1" | tr -d '\r' | grep -qxF "$2"; then
    printf 'table %s has no row\n  %s\nbut:\n' "$1" "$2"
    msiinfo export "$msi" "$1" | sed 's/^/  /'
    fail=1
  fi
}
tab=$(printf '\t')
row() { printf '%s' "$1"; shift; for f in "$@"; do printf '\t%s' "$f"; done; }
for f in climon.exe:Programs climon-plot.exe:Programs climon-report.exe:Programs \
  README.txt:Docs climon.txt:Docs climon-plot.txt:Docs climon-report.txt:Docs \
  climon.rules.yml:Monitoring climon-dashboard.json:Monitoring; do
  name=${f%%:*} component=${f##*:}
  msiinfo export "$msi" File | grep -q "${tab}${component}${tab}${name}${tab}" ||
    { echo "no file $name in $component"; fail=1; }
done
has Directory "$(row INSTALLDIR ProgramFiles64Folder climon)"
has Directory "$(row DOCDIR INSTALLDIR doc)"
has Environment "$(row ProgramFolderOnPath '=-*PATH' '[~];[INSTALLDIR]' Programs)"
has CustomAction "$(row RemoveRoomServices 3154 climon.exe '--remove-service *' '')"
has InstallExecuteSequence "$(row RemoveRoomServices 'REMOVE="ALL" AND NOT UPGRADINGPRODUCTCODE' 3400)"
has InstallExecuteSequence "$(row WriteEnvironmentStrings '' 5200)"
has InstallExecuteSequence "$(row RemoveEnvironmentStrings '' 3300)"
msiinfo export "$msi" Registry | grep -q "EventLog\\\\Application\\\\climon\\\\\?${tab}EventMessageFile${tab}\[INSTALLDIR\]climon.exe" ||
  { echo "no event log source"; msiinfo export "$msi" Registry; fail=1; }
msiinfo export "$msi" Property | grep -q "^ProductVersion${tab}9.8.7" || { echo "no version 9.8.7"; fail=1; }
msiinfo export "$msi" Upgrade | grep -q "{6F0C2B8E-4E51-4C7B-9A1D-3E52C1A7D204}" ||
  { echo "no major upgrade"; msiinfo export "$msi" Upgrade; fail=1; }
exit $fail
