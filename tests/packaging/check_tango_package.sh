#!/usr/bin/env bash
# Checks the Debian package of the Tango device server: its name, its files, that it needs
# libtango but nothing graphical, and lintian's verdict (no errors; warnings are printed).
#
# check_tango_package.sh PACKAGE.deb
set -euo pipefail
deb=$1
fail() {
    echo "FAIL: $*" >&2
    exit 1
}

[[ $(basename "$deb") =~ ^tarvio2-tango_[0-9][^_]*_amd64\.deb$ ]] || fail "package name: $deb"

files=$(dpkg-deb -c "$deb" | awk '{print $6}')
for file in ./usr/bin/tarvio2-tango ./usr/share/man/man1/tarvio2-tango.1.gz \
    ./usr/share/doc/tarvio2-tango/README.md ./usr/share/doc/tarvio2-tango/copyright \
    ./usr/share/doc/tarvio2-tango/changelog.gz; do
    grep -qxF "$file" <<<"$files" || fail "$file is not in the package"
done
! grep -qE '^\./usr/bin/tarvio2(-cli)?$' <<<"$files" || fail "the window's programs are in it"
outside=$(grep -vE '^\./(usr(/.*)?)?$' <<<"$files" || true)
[[ -z $outside ]] || fail "files outside /usr: $outside"

depends=$(dpkg-deb -f "$deb" Depends)
grep -qE '(^|, )libtango9( |,|$)' <<<"$depends" || fail "libtango9 missing from Depends: $depends"
! grep -qE 'qt6' <<<"$depends" || fail "a headless server depends on Qt: $depends"

lintian --fail-on error "$deb" || fail "lintian reports errors"
echo "package: $deb"
