#!/usr/bin/env bash
# The MSI as an installer. "tables": its custom-action rows, its sequence and where it installs
# (nothing runs). "install": a real install and removal under Wine's msiexec, with the sample
# Quillmoss.dll recording how regsvr32 was started.
# Usage: msi_test.sh tables PACKAGE.msi BITS
#        msi_test.sh install PACKAGE.msi BITS WINE_RUN PREFIX
set -uo pipefail
mode=$1
msi=$2
bits=$3
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
finish() {
  echo "$passed passed, $failed failed"
  [ "$failed" -eq 0 ]
  exit
}

# The Win32 package installs into the 32-bit program files (which a 64-bit Windows calls
# "Program Files (x86)"), the x64 one into the 64-bit program files as 64-bit components.
case $bits in
  32) program_files=ProgramFilesFolder platform=Intel component_bits=0 folder='Program Files (x86)' ;;
  64) program_files=ProgramFiles64Folder platform=x64 component_bits=256 folder='Program Files' ;;
  *) echo "msi_test.sh: BITS must be 32 or 64" >&2; exit 2 ;;
esac

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

table() { msiinfo export "$msi" "$1" | tail -n +4; }
[ "$(field INSTALLDIR 2 "$(table Directory)")" = "$program_files" ] || fail "INSTALLDIR not under $program_files"
[ "$(msiinfo suminfo "$msi" | tr -d '\r' | sed -n 's/^Template: //p')" = "$platform;1033" ] \
  || fail "platform is not $platform"
for component in SetupProgram ProductLibrary; do
  [ $(( $(field "$component" 4 "$(table Component)") & 256 )) -eq "$component_bits" ] \
    || fail "$component: 64-bit attribute is not $component_bits"
done
report "InstallFolderAndPlatform"

[ "$mode" = tables ] && finish

# --- A real install and removal ---
wine_run=$4
prefix=$5
key='HKCU\Software\Quillmoss\SampleLibrary'
value() { { "$wine_run" reg query "$key" /v "$1" 2>/dev/null || true; } | tr -d '\r' | sed -n "s/^ *$1 *REG_SZ *//p"; }
installed="$prefix/drive_c/$folder/Quillmoss"
library="C:\\$folder\\Quillmoss\\Quillmoss.dll"
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

finish
