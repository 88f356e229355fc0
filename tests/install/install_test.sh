#!/usr/bin/env bash
# install_test.sh BUILD_DIR VERSION MAN_PAGES(ON|OFF)
# Installs into a temporary prefix and runs the installed programs from
# another directory, through the bin/ link, on the NULL driver.
set -u
build=$1 version=$2 man=$3
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
status=0
fail() { echo "FAIL: $*"; status=1; }

prefix=$tmp/prefix
if ! cmake --install "$build" --prefix "$prefix" >"$tmp/install.log" 2>&1; then
  cat "$tmp/install.log"
  echo "FAIL: cmake --install"
  exit 1
fi

[ "$(readlink "$prefix/bin/zarn")" = ../lib/zarn/zarn ] || fail "bin/zarn is not a link to ../lib/zarn/zarn"
[ -x "$prefix/lib/zarn/zarn" ] || fail "lib/zarn/zarn missing"
for folder in shaders shadersPP shadersPP2 shadersSURF shadersSURF2 shadersHV textures; do
  [ -d "$prefix/lib/zarn/$folder" ] || fail "standard folder lib/zarn/$folder missing"
done
for tool in zfconv zarn-hlslc; do
  [ -x "$prefix/bin/$tool" ] || fail "bin/$tool missing"
done
example=$prefix/share/doc/zarn/examples/object/example.x
[ -f "$example" ] || fail "example object missing"
if [ "$man" = ON ]; then
  for page in zarn zfconv zarn-hlslc; do
    file=$prefix/share/man/man1/$page.1.gz
    if [ ! -f "$file" ]; then
      fail "man page $page.1.gz missing"
    else
      zcat "$file" | grep -qi "^\.TH \"*$page" || fail "$page.1.gz is not a man page of $page"
    fi
  done
fi

mkdir "$tmp/elsewhere"
cd "$tmp/elsewhere" || exit 1
out=$(PATH="$prefix/bin:$PATH" zarn --version 2>&1)
[ "${out%%$'\n'*}" = "zarn $version" ] || [[ "${out%%$'\n'*}" == "zarn $version ("* ]] ||
  fail "installed zarn --version printed '$out'"

run_viewer() {  # run_viewer SECONDS: the installed program on the example; its exit code
  ZARN_DRIVER=null ZARN_NONINTERACTIVE=1 timeout -s TERM "$1" "$prefix/bin/zarn" "$example" >"$tmp/viewer.log" 2>&1
}
run_viewer 3
rc=$?
# 124: still turning the object when the time ran out, as it should be.
[ "$rc" -eq 124 ] || { cat "$tmp/viewer.log"; fail "installed object viewer ended with $rc"; }
grep -q "ERROR" "$tmp/viewer.log" && { cat "$tmp/viewer.log"; fail "installed object viewer reported an error"; }

# The program directory is that of the real file, not of the bin/ link: a
# side archive beside lib/zarn/zarn turns the program into a packaged
# production, which reads its setup from the archive, finds nothing to play
# and ends with 0 instead of opening the object.
mkdir "$tmp/archive"
printf '[Setup]\ndisplay = 64 48 32\nwindowed = 1\n' >"$tmp/archive/zarn-setup.ini"
(cd "$tmp/archive" && cmake -E tar cf "$prefix/lib/zarn/zarn.dat" --format=zip zarn-setup.ini) || fail "cannot write zarn.dat"
run_viewer 60
rc=$?
[ "$rc" -eq 0 ] && grep -q "setup filesystem irrzip" "$tmp/viewer.log" ||
  { cat "$tmp/viewer.log"; fail "the side archive beside the real program was not used (exit $rc)"; }
exit $status
