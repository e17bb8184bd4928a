#!/usr/bin/env bash
# Makes the archive with CPack into a scratch folder and hands it to the bare-machine check.
#   archive.sh CPACK CPACK_CONFIG BARE_MACHINE_SCRIPT
set -euo pipefail
cpack=$1
config=$2
check=$3
out=$(mktemp -d "$(dirname "$config")/package-check.XXXXXX")
trap 'rm -rf "$out"' EXIT
"$cpack" -G TGZ --config "$config" -B "$out" > "$out.log" 2>&1 || {
    cat "$out.log" >&2
    rm -f "$out.log"
    exit 1
}
rm -f "$out.log"
archive=$(find "$out" -maxdepth 1 -name '*.tar.gz' -print -quit)
echo "Archive: $(basename "$archive"), $(du -k "$archive" | cut -f1) KiB"
tar -tzf "$archive" | grep -E '/(lib|plugins)/' | grep -v '/$' | sed 's|^[^/]*/||' | sort
exec bash "$check" "$archive"
