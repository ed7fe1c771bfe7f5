#!/usr/bin/env bash
# Builds the Debian package from a finished build folder and checks it as an installing machine
# sees it: the package declares its dependencies; lintian finds no error or warning in it; the
# desktop entry, the AppStream metainfo and the manual pages it carries pass their validators;
# and the programs unpacked from it run -
# corvanta-db on the unpacked sample, and the installed-tree tests over the unpacked usr/
# (the program's start-up beside the unpacked program, through links, and the program itself
# offscreen). Usage: scripts/check_package.sh [BUILD_FOLDER]
set -euo pipefail
cd "$(dirname "$0")/.."
build="$(realpath "${1:-build}")"
scratch="$build/package-check"
root="$scratch/root"

fail() {
    echo "package check: $*" >&2
    exit 1
}

rm -rf "$scratch" "$build"/corvanta_*.deb
mkdir -p "$scratch"
(cd "$build" && cpack -G DEB > "$scratch/cpack.log" 2>&1) || { cat "$scratch/cpack.log"; fail "cpack failed"; }
package="$(echo "$build"/corvanta_*.deb)"
[ -f "$package" ] || fail "cpack made no corvanta_*.deb"

depends="$(dpkg-deb --field "$package" Depends)"
for needed in libqt6widgets6 qt6-qpa-plugins libssl fonts-liberation; do
    case "$depends" in
        *"$needed"*) ;;
        *) fail "the package does not depend on $needed (Depends: $depends)" ;;
    esac
done

# Errors and warnings fail the check; lintian's informational tags do not.
lintian --fail-on error,warning "$package" \
    > "$scratch/lintian.log" 2>&1 || { cat "$scratch/lintian.log"; fail "lintian objects"; }

dpkg-deb -x "$package" "$root"
desktop-file-validate "$root/usr/share/applications/corvanta.desktop"
# The metainfo, and with it the desktop entry and icon it refers to.
appstreamcli validate-tree --no-net "$root" > "$scratch/appstream.log" 2>&1 ||
    { cat "$scratch/appstream.log"; fail "the metainfo does not validate"; }
for page in corvanta corvanta-db; do
    warnings="$(zcat "$root/usr/share/man/man1/$page.1.gz" |
        LC_ALL=C.UTF-8 groff -ww -b -z -man -Tutf8 2>&1)"
    [ -z "$warnings" ] || fail "the manual page of $page has warnings: $warnings"
done

"$root/usr/bin/corvanta-db" --help > /dev/null
tables="$("$root/usr/bin/corvanta-db" tables "$root/usr/lib/corvanta/Samples/sample.mdb")"
grep -q "^TABLE" <<< "$tables" || fail "corvanta-db lists no table of the unpacked sample"
CORVANTA_INSTALLED_TREE="$root/usr" "$build/install_tests" --gtest_brief=1 ||
    fail "the unpacked tree fails the installed-tree tests"
echo "package check: $(basename "$package") is sound"
