#!/usr/bin/env bash
# package_test.sh BUILD_DIR VERSION MAN_PAGES(ON|OFF)
# Builds the Debian package and checks what it holds and what it depends on.
set -u
build=$1 version=$2 man=$3
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
status=0
fail() { echo "FAIL: $*"; status=1; }

if ! cpack -G DEB --config "$build/CPackConfig.cmake" -B "$tmp" >"$tmp/cpack.log" 2>&1; then
  cat "$tmp/cpack.log"
  echo "FAIL: cpack"
  exit 1
fi
deb=$tmp/zarn_${version}_$(dpkg --print-architecture).deb
[ -f "$deb" ] || { ls "$tmp"; echo "FAIL: $deb not built"; exit 1; }

dpkg-deb -c "$deb" | awk '{print $6 ($7 ? " " $7 " " $8 : "")}' >"$tmp/contents"
expect=(./usr/lib/zarn/zarn "./usr/bin/zarn -> ../lib/zarn/zarn" ./usr/bin/zfconv ./usr/bin/zarn-hlslc
        ./usr/share/doc/zarn/examples/object/example.x)
for folder in shaders shadersPP shadersPP2 shadersSURF shadersSURF2 shadersHV textures; do
  expect+=("./usr/lib/zarn/$folder/")
done
if [ "$man" = ON ]; then
  expect+=(./usr/share/man/man1/zarn.1.gz ./usr/share/man/man1/zfconv.1.gz ./usr/share/man/man1/zarn-hlslc.1.gz)
fi
for entry in "${expect[@]}"; do
  grep -qxF "$entry" "$tmp/contents" || fail "the package lacks $entry"
done

depends=$(dpkg-deb -f "$deb" Depends)
# The package names Depends lists, one a line, without versions.
echo "$depends" | tr ',|' '\n\n' | sed 's/(.*//; s/ //g' | grep -v '^$' >"$tmp/depends"
has() { grep -qxF "$1" "$tmp/depends"; }
for package in libirrlicht1.8 libmpg123-0; do
  has "$package" || fail "Depends lacks $package: $depends"
done

# Every library a packaged program needs comes from a package Depends names
# (dpkg-shlibdeps computed them). Lua joins the list once the script layer
# links it.
mkdir "$tmp/root"
dpkg-deb -x "$deb" "$tmp/root"
for program in "$tmp/root/usr/lib/zarn/zarn" "$tmp/root/usr/bin/zfconv" "$tmp/root/usr/bin/zarn-hlslc"; do
  for library in $(objdump -p "$program" | awk '/NEEDED/ {print $2}'); do
    path=$(ldconfig -p | awk -v l="$library" '$1 == l && /x86-64/ {print $NF; exit}')
    [ -n "$path" ] || continue
    owner=$(dpkg -S "$path" 2>/dev/null | head -n1 | cut -d: -f1)
    [ -n "$owner" ] || owner=$(dpkg -S "$(readlink -f "$path")" 2>/dev/null | head -n1 | cut -d: -f1)
    [ -n "$owner" ] || { fail "no package owns $library"; continue; }
    has "$owner" || fail "$(basename "$program") needs $library from $owner, which Depends lacks"
  done
done
if objdump -p "$tmp/root/usr/lib/zarn/zarn" | grep -q "NEEDED.*liblua"; then
  has liblua5.3-0 || fail "Depends lacks liblua5.3-0"
fi
[ $status -eq 0 ] || echo "Depends: $depends"
exit $status
