#!/usr/bin/env bash
# Builds Kestrova and starts the viewer. Without a display it says so and prints
# what the window would show of a bundled sample instead.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$(nproc)"

if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  exec build/shell/qt/kestrova
fi
echo "No display is available, so the window cannot open here."
echo "This is what kestrova-dump prints of samples/sample.mp4 (open, then a click on node 1):"
echo
exec build/tools/kestrova-dump --click 1 samples/sample.mp4
