#!/usr/bin/env bash
# Installs the Debian packages the project needs (only those missing), then
# configures build/ (Ninja, RelWithDebInfo unless BUILD_TYPE says otherwise).
# It builds nothing: each caller builds the targets it needs, e.g.
#   cmake --build build --target orrindel orrindel-sim   (scripts/demo.sh)
#   cmake --build build                                   (scripts/test.sh: everything)
# Extra arguments go to the cmake configure command. Safe to run again.
#   usage: scripts/setup.sh [CMAKE_ARGUMENT...]
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(
  build-essential cmake ninja-build pkg-config
  qtbase5-dev qtdeclarative5-dev libqt5serialport5-dev libqt5charts5-dev
  qtquickcontrols2-5-dev qttools5-dev qttools5-dev-tools
  qml-module-qtquick2 qml-module-qtquick-controls2 qml-module-qtquick-templates2
  qml-module-qtquick-layouts qml-module-qtquick-window2
  qml-module-qtgraphicaleffects qml-module-qt-labs-platform qml-module-qtcharts
  qml-module-qttest
  xvfb xauth xdotool imagemagick libgl1-mesa-dri
  libbenchmark-dev libboost-dev clang-14 libclang-rt-14-dev
  fonts-wqy-microhei python3-fonttools
  libpaho-mqtt-dev mosquitto mosquitto-clients python3-paho-mqtt openssl
  at-spi2-core python3-pyatspi dbus dbus-x11 python3-markdown libqt5sql5-sqlite libqt5svg5 desktop-file-utils
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  SUDO=""
  [ "$(id -u)" -eq 0 ] || SUDO="sudo"
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -qq
  $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

BUILD_TYPE=${BUILD_TYPE:-RelWithDebInfo}
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE="$BUILD_TYPE" "$@"
