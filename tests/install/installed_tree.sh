#!/usr/bin/env bash
# Installs the build into a temporary prefix and checks what a lab's PC gets.
#   files: every file in place, desktop entry, metainfo and service unit valid,
#          one version everywhere, manual pages listing the options, commands
#          and exit codes of --help.
#   run:   the installed programs started from the prefix, with HOME and the
#          XDG folders in a temporary folder and a private bus: the program
#          counts the simulated device in its per-user home, writes nothing
#          into the prefix (even as root), and every program ends with the
#          exit codes its manual page gives.
# Usage: installed_tree.sh BUILD_DIR files|run
set -euo pipefail
build=$1
part=$2

work=$(mktemp -d)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do
    kill -KILL "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
  done
  rm -rf "$work"
}
trap cleanup EXIT
prefix=$work/prefix
id=org.cyclomarkator.Cyclomarkator
passed=0
failed=0

pass() { passed=$((passed + 1)); }
fail() {
  echo "FAIL: $*"
  failed=$((failed + 1))
}
# check DESCRIPTION COMMAND...: runs COMMAND, its output shown on failure.
check() {
  local what=$1 out
  shift
  if out=$("$@" 2>&1); then pass; else fail "$what"$'\n'"$out"; fi
}
same() { # same DESCRIPTION EXPECTED ACTUAL
  if [ "$2" = "$3" ]; then pass; else fail "$1"$'\n'"  expected: $2"$'\n'"  got:      $3"; fi
}

cmake --install "$build" --prefix "$prefix" >"$work/install.log"

# Option, command and exit code lists: of --help, and of a manual page's
# sections (the tags of .TP entries, with roff's \- as -).
help_options() { "$@" --help | sed -nE 's/^  (-[^ ].*)$/\1/p' | sed -E 's/  .*//' |
  grep -oE -- '--[a-z][a-z0-9-]*' | sort -u | xargs; }
help_commands() { "$@" --help | sed -n '/^Commands:/,/^$/p' |
  sed -nE 's/^  ([a-z][a-z-]*).*/\1/p' | sort -u | xargs; }
help_exit_codes() { "$@" --help | sed -n '/^Exit codes:/,/^$/p' | tr -s ' \n' ' ' |
  grep -oE '(^|[:;,] )[0-9]+ ' | grep -oE '[0-9]+' | sort -u | xargs; }
page_tags() { # page_tags PAGE SECTION
  zcat "$prefix/share/man/man1/$1.1.gz" | sed 's/\\-/-/g' |
    awk -v want="$2" '/^\.SH/ { inside = ($0 ~ "^\\.SH \"?" want); next }
      inside && tag { print; tag = 0 } inside && /^\.TP/ { tag = 1 }'
}
page_options() { page_tags "$1" OPTIONS | grep -oE -- '--[a-z][a-z0-9-]*' | sort -u | xargs; }
page_commands() { page_tags "$1" COMMANDS | awk '{ print $2 }' | sort -u | xargs; }
page_exit_codes() { page_tags "$1" "EXIT STATUS" | awk '{ print $2 }' | sort -u | xargs; }

