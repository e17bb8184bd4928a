#!/usr/bin/env bash
# Proves that the archive runs on a Linux machine without Qt: unpacks it into a minimal Debian 12
# root that holds only the base libraries the archive expects (docs/building.md lists them) and,
# inside it, runs the launcher's self-test, checks that every bundled program and plug-in finds
# its libraries, asks the stand-in service for "hello" and opens the stand-in game through the
# bundled xcb and wayland plug-ins on an X server and a Wayland compositor started outside.
#   bare_machine.sh ARCHIVE
#   QUILT_BARE_ROOT_CACHE  where the root is kept between runs (default /var/cache/tobble-quilt)
# Needs root (debootstrap, chroot) and the Debian mirror the first time; exits 77 (skipped)
# when not run as root.
set -euo pipefail

archive=$(realpath "$1")
if [ "$(id -u)" -ne 0 ]; then
    echo "SKIP: the bare-machine check needs root for debootstrap and chroot"
    exit 77
fi

suite=bookworm
mirror=http://deb.debian.org/debian
# The libraries every desktop has, which the archive leaves to the system: glibc and the GCC
# runtime come with minbase; the rest are X11/xcb, Wayland, xkbcommon, GL, fontconfig,
# freetype, D-Bus, GLib and the sound servers' client libraries.
base_packages=(
    libgl1 libegl1 libopengl0 libgbm1 libdrm2
    libfontconfig1 libfreetype6 libdbus-1-3 libglib2.0-0
    libx11-6 libx11-xcb1 libxext6 libxcursor1 libxi6 libxfixes3 libxrandr2 libxss1 libsm6 libice6
    libxcb1 libxcb-glx0 libxcb-icccm4 libxcb-image0 libxcb-keysyms1 libxcb-randr0 libxcb-render0
    libxcb-render-util0 libxcb-shape0 libxcb-shm0 libxcb-sync1 libxcb-xfixes0 libxcb-xkb1
    libxkbcommon0 libxkbcommon-x11-0 libwayland-client0 libwayland-cursor0 libwayland-egl1
    libasound2 libpulse0
)

cache=${QUILT_BARE_ROOT_CACHE:-/var/cache/tobble-quilt}
root=$cache/$suite-root
mkdir -p "$cache"
# One run at a time: the root is shared by every checkout on this machine.
exec 9>"$cache/lock"
flock 9

# Lazily unmounts everything mounted at or below a directory, deepest first.
unmount_below() {
    local dir
    dir=$(realpath -m "$1")
    awk -v d="$dir" '$2 == d || index($2, d "/") == 1 { print $2 }' /proc/mounts | sort -r |
        while read -r point; do umount -l "$point" || true; done
}

run=""
servers=()
cleanup() {
    for pid in "${servers[@]}"; do
        kill "$pid" 2> /dev/null && wait "$pid" 2> /dev/null
    done
    unmount_below "$root"
    unmount_below "$root.new"
    [ -n "$run" ] && rm -rf --one-file-system "$root$run"
    return 0
}
trap cleanup EXIT

wanted="$suite $mirror minbase ${base_packages[*]}"
if [ "$(cat "$root.stamp" 2>/dev/null)" != "$wanted" ]; then
    echo "Making a minimal Debian root in $root (once; kept for later runs)"
    unmount_below "$root"
    unmount_below "$root.new"
    rm -rf --one-file-system "$root" "$root.stamp" "$root.new"
    debootstrap --variant=minbase --include="$(IFS=,; echo "${base_packages[*]}")" \
        "$suite" "$root.new" "$mirror" > "$cache/debootstrap.log" 2>&1 || {
        tail -n 30 "$cache/debootstrap.log" >&2
        echo "debootstrap failed; the whole log is in $cache/debootstrap.log" >&2
        exit 1
    }
    unmount_below "$root.new"
    mv "$root.new" "$root"
    echo "$wanted" > "$root.stamp"
fi

# The root must stay free of Qt, or the check proves nothing.
if qt=$(find "$root/usr/lib" "$root/lib" -name 'libQt6*' -print -quit 2>/dev/null) && [ -n "$qt" ]; then
    echo "FAIL: the bare root holds a Qt library: $qt" >&2
    exit 1
fi

# The loader reads /proc/self/exe to expand $ORIGIN in the programs' run paths, as on any
# running system; the cleanup above unmounts it.
mount -t proc proc "$root/proc"

