#!/usr/bin/env bash
# Runs inside a brand-new Debian (scripts/check-package --fresh), as root, in
# a folder that holds the package and the checksums of the frames that the
# build tree's recorder draws. Installs the package with apt-get, as a user
# would, and checks what it gives: the same frames byte for byte, the
# measuring program's report, the manual page, and a removal that leaves
# none of its files.
#
#   fresh_install.sh PACKAGE.deb REFERENCE.sha256
set -euo pipefail
deb="$1"
reference="$2"
fail() {
    echo "fresh Debian: $*" >&2
    exit 1
}
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq >/dev/null || fail "apt-get update failed"
# man-db, which a minimal Debian lacks, shows the manual page.
apt-get install -y -qq man-db >man-db.log 2>&1 || {
    cat man-db.log >&2
    fail "apt-get could not install man-db"
}
apt-get install -y -qq "./$deb" >apt.log 2>&1 || {
    cat apt.log >&2
    fail "apt-get install ./$deb failed"
}
echo "installed: $(dpkg-query -W -f='${Package} ${Version}' patchview)," \
    "with $(grep -c '^Setting up' apt.log) packages set up in all"

mkdir D
printf 1 | patchview-record --frames 36 --png-frames --out D >record.log 2>&1 || {
    cat record.log >&2
    fail "the installed recorder failed"
}
(cd D && sha256sum -- *) >installed.sha256
diff -u "$reference" installed.sha256 >&2 ||
    fail "the installed recorder's files differ from the build tree's"
echo "recorder: $(wc -l <installed.sha256) files identical to the build tree's ($(grep -m1 '^drawing' record.log))"

patchview-measure >report.txt 2>&1 || {
    cat report.txt >&2
    fail "the installed measuring program failed"
}
[ "$(grep -c '^Ferguson patches\|^Cubic strips' report.txt)" -eq 3 ] ||
    fail "the installed measuring program printed no three blocks: $(cat report.txt)"
echo "measure: $(grep -m1 'root mean square' report.txt | tr -s ' ')"

page="$(MANWIDTH=80 man patchview-record 2>&1)" || fail "man patchview-record failed: $page"
# The NAME line, whatever man's line breaks and dashes.
tr -s ' \n' '  ' <<<"$page" | grep -q 'record the patchview animation offscreen into GIF and PNG files' ||
    fail "man patchview-record shows no page: $page"
echo "man: patchview-record(1), $(wc -l <<<"$page") lines"

[ "$(patchview-record --version)" = "patchview-record $(dpkg-query -W -f='${Version}' patchview)" ] ||
    fail "patchview-record --version says: $(patchview-record --version)"

dpkg -L patchview >files.txt
dpkg -r patchview >/dev/null 2>&1 || fail "dpkg -r patchview failed"
left="$(while read -r path; do
    # Folders that other packages share stay; every file goes.
    if [ -e "$path" ] && { [ ! -d "$path" ] || [ "$path" = /usr/share/doc/patchview ]; }; then
        echo "$path"
    fi
done <files.txt)"
[ -z "$left" ] || fail "dpkg -r patchview left: $left"
echo "removed: none of its $(grep -c . files.txt) paths is left but shared folders"