files() {
  local expected=(
    bin/cyclomarkator bin/cyclomarkator-count bin/cyclomarkator-link bin/cyclomarkator-lab
    "share/applications/$id.desktop" "share/metainfo/$id.metainfo.xml"
    "share/icons/hicolor/scalable/apps/$id.svg"
    share/man/man1/cyclomarkator.1.gz share/man/man1/cyclomarkator-count.1.gz
    share/man/man1/cyclomarkator-link.1.gz share/man/man1/cyclomarkator-lab.1.gz
    share/doc/cyclomarkator/copyright share/doc/cyclomarkator/changelog.gz
    "lib/systemd/user/cyclomarkator@.service" lib/systemd/user/cyclomarkator-lab.service)
  for size in 16 22 24 32 48 64 128 256; do
    expected+=("share/icons/hicolor/${size}x${size}/apps/$id.png")
    check "the ${size} px icon is ${size}x${size}" \
      grep -q "PNG image data, $size x $size," <(file "$prefix/share/icons/hicolor/${size}x${size}/apps/$id.png")
  done
  for path in "${expected[@]}"; do check "$path is installed" test -s "$prefix/$path"; done
  check "no build-tree name is installed" test ! -e "$prefix/bin/Cyclomarkator"

  local desktop=$prefix/share/applications/$id.desktop
  local metainfo=$prefix/share/metainfo/$id.metainfo.xml
  if command -v desktop-file-validate >/dev/null; then
    check "desktop-file-validate" desktop-file-validate "$desktop"
  else
    echo "SKIP: desktop-file-validate is not installed (scripts/install-deps installs it)"
  fi
  if command -v appstreamcli >/dev/null; then
    check "appstreamcli validate" appstreamcli validate --no-net "$metainfo"
  else
    echo "SKIP: appstreamcli is not installed (scripts/install-deps installs it)"
  fi
  same "the desktop entry starts the installed program" "Exec=cyclomarkator" "$(grep '^Exec=' "$desktop")"
  same "the desktop entry's icon is the installed one" "Icon=$id" "$(grep '^Icon=' "$desktop")"
  check "the metainfo launches the desktop entry" \
    grep -q "<launchable type=\"desktop-id\">$id.desktop</launchable>" "$metainfo"

  local version
  version=$("$prefix/bin/cyclomarkator" --version | awk '{ print $2 }')
  same "the newest release in the metainfo is the program's version" "$version" \
    "$(grep -m1 -oP '<release version="\K[^"]+' "$metainfo")"
  same "the newest changelog entry is the program's version" "$version" \
    "$(zcat "$prefix/share/doc/cyclomarkator/changelog.gz" | head -1 | sed -E 's/.*\((.*)\).*/\1/')"

  local unit=$prefix/lib/systemd/user/cyclomarkator@.service
  check "the unit starts the installed program headless in the rig's own folders" \
    grep -qF "ExecStart=$prefix/bin/cyclomarkator --headless --config-dir %h/.local/share/cyclomarkator/rigs/%i --link-name %i" "$unit"
  if command -v systemd-analyze >/dev/null; then
    # An instance as systemd would load it; `man` finds the page it names in
    # the prefix. No systemd runs here, so the unit is verified, not started.
    mkdir -p "$work/units" "$work/runtime"
    cp "$unit" "$prefix/lib/systemd/user/cyclomarkator-lab.service" "$work/units/"
    local said man=--man=yes
    command -v man >/dev/null || man=--man=no
    said=$(cd "$work/units" && XDG_RUNTIME_DIR=$work/runtime MANPATH=$prefix/share/man \
      systemd-analyze verify --user "$man" "$work/units/cyclomarkator@rig1.service" \
        "$work/units/cyclomarkator-lab.service" 2>&1) ||
      said+=" (exit $?)"
    same "systemd-analyze verify of a rig's instance and the lab page's unit says nothing" "" "$said"
  else
    echo "SKIP: systemd-analyze is not installed"
  fi

  local program
  for program in cyclomarkator cyclomarkator-count cyclomarkator-link cyclomarkator-lab; do
    same "$program: --help and the manual page list the same options" \
      "$(help_options "$prefix/bin/$program")" "$(page_options "$program")"
    same "$program: --help and the manual page list the same exit codes" \
      "$(help_exit_codes "$prefix/bin/$program")" "$(page_exit_codes "$program")"
  done
  same "cyclomarkator-link: --help and the manual page list the same commands" \
    "$(help_commands "$prefix/bin/cyclomarkator-link")" "$(page_commands cyclomarkator-link)"
  same "exit codes are listed" "0 1 2 3" "$(page_exit_codes cyclomarkator)"
  check "the lab page's unit starts the installed program" \
    grep -qF "ExecStart=$prefix/bin/cyclomarkator-lab --broker \${BROKER} \$LAB_OPTIONS" \
    "$prefix/lib/systemd/user/cyclomarkator-lab.service"
}

# expect_exit CODE MESSAGE DESCRIPTION COMMAND...: COMMAND ends with CODE
# within 30 s and its standard error contains MESSAGE.
expect_exit() {
  local code=$1 message=$2 what=$3 status=0
  shift 3
  timeout 30 "$@" >"$work/out" 2>"$work/err" || status=$?
  if [ "$status" = "$code" ] && { [ -z "$message" ] || grep -qF -- "$message" "$work/err"; }; then
    pass
  else
    fail "$what: exit $status (expected $code), stderr: $(head -c 400 "$work/err")"
  fi
}

# Waits (at most 20 s) until FILE contains TEXT.
wait_for() {
  local i
  for i in $(seq 400); do
    grep -qF -- "$2" "$1" && return 0
    sleep 0.05
  done
  return 1
}

run() {
  local home=$work/home bin=$prefix/bin
  mkdir -p "$home/.local/share/cyclomarkator" "$work/tmp"
  export HOME=$home TMPDIR=$work/tmp
  unset XDG_DATA_HOME XDG_CONFIG_HOME XDG_RUNTIME_DIR
  printf '[HARDWARE]\nA/D-Converter=Dummy A/D\n' >"$home/.local/share/cyclomarkator/cyclomarkator.INI"
  local fast=(--test-clock-rate 100 --test-tick-ms 2)

  dbus-daemon --session --nofork --address="unix:path=$work/bus" 2>/dev/null &
  pids+=($!)
  export DBUS_SESSION_BUS_ADDRESS=unix:path=$work/bus
  local i
  for i in $(seq 200); do [ -S "$work/bus" ] && break; sleep 0.05; done

  find "$prefix" -printf '%p %s %m %T@\n' | sort >"$work/before"
  "$bin/cyclomarkator" --headless "${fast[@]}" >"$work/counting.out" 2>"$work/counting.err" &
  local counter=$!
  pids+=("$counter")
  if wait_for "$work/counting.out" "Count 3 "; then pass; else
    fail "the installed program counts the simulated device: $(tail -c 400 "$work/counting.out") $(cat "$work/counting.err")"
  fi
  expect_exit 1 "is already running! Another copy serves $home/.local/share/cyclomarkator" \
    "a second copy of the rig is refused" "$bin/cyclomarkator" --headless "${fast[@]}"
  expect_exit 0 "" "the link client finds the installed counter by its default name" \
    "$bin/cyclomarkator-link" get Label_AD_get_cyclomarkator
  check "the link client prints the count" grep -qE '^[0-9]+$' "$work/out"
  expect_exit 1 'has no control named "No_Such_Label"' "the counter refuses an unknown item" \
    "$bin/cyclomarkator-link" get No_Such_Label
  local status=0
  kill -TERM "$counter"
  wait "$counter" || status=$?
  same "SIGTERM ends the program with 0" 0 "$status"
  check "no lines on stderr while counting: $(head -c 300 "$work/counting.err")" test ! -s "$work/counting.err"
  local value
  value=$(sed -nE 's/^Value=([0-9]+).*/\1/p' "$home/.local/share/cyclomarkator/cyclomarkator.INI")
  check "the count is saved in the per-user home" test "${value:-0}" -ge 3
  find "$prefix" -printf '%p %s %m %T@\n' | sort >"$work/after"
  check "nothing in the prefix was written" diff "$work/before" "$work/after"

  expect_exit 3 "no counter" "the link client without a counter" \
    "$bin/cyclomarkator-link" get Label_AD_get_cyclomarkator
  expect_exit 2 'Unknown argument "--bogus"' "a bad argument" "$bin/cyclomarkator" --bogus
  expect_exit 2 "no display found" "no display without --headless" \
    env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$bin/cyclomarkator"
  mkdir -p "$work/broken/cyclomarkator.INI"
  expect_exit 3 "Cannot read the settings file $work/broken/cyclomarkator.INI" \
    "a settings file that is not a file" "$bin/cyclomarkator" --headless --config-dir "$work/broken"
  expect_exit 2 "unknown option" "the link client's bad option" "$bin/cyclomarkator-link" --bogus get X
  printf '0\n1\n-1\n1\n-1\n0\n' >"$work/load.txt"
  : >"$work/empty.txt"
  expect_exit 0 "" "the offline counter counts a history" \
    "$bin/cyclomarkator-count" --threshold 0.5 --hysteresis 0.2 "$work/load.txt"
  check "the offline counter's summary" grep -q "^summary  samples=6 " "$work/out"
  expect_exit 1 "no samples" "the offline counter with an empty history" \
    "$bin/cyclomarkator-count" "$work/empty.txt"
  expect_exit 2 "--bogus" "the offline counter's bad option" "$bin/cyclomarkator-count" --bogus 1 "$work/load.txt"
  # A full disk plays a 4 KiB tmpfs in a mount namespace of its own; the
  # picture (some 60 KiB) cannot be written whole.
  mkdir "$work/full"
  if unshare -m true 2>/dev/null; then
    expect_exit 3 "cannot write the picture $work/full/x.png: No space left on device" \
      "the offline counter on a full disk" \
      env LC_ALL=C unshare -m sh -c 'mount -t tmpfs -o size=4k tmpfs "$1" && shift && exec "$@"' sh "$work/full" \
      "$bin/cyclomarkator-count" --plot "$work/full/x.png" "$work/load.txt"
  else
    echo "SKIP: the offline counter on a full disk needs root and unshare -m"
  fi
  check "the installed program wrote nowhere but its home and TMPDIR" \
    test "$(find "$home" -mindepth 1 -maxdepth 1 -printf '%f\n' | sort | xargs)" = ".config .local"
}

case $part in
  files) files ;;
  run) run ;;
  *) echo "usage: $0 BUILD_DIR files|run" >&2; exit 2 ;;
esac
echo "$part: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
