# Shared by scripts/run and scripts/test: install what is missing, then build.
set -euo pipefail

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"

# Debian 12 / Ubuntu package names. What the editor needs to build and run:
APP_PACKAGES=(
    cmake ninja-build g++ pkg-config
    qt6-base-dev qt6-base-dev-tools libgl-dev libxml2-dev libtag1-dev
    qt6-qpa-plugins
    tzdata
    fonts-liberation fonts-dejavu-core
    libssh-dev libcurl4-openssl-dev qtkeychain-qt6-dev
)
# and, beside it, what the tests and benchmarks need.
PACKAGES=(
    "${APP_PACKAGES[@]}"
    libxml2-utils libbenchmark-dev
    qt6-base-private-dev libxcb1-dev xvfb
    desktop-file-utils appstream
    openssh-server nginx vsftpd openssl
)

# npm packages the publish tests start, installed into build/npm, never
# globally: NAME@VERSION.
NPM_PACKAGES=(
    @20minutes/s3rver@5.0.0
)

as_root() {
    if [ "$(id -u)" -eq 0 ]; then
        "$@"
    elif command -v sudo >/dev/null 2>&1; then
        sudo "$@"
    else
        echo "error: need root (or sudo) to install: ${*}" >&2
        exit 1
    fi
}

install_missing() {
    local missing=()
    for pkg in "$@"; do
        if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed"; then
            missing+=("$pkg")
        fi
    done
    if [ "${#missing[@]}" -gt 0 ]; then
        echo "Installing: ${missing[*]}"
        as_root apt-get update -qq
        as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends \
            "${missing[@]}"
    fi
}

build_preset() {
    local preset="$1"
    cd "$ROOT"
    if [ ! -f "build/$preset/build.ninja" ]; then
        cmake --preset "$preset"
    fi
    cmake --build --preset "$preset"
}

# Node.js itself may come from elsewhere than Debian (with its own npm), so
# only what is missing is asked of apt.
install_npm_packages() {
    command -v node >/dev/null 2>&1 || install_missing nodejs
    command -v npm >/dev/null 2>&1 || install_missing npm
    local prefix="$ROOT/build/npm" wanted name version have
    for wanted in "${NPM_PACKAGES[@]}"; do
        name="${wanted%@*}"
        version="${wanted##*@}"
        have="$(node -p "require('$prefix/node_modules/$name/package.json').version" 2>/dev/null || true)"
        if [ "$have" != "$version" ]; then
            echo "Installing into $prefix: $wanted"
            mkdir -p "$prefix"
            # Without it only the S3 publish cases are skipped, not the run.
            npm install --prefix "$prefix" --no-audit --no-fund --loglevel=error "$wanted" ||
                echo "warning: could not install $wanted; the S3 publish tests will be skipped" >&2
        fi
    done
}
