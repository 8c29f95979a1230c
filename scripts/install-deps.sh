#!/usr/bin/env bash
# Installs every Debian package that building, running and testing Kalvendo needs.
# Idempotent: packages already present are skipped.
set -euo pipefail

PACKAGES=(
  # build
  build-essential cmake ninja-build ccache pkg-config clang-format
  # Qt 6 Widgets, Gui, PrintSupport, Test
  qt6-base-dev qt6-base-dev-tools libgl-dev
  # storage, collation, files
  libsqlite3-dev sqlite3 libicu-dev libgcab-dev libzip-dev libqpdf-dev
  # CAPI 2.0 driver library (loaded at run time)
  libcapi20-3
  # caller identification: number matching; a private session bus for the notice test
  libphonenumber-dev dbus
  # running offscreen / under X for screenshots
  xvfb xauth libxkbcommon-x11-0 fonts-dejavu-core
  # fuzzing and sanitizers
  clang libclang-rt-14-dev
  # independent readers used by tests
  cabextract gcab poppler-utils qpdf python3 desktop-file-utils appstream python3-vobject
  # optional reader: the letter tests convert letters with LibreOffice and skip
  # without it; the Liberation fonts give the templates their Arial metrics
  libreoffice-writer-nogui fonts-liberation2
  # LibreOffice reads the exported workbooks back (the tests skip without it)
  libreoffice-calc-nogui
)

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  echo "install-deps: all packages present"
  exit 0
fi

SUDO=""
if [ "$(id -u)" -ne 0 ]; then
  SUDO="sudo"
fi

echo "install-deps: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
