#!/usr/bin/env bash
# Installs the build into a scratch prefix and checks the desktop integration
# there: menu entry, AppStream data and icons, validated by the freedesktop
# tools when they are present.
set -euo pipefail
build_dir=$1
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build_dir" --prefix "$prefix" >/dev/null

desktop=$prefix/share/applications/de.ktw.kalvendo.desktop
metainfo=$prefix/share/metainfo/de.ktw.kalvendo.metainfo.xml
for f in "$desktop" "$metainfo" \
         "$prefix/share/icons/hicolor/64x64/apps/de.ktw.kalvendo.png" \
         "$prefix/share/icons/hicolor/256x256/apps/de.ktw.kalvendo.png" \
         "$prefix/bin/kalvendo"; do
  [ -s "$f" ] || { echo "not installed: ${f#"$prefix"/}"; exit 1; }
done
grep -q '^Exec=kalvendo$' "$desktop" || { echo "Exec line does not start the installed program"; exit 1; }

skipped=0
if command -v desktop-file-validate >/dev/null; then
  desktop-file-validate "$desktop"
else
  echo "SKIP: desktop-file-validate not installed (desktop-file-utils)"; skipped=1
fi
if command -v appstreamcli >/dev/null; then
  appstreamcli validate --no-net --pedantic "$metainfo"
else
  echo "SKIP: appstreamcli not installed (appstream)"; skipped=1
fi
[ $skipped -eq 0 ] || exit 77
