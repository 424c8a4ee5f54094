#!/bin/sh
# Sets up, builds and runs the main job: renders the bundled poster
# (examples/poster.xml) with the default fonts to build/poster.png.
set -eu
cd "$(dirname "$0")/.."
sh scripts/setup.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j2 --target zivoda
./build/tools/zivoda/zivoda render examples/poster.xml -o build/poster.png
echo "main: wrote build/poster.png"
