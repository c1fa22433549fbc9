#!/usr/bin/env bash
# The demo: installs what the build needs, builds the optimised native
# programs and renders frames of the built-in demo tune as PNG images.
# FRAMES=120 scripts/demo.sh renders more (or fewer) frames.
set -euo pipefail
cd "$(dirname "$0")/.."

frames=${FRAMES:-60}
frames_dir=out/frames

step() { printf '\n== %s\n' "$*"; }

step "Installing what the build needs"
scripts/install-deps.sh

step "Building (preset native-release)"
cmake --preset native-release >/dev/null
cmake --build --preset native-release

step "Rendering $frames frames of the demo tune"
mkdir -p "$frames_dir"
rm -f "$frames_dir"/frame_*.png "$frames_dir"/frame_*.raw
build/native-release/render_frames "$frames" "$frames_dir"
echo "The frames are in $PWD/$frames_dir: frame_0001.png .. frame_$(printf %04d "$frames").png (320 x 200)"
