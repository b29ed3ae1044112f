#!/usr/bin/env bash
# Builds the Debian packages (debhelper: the tool with its terminal program
# and probe simulator, and its debug symbols) into build-package/. With
# --check it also runs lintian (any error or warning fails), validates the
# desktop entry and the AppStream file, checks the package's contents and
# dependencies, installs it with apt, starts the programs, removes it with
# --purge and checks that nothing is left.
# Usage: scripts/package.sh [--check]
set -euo pipefail
cd "$(dirname "$0")/.."
fail() { echo "package check failed: $*" >&2; exit 1; }

scripts/setup-debian.sh --package

# One version: the project's, which the changelog must carry.
version=$(sed -n 's/^project(KALMET_Configuration_Tool VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
[[ "$(dpkg-parsechangelog -S Version)" == "$version" ]] ||
  fail "debian/changelog does not start with version $version (the one in CMakeLists.txt)"
# The AppStream release notes are the release's: dated as the changelog.
released=$(date -u -d "$(dpkg-parsechangelog -S Date)" +%F)
grep -q "<release version=\"@PROJECT_VERSION@\" date=\"$released\">" \
  packaging/org.kalmet.configurationtool.metainfo.xml.in ||
  fail "the AppStream release notes are not dated $released, as the changelog"

# dpkg-buildpackage writes the packages beside the source tree: build a copy.
source scripts/build-dir.sh
out=$(build_dir build-package)
rm -rf "$out"
mkdir -p "$out"/src
if git rev-parse --git-dir >/dev/null 2>&1; then
  git ls-files -z --cached --others --exclude-standard | xargs -0 cp --parents -t "$out"/src 2>/dev/null ||
    fail "cannot copy the checkout (a tracked file is missing?)"
else
  tar --exclude='./build*' --exclude=./.git -cf - . | tar -xf - -C "$out"/src
fi
(cd "$out"/src && dpkg-buildpackage -b -us -uc >../build.log 2>&1) ||
  { tail -40 "$out"/build.log; fail "dpkg-buildpackage failed ($out/build.log)"; }
deb=$(ls "$out"/kalmet-configuration-tool_"$version"_*.deb)
changes=$(ls "$out"/kalmet-configuration-tool_"$version"_*.changes)
echo "Package: $deb"
[[ "${1:-}" == "--check" ]] || exit 0

lintian --pedantic --fail-on error,warning --display-info "$changes"
desktop-file-validate packaging/org.kalmet.configurationtool.desktop
metainfo=$(mktemp -d)
dpkg-deb -x "$deb" "$metainfo"
appstreamcli validate --pedantic --no-net \
  "$metainfo/usr/share/metainfo/org.kalmet.configurationtool.metainfo.xml"

contents=$(dpkg-deb -c "$deb")
for f in ./usr/bin/kalmet-configuration-tool ./usr/bin/kalmet-probe-sim ./usr/bin/kalmet-cli \
         ./usr/share/man/man1/kalmet-configuration-tool.1.gz \
         ./usr/share/man/man1/kalmet-cli.1.gz ./usr/share/man/man1/kalmet-probe-sim.1.gz \
         ./usr/share/applications/org.kalmet.configurationtool.desktop \
         ./usr/share/metainfo/org.kalmet.configurationtool.metainfo.xml \
         ./usr/share/icons/hicolor/32x32/apps/org.kalmet.configurationtool.png \
         ./usr/share/icons/hicolor/scalable/apps/org.kalmet.configurationtool.svg \
         ./usr/share/doc/kalmet-configuration-tool/copyright; do
  grep -q " $f\$" <<<"$contents" || fail "$f is not in the package"
done
ls "$out"/kalmet-configuration-tool-dbgsym_"$version"_*.deb >/dev/null ||
  fail "no package with the debug symbols"
depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
for d in libqt6core6 libqt6gui6 libqt6widgets6 fonts-liberation2; do
  grep -q "$d" <<<"$depends" || fail "no dependency on $d"
done
grep -q qt6-qpa-plugins <<<"$depends" && fail "depends on qt6-qpa-plugins, which it does not load"

if [[ $(id -u) -ne 0 ]]; then
  echo "Not root: the package was not installed for a try." >&2
  exit 0
fi
apt-get install -y -qq "./$deb" >/dev/null
installed=$(dpkg -L kalmet-configuration-tool)
kalmet-probe-sim --version
kalmet-cli --version
rc=0
QT_QPA_PLATFORM=offscreen timeout 3 kalmet-configuration-tool >/dev/null 2>&1 || rc=$?
[[ $rc -eq 124 ]] || fail "the tool did not keep running (exit $rc)"
apt-get remove -y -qq --purge kalmet-configuration-tool >/dev/null
while read -r f; do
  [[ -f "$f" || -L "$f" ]] && fail "$f is left after removal"
done <<<"$installed"
echo "The package installs, runs and goes away cleanly."
