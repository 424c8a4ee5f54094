#!/bin/sh
# Sets up, builds and runs the main job on the bundled sample.
set -eu
cd "$(dirname "$0")/.."
sh scripts/setup.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j2 --target zivoda
./build/tools/zivoda/zivoda fmt examples/sample.xml
