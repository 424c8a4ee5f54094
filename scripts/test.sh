#!/bin/sh
# Sets up, builds and runs every test (unit tests, hygiene checks, fuzz corpora).
# With ZIVODA_SANITIZE=1 it builds into build-asan with ASan and UBSan instead.
set -eu
cd "$(dirname "$0")/.."
sh scripts/setup.sh
dir=build; extra=""
if [ "${ZIVODA_SANITIZE:-0}" = 1 ]; then
  dir=build-asan; extra="-DZIVODA_SANITIZE=ON -DZIVODA_BENCH=OFF"
fi
# shellcheck disable=SC2086
cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo $extra >/dev/null
cmake --build "$dir" -j2
ctest --test-dir "$dir" -j2 --output-on-failure
