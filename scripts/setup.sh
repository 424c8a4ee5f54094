#!/bin/sh
# Installs, with apt, whatever the build, the tests and the benchmarks need and is
# missing. Fast when everything is there: it asks dpkg first.
set -eu
PACKAGES="build-essential cmake ninja-build pkg-config clang libclang-rt-dev
  libpugixml-dev libpng-dev libfreetype-dev libharfbuzz-dev libicu-dev libfontconfig-dev
  googletest libgtest-dev libbenchmark-dev
  fonts-dejavu-core fonts-dejavu-extra fonts-freefont-ttf fonts-wqy-microhei
  libpango1.0-dev libcairo2-dev libsdl2-ttf-dev"
missing=""
for p in $PACKAGES; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed" || missing="$missing $p"
done
if [ -n "$missing" ]; then
  echo "setup: installing$missing"
  SUDO=""
  [ "$(id -u)" -eq 0 ] || SUDO=sudo
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -qq
  # shellcheck disable=SC2086
  $SUDO apt-get install -y -qq --no-install-recommends $missing
fi
