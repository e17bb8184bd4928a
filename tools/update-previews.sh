#!/usr/bin/env bash
# Regenerates the pictures that README.md shows, from the launcher's self-test.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --build build --target tobble-quilt
out=$(mktemp -d)
QT_QPA_PLATFORM=offscreen build/src/tobble-quilt --self-test --previews "$out"
mkdir -p docs/previews
for name in en-home zh-bindings es-motion es-saves zh-basic en-home-compact; do
    cp "$out/$name.png" docs/previews/
done
rm -rf "$out"
echo "Updated docs/previews"