run=/opt/quilt-check-$$
mkdir -p "$root$run"
tar -xzf "$archive" -C "$root$run"
top=$(find "$root$run" -mindepth 1 -maxdepth 1 -type d -print -quit)
install=${top#"$root"}
echo "Unpacked $(basename "$archive") into the bare root at $install"

# A clean environment: nothing from the host's Qt or library settings leaks into the root.
inside() {
    chroot "$root" /usr/bin/env -i PATH=/usr/bin:/bin HOME=/root LANG=C.UTF-8 \
        XDG_RUNTIME_DIR="$run/runtime" "$@"
}
mkdir -m 700 "$root$run/runtime"

failed=0

# What the archive promises besides the programs.
for file in tobble-portable.txt install-desktop-entry.sh bin/qt.conf qt.conf game/qt.conf \
    bin/translations/qtbase_zh_CN.qm bin/translations/qtbase_es.qm \
    share/applications/tobble-quilt.desktop share/metainfo/tobble-quilt.metainfo.xml \
    share/icons/hicolor/{16x16,24x24,32x32,48x48,64x64,128x128,256x256,512x512}/apps/tobble-quilt.png; do
    [ -s "$root$install/$file" ] || { echo "FAIL: the archive lacks $file" >&2; failed=1; }
done
[ "$failed" = 0 ] && echo "ok: qt.conf files, Qt's translations, desktop entry, icons and metadata are there"

# Every program, library and plug-in of the archive resolves all it needs.
mapfile -t binaries < <(cd "$root" && find ".$install" -type f \( -name '*.so*' -o -perm -u+x \) \
    -exec sh -c 'head -c 4 "$1" | grep -q ELF' _ {} \; -print | sed 's/^\.//')
missing=$(inside ldd "${binaries[@]}" 2>&1 | awk '/^\// { file = $0 } /not found/ { print file, $0 }')
if [ -n "$missing" ]; then
    echo "FAIL: libraries not found in the bare root:" >&2
    echo "$missing" >&2
    failed=1
else
    echo "ok: ${#binaries[@]} programs, libraries and plug-ins resolve their libraries"
fi

# The launcher's self-test, offscreen, with its previews.
previews=$run/previews
if inside QT_QPA_PLATFORM=offscreen "$install/bin/tobble-quilt" --self-test --previews "$previews" \
    > "$root$run/selftest.log" 2>&1; then
    count=$(find "$root$previews" -name '*.png' | wc -l)
    if [ "$count" -gt 0 ]; then
        echo "ok: the launcher's self-test passed and wrote $count previews"
    else
        echo "FAIL: the self-test passed but wrote no previews" >&2
        failed=1
    fi
else
    echo "FAIL: the launcher's self-test failed in the bare root:" >&2
    tail -n 40 "$root$run/selftest.log" >&2
    failed=1
fi

# The stand-in service answers "hello" from the installation root.
reply=$(printf '%s\n' '{"cmd":"hello","controls":false,"focused":true}' |
    timeout 60 chroot "$root" /usr/bin/env -i PATH=/usr/bin:/bin HOME=/root LANG=C.UTF-8 \
        sh -c 'cd "$1" && exec ./tobble-launcher --ui-service' _ "$install" 2> "$root$run/service.log" |
    head -n 1) || true
if printf '%s' "$reply" | grep -q '"cmd":"hello"' && printf '%s' "$reply" | grep -q '"state":' &&
    ! printf '%s' "$reply" | grep -q '"error":'; then
    echo "ok: the service answered hello with a state"
else
    echo "FAIL: the service did not answer hello; it said: ${reply:-nothing}" >&2
    cat "$root$run/service.log" >&2
    failed=1
fi

for tool in Xvfb weston; do
    if ! command -v "$tool" > /dev/null; then
        echo "FAIL: $tool is missing (scripts/packages.sh installs it)" >&2
        exit 1
    fi
done

# A real X server: the stand-in game opens its window through the bundled xcb plug-in. The
# server's abstract socket reaches into the root without a mount.
display=""
for n in $(seq 71 99); do
    if [ ! -e "/tmp/.X$n-lock" ] && [ ! -e "/tmp/.X11-unix/X$n" ]; then
        display=:$n
        break
    fi
done
Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp > "$root$run/xvfb.log" 2>&1 &
servers+=($!)
for _ in $(seq 100); do
    [ -e "/tmp/.X11-unix/X${display#:}" ] && break
    sleep 0.1
done
if inside DISPLAY="$display" QT_QPA_PLATFORM=xcb timeout 60 "$install/game/tobble-game" \
    --auto-exit 1 > "$root$run/game-xcb.log" 2>&1; then
    echo "ok: the stand-in game ran on an X server with the bundled xcb plug-in"
else
    echo "FAIL: the stand-in game did not run on the X server:" >&2
    tail -n 20 "$root$run/game-xcb.log" >&2
    failed=1
fi

# A Wayland compositor whose socket lies in the root's runtime directory, shared with the game.
XDG_RUNTIME_DIR="$root$run/runtime" weston --backend=headless-backend.so \
    --socket=wayland-quilt --idle-time=0 > "$root$run/weston.log" 2>&1 &
servers+=($!)
for _ in $(seq 100); do
    [ -S "$root$run/runtime/wayland-quilt" ] && break
    sleep 0.1
done
if inside WAYLAND_DISPLAY=wayland-quilt QT_QPA_PLATFORM=wayland timeout 60 \
    "$install/game/tobble-game" --auto-exit 1 > "$root$run/game-wayland.log" 2>&1; then
    echo "ok: the stand-in game ran on a Wayland compositor with the bundled wayland plug-in"
else
    echo "FAIL: the stand-in game did not run on the Wayland compositor:" >&2
    tail -n 20 "$root$run/game-wayland.log" >&2
    failed=1
fi

exit "$failed"
