#!/usr/bin/env bash
# The MSI as an installer: its custom-action rows, then a real install and removal under Wine's
# msiexec, with the sample Quillmoss.dll recording how regsvr32 was started.
# Usage: msi_test.sh WINE_RUN PACKAGE.msi PREFIX
set -uo pipefail
wine_run=$1
msi=$2
prefix=$3
passed=0
failed=0
problems=""
fail() { problems+=" $*;"; }
report() {
  if [ -z "$problems" ]; then
    echo "[       OK ] $1"; passed=$((passed + 1))
  else
    echo "[  FAILED  ] $1:$problems"; failed=$((failed + 1))
  fi
  problems=""
}

# --- The rows ---
actions=$(msiinfo export "$msi" CustomAction | tail -n +4)
sequence=$(msiinfo export "$msi" InstallExecuteSequence | tail -n +4 | sort -t$'\t' -k3 -n)
field() { awk -F'\t' -v name="$1" -v column="$2" '$1 == name { print $column }' <<<"$3"; }
type_of() { field "$1" 2 "$actions"; }
has_bit() { [ $(( $1 & $2 )) -ne 0 ]; }

check_action() { # NAME COMMAND ROLLBACK(yes/no)
  local type
  type=$(type_of "$1")
  [ -n "$type" ] || { fail "$1 missing"; return; }
  [ $(( type & 0x3F )) -eq 18 ] || fail "$1: not an exe started from an installed file (type $type)"
  [ "$(field "$1" 3 "$actions")" = QuillmossSetupExe ] || fail "$1: not started from QuillmossSetup.exe"
  [ "$(field "$1" 4 "$actions")" = "$2" ] || fail "$1: command is '$(field "$1" 4 "$actions")'"
  has_bit "$type" 0x400 || fail "$1: not in the script (deferred)"
  has_bit "$type" 0x800 || fail "$1: impersonates the user"
  if [ "$3" = yes ]; then has_bit "$type" 0x100 || fail "$1: no rollback bit"
  else ! has_bit "$type" 0x100 || fail "$1: runs only on rollback"; fi
}
check_action QuillmossInstall '/Install "[INSTALLDIR]"' no
check_action QuillmossUninstall '/Uninstall "[INSTALLDIR]"' no
check_action QuillmossRollback 'Rollback "[INSTALLDIR]"' yes
report "CustomActionRows"

order=$(cut -f1 <<<"$sequence" | tr '\n' ' ')
position() { tr ' ' '\n' <<<"$order" | grep -nx "$1" | cut -d: -f1; }
# A rollback action must be in the script before the step it undoes, right next to it.
[ "$(position QuillmossRollback)" -gt "$(position InstallFiles)" ] || fail "rollback before InstallFiles"
[ $(( $(position QuillmossRollback) + 1 )) -eq "$(position QuillmossInstall)" ] || fail "rollback not right before install: $order"
[ "$(position QuillmossUninstall)" -lt "$(position RemoveFiles)" ] || fail "uninstall after RemoveFiles"
[ "$(field QuillmossInstall 2 "$sequence")" = 'NOT Installed AND NOT REMOVE' ] || fail "install condition"
[ "$(field QuillmossRollback 2 "$sequence")" = 'NOT Installed AND NOT REMOVE' ] || fail "rollback condition"
[ "$(field QuillmossUninstall 2 "$sequence")" = 'REMOVE="ALL"' ] || fail "uninstall condition"
report "InstallExecuteSequence"

# --- A real install and removal ---
key='HKCU\Software\Quillmoss\SampleLibrary'
value() { { "$wine_run" reg query "$key" /v "$1" 2>/dev/null || true; } | tr -d '\r' | sed -n "s/^ *$1 *REG_SZ *//p"; }
installed="$prefix/drive_c/Program Files (x86)/Quillmoss"
library='C:\Program Files (x86)\Quillmoss\Quillmoss.dll'
windows_msi="Z:${msi//\//\\}"

"$wine_run" reg delete "$key" /f >/dev/null 2>&1
rm -rf "$prefix/drive_c/ProgramData/Quillmoss"
"$wine_run" msiexec /i "$windows_msi" /qn >/dev/null 2>&1 || fail "msiexec /i exit code $?"
for _ in $(seq 200); do [ -n "$(value RegisteredBy)" ] && break; sleep 0.1; done
[ "$(value RegisteredBy)" = "regsvr32 /s \"$library\"" ] || fail "registered by '$(value RegisteredBy)'"
[ -f "$installed/QuillmossSetup.exe" ] && [ -f "$installed/Quillmoss.dll" ] || fail "files not installed"
[ -d "$prefix/drive_c/ProgramData/Quillmoss" ] || fail "no product data folder"
report "InstallRegistersTheLibrary"

"$wine_run" msiexec /x "$windows_msi" /qn >/dev/null 2>&1 || fail "msiexec /x exit code $?"
[ "$(value UnregisteredBy)" = "regsvr32 /s /u \"$library\"" ] || fail "unregistered by '$(value UnregisteredBy)'"
[ -z "$(value RegisteredBy)" ] || fail "still registered"
[ ! -e "$installed/QuillmossSetup.exe" ] && [ ! -e "$installed/Quillmoss.dll" ] || fail "files left behind"
report "RemovalUnregistersTheLibrary"

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
