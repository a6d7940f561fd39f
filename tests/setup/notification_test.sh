#!/usr/bin/env bash
# Wine's relay trace shows every CreateProcessW and SHChangeNotify call with its arguments:
# the setup program must send the association-changed event after every verb, right after it
# started the system's regsvr32 (and without it when the verb is unknown).
set -uo pipefail
wine_run=$1
bin=$2
trace=$(mktemp)
trap 'rm -f "$trace"' EXIT

"$wine_run" reg add 'HKCU\Software\Wine\Debug' /v RelayInclude /t REG_SZ \
  /d 'kernel32.CreateProcessW;shell32.SHChangeNotify' /f >/dev/null 2>&1

setup='C:\qm-tests\notify\QuillmossSetup.exe'
"$wine_run" cmd /c 'mkdir C:\qm-tests\notify' >/dev/null 2>&1
"$wine_run" cmd /c "copy /y $(printf '%s' "Z:${bin//\//\\}\\QuillmossSetup.exe") $setup" >/dev/null 2>&1

# The arguments of a relay "Call" line, one a line, without the strings it shows after pointers.
relay_arguments() {
  sed -E 's/^.*Call [^(]*\(//; s/\) ret=.*$//; s/ L"([^"\\]|\\.)*"//g' <<<"$1" | tr ',' '\n'
}
# A 32-bit argument: a 64-bit trace prints the whole register, whose upper half means nothing.
low32() { printf '%s' "${1: -8}"; }
zero() { [[ $1 =~ ^0+$ ]]; }

passed=0
failed=0
# check NAME ARGUMENTS EXPECTED-REGSVR32-COMMAND-AS-TRACED (empty: none may be started)
check() {
  local name=$1 arguments=$2 expected=$3
  QM_LAUNCH_APPLICATION=$setup QM_LAUNCH_COMMAND_LINE="\"$setup\" $arguments" WINEDEBUG=+relay \
    "$wine_run" "$bin/Launch.exe" 2>"$trace" >/dev/null
  local status=$?
  local notify created problems=""
  notify=$(grep -an 'Call shell32.SHChangeNotify(' "$trace")
  created=$(grep -an 'Call KERNEL32.CreateProcessW(.*regsvr32' "$trace")
  [ "$status" -eq 0 ] || problems+=" exit code $status;"
  [ "$(grep -c . <<<"$notify")" -eq 1 ] || problems+=" SHChangeNotify not called exactly once;"
  local arguments
  mapfile -t arguments < <(relay_arguments "$notify")
  [ "${#arguments[@]}" -eq 4 ] && [ "$(low32 "${arguments[0]}")" = 08000000 ] && zero "$(low32 "${arguments[1]}")" \
    && zero "${arguments[2]}" && zero "${arguments[3]}" || problems+=" wrong notification arguments: $notify;"
  if [ -z "$expected" ]; then
    [ -z "$created" ] || problems+=" started: $created;"
  else
    [ "$(grep -c . <<<"$created")" -eq 1 ] || problems+=" regsvr32 not started exactly once;"
    grep -qF "CreateProcessW(" <<<"$created" && grep -qF 'L"C:\\windows\\system32\\regsvr32.exe",' <<<"$created" \
      || problems+=" not the system's regsvr32: $created;"
    grep -qF "L\"$expected\"," <<<"$created" || problems+=" command differs: $created;"
    # No security attributes, no handles inherited, no creation flags, the installer's own
    # environment and folder; both structures passed.
    mapfile -t arguments < <(relay_arguments "$created")
    [ "${#arguments[@]}" -eq 10 ] && ! zero "${arguments[0]}" && ! zero "${arguments[1]}" && zero "${arguments[2]}" \
      && zero "${arguments[3]}" && zero "$(low32 "${arguments[4]}")" && zero "$(low32 "${arguments[5]}")" \
      && zero "${arguments[6]}" && zero "${arguments[7]}" && ! zero "${arguments[8]}" && ! zero "${arguments[9]}" \
      || problems+=" CreateProcessW arguments: ${arguments[*]};"
    [ "${created%%:*}" -lt "${notify%%:*}" ] 2>/dev/null || problems+=" notification not after the start;"
  fi
  if [ -z "$problems" ]; then
    echo "[       OK ] $name"; passed=$((passed + 1))
  else
    echo "[  FAILED  ] $name:$problems"; failed=$((failed + 1))
  fi
}

check "Install" '/Install "C:\Program Files\Quillmoss\"' \
  'regsvr32 /s \"C:\\Program Files\\Quillmoss\\Quillmoss.dll\"'
check "Uninstall" '/Uninstall "C:\Program Files\Quillmoss\"' \
  'regsvr32 /s /u \"C:\\Program Files\\Quillmoss\\Quillmoss.dll\"'
check "Rollback" 'Rollback "C:\Program Files\Quillmoss\"' \
  'regsvr32 /s /u \"C:\\Program Files\\Quillmoss\\Quillmoss.dll\"'
check "UnknownVerb" '/install "C:\Program Files\Quillmoss\"' ''
check "NoVerb" '' ''
check "TooLongCommand" "/Install \"C:\\$(printf 'x%.0s' {1..1000})\\\"" ''

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
