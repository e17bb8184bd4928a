#!/bin/sh
# Adds Tobble's Grand Quilt to the current user's application menu, starting it from the folder
# this script sits in (wherever the archive was unpacked):
#   ./install-desktop-entry.sh            install or update the entry and the icons
#   ./install-desktop-entry.sh --remove   take them out again
# Writes only applications/tobble-quilt.desktop and icons/hicolor/<size>/apps/tobble-quilt.png
# under the user's data directory (XDG_DATA_HOME, normally ~/.local/share).
set -eu

usage() {
    echo "usage: $0 [--remove]" >&2
    exit 2
}

remove=0
case $# in
0) ;;
1) [ "$1" = --remove ] && remove=1 || usage ;;
*) usage ;;
esac

here=$(cd "$(dirname "$0")" && pwd -P)
data=${XDG_DATA_HOME:-${HOME:?HOME is not set}/.local/share}
case $data in
/*) ;;
*) data=${HOME:?HOME is not set}/.local/share ;; # a relative XDG_DATA_HOME is to be ignored
esac
entry=$data/applications/tobble-quilt.desktop
sizes="16 24 32 48 64 128 256 512"

if [ "$remove" = 1 ]; then
    rm -f "$entry"
    for size in $sizes; do
        rm -f "$data/icons/hicolor/${size}x$size/apps/tobble-quilt.png"
        # Folders left empty go too, but never the data directory itself.
        (cd "$data" && rmdir -p "icons/hicolor/${size}x$size/apps" 2>/dev/null) || true
    done
    (cd "$data" && rmdir applications 2>/dev/null) || true
    echo "Removed Tobble's Grand Quilt from the application menu."
    exit 0
fi

template=$here/share/applications/tobble-quilt.desktop
launcher=$here/bin/tobble-quilt
if [ ! -f "$template" ] || [ ! -x "$launcher" ]; then
    echo "$0: run this script from the unpacked Tobble's Grand Quilt folder" >&2
    exit 1
fi
# A desktop entry is one line per key: a folder name with a line break cannot be written.
case $here in
*'
'*)
    echo "$0: the folder name contains a line break; move the folder and try again" >&2
    exit 1
    ;;
esac

# Values of type string escape the backslash; Exec quotes the program and escapes, inside the
# quotes, " ` $ and \ (before the string escaping), and doubles %.
string_value() {
    printf '%s' "$1" | sed 's/\\/\\\\/g'
}
exec_value() {
    printf '"%s"' "$(printf '%s' "$1" | sed -e 's/[\\"`$]/\\&/g' -e 's/%/%%/g')" |
        sed 's/\\/\\\\/g'
}

mkdir -p "$data/applications"
for size in $sizes; do
    mkdir -p "$data/icons/hicolor/${size}x$size/apps"
    cp "$here/share/icons/hicolor/${size}x$size/apps/tobble-quilt.png" \
        "$data/icons/hicolor/${size}x$size/apps/tobble-quilt.png"
done

# The packaged entry with this installation's program and folder; written beside the target
# and moved over it, so a menu never reads half an entry.
QUILT_EXEC=$(exec_value "$launcher") QUILT_TRY=$(string_value "$launcher") \
    QUILT_PATH=$(string_value "$here") awk '
    /^(Exec|TryExec|Path)=/ { next }
    { print }
    /^\[Desktop Entry\]$/ {
        print "Exec=" ENVIRON["QUILT_EXEC"]
        print "TryExec=" ENVIRON["QUILT_TRY"]
        print "Path=" ENVIRON["QUILT_PATH"]
    }' "$template" > "$entry.new"
chmod 644 "$entry.new"
mv "$entry.new" "$entry"
echo "Added Tobble's Grand Quilt to the application menu: $entry"
