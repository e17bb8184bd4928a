#!/usr/bin/env bash
# The archive's install-desktop-entry.sh, run from an unpacked folder with an awkward name and a
# scratch HOME: the entry validates, starts this folder's launcher, carries the Chinese and
# Spanish texts, and install and removal touch nothing but the entry and the icons.
#   desktop_entry.sh SOURCE_DIR
set -euo pipefail
source_dir=$(realpath "$1")
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
failed=0
fail() {
    echo "FAIL: $*" >&2
    failed=1
}

# An unpacked installation, as far as the script needs one, in a folder whose name needs every
# kind of escaping a desktop entry has.
install="$scratch/Games/Tobble's \"Grand\" Quilt \$HOME 100% back\\slash \`x\`"
mkdir -p "$install/bin" "$install/share/applications"
cp "$source_dir/packaging/install-desktop-entry.sh" "$install/"
cp "$source_dir/packaging/tobble-quilt.desktop" "$install/share/applications/"
cp -r "$source_dir/resources/icons" "$install/share/"
printf '#!/bin/sh\n' > "$install/bin/tobble-quilt"
chmod +x "$install/bin/tobble-quilt"

home=$scratch/home
mkdir -p "$home"
run() {
    env -u XDG_DATA_HOME HOME="$home" "$@"
}

run "$install/install-desktop-entry.sh" > /dev/null
run "$install/install-desktop-entry.sh" > /dev/null # a second run updates in place
entry=$home/.local/share/applications/tobble-quilt.desktop

desktop-file-validate "$entry" || fail "the installed entry does not validate"

# The Exec program and Path, decoded as a desktop reads them, are this installation's.
decoded=$(python3 - "$entry" <<'EOF'
import re, sys
values = {}
for line in open(sys.argv[1], encoding="utf-8"):
    key, _, value = line.rstrip("\n").partition("=")
    values[key] = value
def unescape(value):
    return re.sub(r"\\(.)", lambda m: {"s": " ", "n": "\n", "t": "\t", "r": "\r"}.get(m[1], m[1]), value)
exec_line = unescape(values["Exec"])
match = re.fullmatch(r'"((?:[^"\\`$]|\\["`$\\])*)"', exec_line)
program = re.sub(r'\\(["`$\\])', r"\1", match[1]).replace("%%", "%") if match else "unquoted: " + exec_line
print(program)
print(unescape(values["Path"]))
print(unescape(values["TryExec"]))
EOF
)
expected=$(printf '%s\n%s\n%s' "$install/bin/tobble-quilt" "$install" "$install/bin/tobble-quilt")
[ "$decoded" = "$expected" ] || fail "Exec, Path and TryExec read back as:
$decoded"

for key in 'Name[zh_CN]' 'Name[es]' 'Comment[zh_CN]' 'Comment[es]'; do
    awk -F= -v key="$key" '$1 == key { found = 1 } END { exit !found }' "$entry" ||
        fail "the entry has no $key"
done
grep -qx 'Icon=tobble-quilt' "$entry" || fail "the entry does not name the tobble-quilt icon"

written=$(cd "$home" && find . -type f | sort)
wanted=$(printf '%s\n' ./.local/share/applications/tobble-quilt.desktop
    for size in 128 16 24 256 32 48 512 64; do
        printf './.local/share/icons/hicolor/%sx%s/apps/tobble-quilt.png\n' "$size" "$size"
    done)
[ "$written" = "$wanted" ] || fail "install wrote other files than the entry and icons:
$written"

run "$install/install-desktop-entry.sh" --remove > /dev/null
# Only the data directory itself may stay, as every desktop has it.
left=$(cd "$home" && find . -mindepth 1 ! -path ./.local ! -path ./.local/share)
[ -z "$left" ] || fail "--remove left behind:
$left"

# XDG_DATA_HOME is honoured, and a wrong argument changes nothing.
env XDG_DATA_HOME="$scratch/data" HOME="$home" "$install/install-desktop-entry.sh" > /dev/null
[ -f "$scratch/data/applications/tobble-quilt.desktop" ] || fail "XDG_DATA_HOME was not used"
if run "$install/install-desktop-entry.sh" --uninstall 2> /dev/null; then
    fail "an unknown option was accepted"
fi
[ -z "$(cd "$home" && find . -mindepth 1 ! -path ./.local ! -path ./.local/share)" ] ||
    fail "an unknown option wrote into HOME"

[ "$failed" = 0 ] && echo "ok: desktop entry installs, validates and removes cleanly"
exit "$failed"
