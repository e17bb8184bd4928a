#!/usr/bin/env bash
# Regenerates the pictures that README.md shows, from the launcher's self-test and from the
# test that shows states the self-test's own pictures do not.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --build build --target tobble-quilt tst_selftest
out=$(mktemp -d)
QT_QPA_PLATFORM=offscreen build/src/tobble-quilt --self-test --previews "$out"
mkdir -p docs/previews
for name in en-home zh-bindings es-motion es-saves zh-basic en-home-compact; do
    cp "$out/$name.png" docs/previews/
done
rm -rf "$out"
QT_QPA_PLATFORM=offscreen LANG=C.UTF-8 LC_ALL=C.UTF-8 QUILT_README_PICTURES="$PWD/docs/previews" \
    build/tests/tst_selftest formerlyClippedStatesFit >/dev/null
echo "Updated docs/previews"
