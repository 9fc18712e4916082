#!/usr/bin/env bash
# Sets up a Debian machine for Katalox (installs the packages it needs when they are missing),
# builds it, and then starts the program or runs the whole test suite.
#
#   ./dev.sh run               build and start Katalox
#   ./dev.sh test              build and run every test
#   ./dev.sh build             build only
#   ./dev.sh package           build the Debian package (build-package/katalox_*.deb)
#   options: --sanitize        AddressSanitizer + UndefinedBehaviorSanitizer build (build-asan/)
#            --werror          treat compiler warnings as errors
#            --package-test    also test the Debian package (build, unpack, run; label "package")
set -euo pipefail
cd "$(dirname "$0")"

PACKAGES=(
    cmake ninja-build g++ pkg-config ccache
    qt6-base-dev qt6-svg-dev qt6-charts-dev libqt6opengl6-dev
    libcdio-dev libiso9660-dev libudf-dev libblkid-dev libudev-dev
    libgtest-dev libgmock-dev xorriso genisoimage dosfstools exfatprogs ntfs-3g
    libbenchmark-dev hyperfine
    appstream dpkg-dev file python3
)

command_name=${1:-}
[ $# -gt 0 ] && shift
sanitize=OFF
werror=OFF
package_test=OFF
for option in "$@"; do
    case "$option" in
        --sanitize) sanitize=ON ;;
        --werror) werror=ON ;;
        --package-test) package_test=ON ;;
        *) echo "dev.sh: unknown option $option" >&2; exit 2 ;;
    esac
done

install_packages() {
    local missing=()
    for package in "${PACKAGES[@]}"; do
        if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
            missing+=("$package")
        fi
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Installing: ${missing[*]}"
    local sudo=""
    [ "$(id -u)" -ne 0 ] && sudo="sudo"
    $sudo apt-get update
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y --no-install-recommends "${missing[@]}"
}

build() {
    local dir=build
    [ "$sanitize" = ON ] && dir=build-asan
    cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DKATALOX_SANITIZE="$sanitize" -DKATALOX_WERROR="$werror" -DKATALOX_PACKAGE_TEST="$package_test" >/dev/null
    cmake --build "$dir" -j "$(nproc)"
    BUILD_DIR=$dir
}

case "$command_name" in
    run)
        install_packages
        build
        exec "$BUILD_DIR/katalox"
        ;;
    test)
        install_packages
        build
        cd "$BUILD_DIR"
        QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j "$(nproc)" --timeout 600
        ;;
    build)
        install_packages
        build
        ;;
    package)
        install_packages
        cmake -S . -B build-package -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
            -DKATALOX_BUILD_TESTS=OFF -DKATALOX_BUILD_BENCH=OFF -DKATALOX_WERROR="$werror" >/dev/null
        cmake --build build-package -j "$(nproc)"
        (cd build-package && cpack -G DEB)
        ls build-package/katalox_*.deb
        ;;
    *)
        sed -n '2,11p' "$0" | sed 's/^# \{0,1\}//'
        exit 2
        ;;
esac
