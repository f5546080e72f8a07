#!/usr/bin/env bash
# Checks a built Debian package: its name, the files it installs, its dependencies, its
# post-install step and lintian's verdict (no errors; warnings are printed).
#
# check_package.sh PACKAGE.deb [APP_ID]
set -euo pipefail
deb=$1 app_id=${2:-org.tarvio.Tarvio2}
fail() {
    echo "FAIL: $*" >&2
    exit 1
}

[[ $(basename "$deb") =~ ^tarvio2_[0-9][^_]*_amd64\.deb$ ]] || fail "package name: $deb"

files=$(dpkg-deb -c "$deb" | awk '{print $6}')
expected=(
    ./usr/bin/tarvio2
    ./usr/bin/tarvio2-cli
    ./usr/share/applications/$app_id.desktop
    ./usr/share/metainfo/$app_id.metainfo.xml
    ./usr/share/icons/hicolor/scalable/apps/$app_id.svg
    ./usr/share/icons/hicolor/48x48/apps/$app_id.png
    ./usr/share/doc/tarvio2/README.md
    ./usr/share/doc/tarvio2/copyright
    ./usr/share/doc/tarvio2/changelog.gz
    ./usr/share/man/man1/tarvio2.1.gz
    ./usr/share/man/man1/tarvio2-cli.1.gz
)
for file in "${expected[@]}"; do
    grep -qxF "$file" <<<"$files" || fail "$file is not in the package"
done
grep -qE '^\./usr/lib/udev/rules\.d/[0-9]+-tarvio2[^/]*\.rules$' <<<"$files" ||
    fail "the udev rule is not in the package"
outside=$(grep -vE '^\./(usr(/.*)?)?$' <<<"$files" || true)
[[ -z $outside ]] || fail "files outside /usr: $outside"

depends=$(dpkg-deb -f "$deb" Depends)
for package in libqt6widgets6 libqt6gui6 libqt6core6 libftdi1-2 qt6-qpa-plugins libc6; do
    grep -qE "(^|, )$package( |,|$)" <<<"$depends" || fail "$package missing from Depends: $depends"
done
dpkg-deb -I "$deb" postinst | grep -q 'udevadm control --reload-rules' ||
    fail "the post-install step does not reload the udev rules"

lintian --fail-on error "$deb" || fail "lintian reports errors"
echo "package: $deb"
