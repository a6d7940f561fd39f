# What this host can run, and how to start Wine for each architecture. Sourced by the scripts and
# by every build's wine-run; defines functions only.

# Whether this host can execute 32-bit x86 programs, found by starting one (the 32-bit Wine
# loader): some kernels are built without IA-32 emulation and refuse every 32-bit program, and
# nothing short of trying tells them apart. Only that refusal ("Exec format error", exit code 126)
# means "no": a 32-bit Wine that fails for another reason is a broken installation, and the script
# stops rather than quietly testing less. QM_HOST_32BIT_PROBE names another program to try, whose
# failure of any kind means "no", so that the 64-bit-only path can be exercised on a host that runs
# both. On "no", qm_host_32bit_reason says why. The answer is kept for the rest of the script.
qm_host_runs_32bit() {
  if [ -z "${qm_host_32bit:-}" ]; then
    local probe=${QM_HOST_32BIT_PROBE:-/usr/lib/wine/wine} output status=0
    output=$("$probe" --version 2>&1) || status=$?
    # Bash words a refusal "<script>: line N: <program>: cannot execute binary file: Exec format error".
    output=$(printf '%s\n' "$output" | head -n 1 | sed 's/^.*: line [0-9]*: //')
    output=${output#"$probe: "}
    if [ "$status" -eq 0 ]; then
      qm_host_32bit=yes
    elif [ "$status" -eq 126 ] || [ -n "${QM_HOST_32BIT_PROBE:-}" ]; then
      qm_host_32bit=no
      [ "$status" -eq 126 ] || output="exit code $status"
      qm_host_32bit_reason="starting the 32-bit program $probe failed: $output"
    else
      echo "wine: the 32-bit Wine loader $probe fails (exit code $status${output:+: $output});" \
        "reinstall wine32:i386 (scripts/bootstrap)" >&2
      exit 1
    fi
  fi
  [ "$qm_host_32bit" = yes ]
}

# The architecture of a Windows executable (32 or 64) from its PE header, or nothing when the file
# is not one.
qm_pe_arch() {
  local offset machine
  [ -f "$1" ] || return 0
  [ "$(head -c 2 "$1" 2>/dev/null)" = MZ ] || return 0
  offset=$(od -An -tu4 -j60 -N4 "$1" | tr -d ' ')
  machine=$(od -An -tx2 -j$((offset + 4)) -N2 "$1" | tr -d ' ')
  case $machine in
    014c) echo 32 ;;
    8664) echo 64 ;;
  esac
}

# qm_wine_loader ARCH: sets qm_loader to the Wine loader for programs of that architecture (32 or
# 64). Debian's wine wrapper always picks the 32-bit loader once it is installed, so the loaders
# are named directly. The 64-bit loader needs WINELOADER to start Wine's helper programs with
# itself; the 32-bit one finds its 64-bit twin on its own, as under Debian's wrapper. On a host
# that cannot run 32-bit programs, asking for the 32-bit loader fails here with the reason rather
# than with "Exec format error" from deep inside Wine.
qm_wine_loader() {
  case $1 in
    64)
      qm_loader=/usr/lib/wine/wine64
      export WINELOADER=$qm_loader
      ;;
    32)
      if ! qm_host_runs_32bit; then
        echo "wine: this host cannot run 32-bit programs ($qm_host_32bit_reason)" >&2
        return 126
      fi
      qm_loader=/usr/lib/wine/wine
      unset WINELOADER
      ;;
    *)
      echo "wine: unknown architecture '$1'" >&2
      return 2
      ;;
  esac
}

# qm_wine ARCH ARGS...: runs Wine with the loader of that architecture.
qm_wine() {
  qm_wine_loader "$1" || return
  shift
  "$qm_loader" "$@"
}
