#!/usr/bin/env bash
# check_cli.sh NAME PROGRAM VERSION [tool]
# What a user of a Debian command line expects of every program: --help and -h
# print the usage on standard output and exit 0; --version names the program,
# its version and the libraries; a tool given wrong arguments prints its usage
# on standard error and fails; the player without a file and without a display
# says to try --help and fails.
set -u
name=$1 program=$2 version=$3 kind=${4:-player}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
status=0
fail() { echo "FAIL: $name $*"; status=1; }

run() {  # run ARGS...: fills $work/out, $work/err and $rc
  "$program" "$@" >"$work/out" 2>"$work/err"
  rc=$?
}

for option in --help -h; do
  run "$option"
  [ "$rc" -eq 0 ] || fail "$option exited $rc"
  head -n1 "$work/out" | grep -q "^Usage: $name " || fail "$option: first line is not 'Usage: $name ...'"
  [ -s "$work/err" ] && fail "$option wrote to standard error: $(cat "$work/err")"
done

run --version
[ "$rc" -eq 0 ] || fail "--version exited $rc"
head -n1 "$work/out" | grep -Eq "^$name $version( |$)" || fail "--version: first line is '$(head -n1 "$work/out")'"
grep -Eq "^Built with Irrlicht [0-9]+\.[0-9]+\.[0-9]+, Lua [0-9]+\.[0-9]+\.[0-9]+, glslang [0-9]+\.[0-9]+\.[0-9]+$" "$work/out" ||
  fail "--version does not name the library versions"

if [ "$kind" = tool ]; then
  run --no-such-option
  [ "$rc" -ne 0 ] || fail "wrong arguments exited 0"
  grep -q "^Usage: $name " "$work/err" || fail "wrong arguments: no usage on standard error"
  [ -s "$work/out" ] && fail "wrong arguments wrote to standard output"
else
  # No file and no way to choose one: a display-less session and the
  # non-interactive switch.
  for environment in "ZARN_NONINTERACTIVE=1" "-u DISPLAY -u ZARN_NONINTERACTIVE"; do
    # shellcheck disable=SC2086
    env $environment "$program" >"$work/out" 2>"$work/err"
    rc=$?
    [ "$rc" -ne 0 ] || fail "without a file ($environment) exited 0"
    [ "$(wc -l <"$work/err")" -eq 1 ] && grep -q -- "--help" "$work/err" ||
      fail "without a file ($environment): no one-line hint, got '$(cat "$work/err")'"
  done
  # The engine's own options keep their meaning: -help is not --help.
  env ZARN_NONINTERACTIVE=1 "$program" -help >"$work/out" 2>"$work/err"
  [ -s "$work/out" ] && fail "-help printed the usage"
fi
exit $status
