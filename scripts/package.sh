#!/usr/bin/env bash
# Builds the Debian package of the tool (with the probe simulator) into
# build-package/. With --check it also validates the desktop entry and the
# AppStream file, checks the package's contents and dependencies, installs it
# with apt, starts both programs and removes it again.
# Usage: scripts/package.sh [--check]
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup-debian.sh --package
cmake -S . -B build-package -G Ninja -DCMAKE_BUILD_TYPE=Release -DKALMET_BUILD_TESTS=OFF >/dev/null
cmake --build build-package
(cd build-package && cpack -G DEB >/dev/null)
deb=$(ls build-package/kalmet-configuration-tool_*.deb)
echo "Package: $deb"
[[ "${1:-}" == "--check" ]] || exit 0

fail() { echo "package check failed: $*" >&2; exit 1; }
desktop-file-validate packaging/org.kalmet.ConfigurationTool.desktop
appstreamcli validate --no-net --explain packaging/org.kalmet.ConfigurationTool.metainfo.xml

contents=$(dpkg-deb -c "$deb")
for f in ./usr/bin/kalmet-configuration-tool ./usr/bin/kalmet-probe-sim ./usr/bin/kalmet-cli \
         ./usr/share/man/man1/kalmet-cli.1.gz \
         ./usr/share/applications/org.kalmet.ConfigurationTool.desktop \
         ./usr/share/metainfo/org.kalmet.ConfigurationTool.metainfo.xml \
         ./usr/share/icons/hicolor/32x32/apps/org.kalmet.ConfigurationTool.png \
         ./usr/share/icons/hicolor/scalable/apps/org.kalmet.ConfigurationTool.svg \
         ./usr/share/man/man1/kalmet-probe-sim.1.gz; do
  grep -q " $f\$" <<<"$contents" || fail "$f is not in the package"
done
depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
for d in libqt6core6 libqt6gui6 libqt6widgets6 qt6-qpa-plugins fonts-liberation2; do
  grep -q "$d" <<<"$depends" || fail "no dependency on $d"
done

if [[ $(id -u) -ne 0 ]]; then
  echo "Not root: the package was not installed for a try." >&2
  exit 0
fi
apt-get install -y -qq "./$deb" >/dev/null
kalmet-probe-sim --version
kalmet-cli --version
man -w kalmet-probe-sim >/dev/null 2>&1 || [[ -f /usr/share/man/man1/kalmet-probe-sim.1.gz ]] || fail "no manual page"
rc=0
QT_QPA_PLATFORM=offscreen timeout 3 kalmet-configuration-tool >/dev/null 2>&1 || rc=$?
[[ $rc -eq 124 ]] || fail "the tool did not keep running (exit $rc)"
apt-get remove -y -qq --purge kalmet-configuration-tool >/dev/null
[[ ! -e /usr/bin/kalmet-configuration-tool && ! -e /usr/share/applications/org.kalmet.ConfigurationTool.desktop ]] ||
  fail "files left after removal"
echo "The package installs, runs and goes away cleanly."
