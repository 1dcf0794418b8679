# Shared by scripts/run, scripts/test and scripts/bench: install what is missing
# from Debian's packages, then configure and build.
set -euo pipefail

MEALWISE_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"

MEALWISE_PACKAGES=(
    build-essential cmake ninja-build pkg-config
    qt6-base-dev qt6-base-dev-tools libqt6sql6-sqlite libgl-dev
    fonts-liberation2 fonts-dejavu-core
    xvfb xauth xdotool x11-utils imagemagick sqlite3 clang strace
    qt6-charts-dev libqt6opengl6-dev libxkbcommon-dev libboost-math-dev libeigen3-dev libsqlite3-dev
    poppler-utils faketime openbox appstream desktop-file-utils lintian help2man man-db ccache
    mdbtools-dev clang-format clang-tidy fontconfig
)

as_root() {
    if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

install_missing() {
    local missing=()
    local p
    for p in "${MEALWISE_PACKAGES[@]}" "$@"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
    done
    if [ ${#missing[@]} -gt 0 ]; then
        echo "Installing: ${missing[*]}"
        as_root apt-get update -qq
        as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
    fi
}

build_preset() {
    local preset="$1"
    cmake --preset "$preset" -S "$MEALWISE_ROOT" >/dev/null
    cmake --build --preset "$preset" -j "$(nproc)"
}
