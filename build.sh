#!/usr/bin/env bash
# Set-up, build and run on a Debian 12 machine.
#   ./build.sh run    install what is missing, build, start the application
#   ./build.sh test   install what is missing, build, run the whole test suite
#   ./build.sh asan   the test suite built with AddressSanitizer (build-asan/)
#   ./build.sh bench  build and run the benchmarks
set -euo pipefail
cd "$(dirname "$0")"

# The font packages are the only system fonts the tests see (see
# QUILLMAP_TEST_FONTS in cmake/QuillmapTesting.cmake).
packages=(cmake ninja-build g++ pkg-config qt6-base-dev qt6-base-dev-tools
          qt6-svg-dev libgl-dev zlib1g-dev xvfb xauth poppler-utils
          fonts-dejavu-core fonts-liberation2
          graphviz)
# The interchange tests check Mermaid text with Mermaid's own parser, which
# runs in Node (npm installs the pinned version into the build folder).
command -v node >/dev/null 2>&1 || packages+=(nodejs npm)

install_missing() {
    local missing=()
    for p in "${packages[@]}"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Installing: ${missing[*]}"
    local sudo=""
    [ "$(id -u)" -ne 0 ] && sudo="sudo"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

build() {
    local dir=$1; shift
    cmake -S . -B "$dir" -G Ninja "$@"
    cmake --build "$dir" --parallel
}

cmd=${1:-run}
install_missing
case "$cmd" in
    run)
        build build
        exec ./build/src/quillmap
        ;;
    test)
        build build -DQUILLMAP_WERROR=ON
        # Here the tests that need Node fail instead of skipping without it.
        cd build && QT_QPA_PLATFORM=offscreen QUILLMAP_REQUIRE_NODE=1 \
            ctest --output-on-failure --parallel "$(nproc)"
        ;;
    asan)
        build build-asan -DCMAKE_BUILD_TYPE=Debug -DQUILLMAP_ASAN=ON
        cd build-asan && QT_QPA_PLATFORM=offscreen ASAN_OPTIONS=detect_leaks=0 \
            ctest --output-on-failure --parallel "$(nproc)" ${ASAN_LABEL:+-L "$ASAN_LABEL"}
        ;;
    bench)
        build build -DCMAKE_BUILD_TYPE=Release
        failed=()
        for b in build/bench/bench_*; do
            # Only the programs: the folder holds their build folders too.
            [ -f "$b" ] && [ -x "$b" ] || continue
            echo "== ${b##*/}"
            QT_QPA_PLATFORM=offscreen "$b" || failed+=("${b##*/}")
        done
        if [ ${#failed[@]} -gt 0 ]; then
            echo "Failed to run: ${failed[*]}" >&2
            exit 1
        fi
        ;;
    *)
        echo "usage: $0 run|test|asan|bench" >&2; exit 2;;
esac
