# Shared by scripts/run and scripts/test: installs the Debian packages the build needs,
# but only the ones that are missing, so a second run costs nothing.
quilt_packages=(
    build-essential cmake ninja-build ccache pkg-config
    qt6-base-dev qt6-base-dev-tools libgl-dev qt6-translations-l10n
    fonts-noto-cjk python3-fonttools libtomlplusplus-dev libsdl2-dev
    clang libclang-rt-14-dev git xauth xvfb valgrind
    qt6-wayland patchelf desktop-file-utils appstream debootstrap weston
)

quilt_install_packages() {
    local missing=()
    for p in "${quilt_packages[@]}"; do
        if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
            missing+=("$p")
        fi
    done
    if [ ${#missing[@]} -gt 0 ]; then
        echo "Installing: ${missing[*]}"
        local sudo=""
        [ "$(id -u)" -eq 0 ] || sudo=sudo
        $sudo apt-get update -qq
        DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
    fi
}

quilt_configure() {
    # quilt_configure BUILD_DIR [extra cmake arguments...]
    local dir=$1
    shift
    local launcher=()
    command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
    if [ ! -f "$dir/CMakeCache.txt" ]; then
        cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "${launcher[@]}" "$@"
    fi
}
