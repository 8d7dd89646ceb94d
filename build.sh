#!/usr/bin/env bash
# Set-up, build and run on a Debian 12 machine.
#   ./build.sh run    install what is missing, build, start the application
#   ./build.sh test   install what is missing, build, run the whole test suite
#   ./build.sh asan   the test suite built with AddressSanitizer (build-asan/)
#   ./build.sh bench  build and run the benchmarks
#   ./build.sh fuzz [seconds]  the fuzz targets of tests/fuzz built with clang
#                     (build-fuzz/), each run for the given time (60 s by
#                     default), four at a time; fails on any finding
set -euo pipefail
cd "$(dirname "$0")"

# The font packages are the only system fonts the tests see (see
# QUILLMAP_TEST_FONTS in cmake/QuillmapTesting.cmake).
packages=(cmake ninja-build g++ pkg-config qt6-base-dev qt6-base-dev-tools
          qt6-svg-dev libgl-dev zlib1g-dev xvfb xauth poppler-utils
          fonts-dejavu-core fonts-liberation2
          graphviz postgresql python3-psycopg2)
# The interchange tests check Mermaid text with Mermaid's own parser, which
# runs in Node (npm installs the pinned version into the build folder).
command -v node >/dev/null 2>&1 || packages+=(nodejs npm)
# Only for ./build.sh fuzz: clang and its runtime libraries (libFuzzer and
# the sanitizers).
fuzz_packages=(clang libclang-rt-14-dev)

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

# Runs one fuzz target of build-fuzz/fuzzers.tsv (by name) for $seconds on
# its own corpus, build-fuzz/fuzz-runs/<target>/, seeded from tests/data. A
# crash, a sanitizer report, a broken property, a leak or a hang leaves the
# input there as crash-*, leak-* or timeout-*, beside the log.
fuzz_one() {
    local name=$1 program seeds dictionary
    IFS=$'\t' read -r _ program seeds dictionary < <(grep -P "^$name\t" build-fuzz/fuzzers.tsv)
    local dir=build-fuzz/fuzz-runs/$name
    mkdir -p "$dir/corpus"
    local args=(-max_total_time="$seconds" -timeout=30 -rss_limit_mb=4096 -print_final_stats=1
                -artifact_prefix="$dir/")
    [ -n "$dictionary" ] && args+=(-dict="$dictionary")
    echo "fuzzing $name for $seconds s"
    if QT_QPA_PLATFORM=offscreen LSAN_OPTIONS="suppressions=$PWD/tests/fuzz/lsan.supp" \
       UBSAN_OPTIONS=print_stacktrace=1 "$program" "${args[@]}" "$dir/corpus" "$seeds" > "$dir/log" 2>&1; then
        echo "$name: no finding in $(grep -o 'number_of_executed_units: *[0-9]*' "$dir/log" | grep -o '[0-9]*$') runs"
    else
        echo "$name: FINDING (log and input in $dir)"
        tail -n 40 "$dir/log"
        touch "$dir/failed"
    fi
}

# Every fuzz target for $1 seconds, four at a time.
run_fuzzers() {
    seconds=$1
    rm -rf build-fuzz/fuzz-runs
    mkdir -p build-fuzz/fuzz-runs
    export seconds
    export -f fuzz_one
    cut -f1 build-fuzz/fuzzers.tsv | xargs -P 4 -n 1 bash -c 'fuzz_one "$1"' _
    local total failed
    total=$(grep -c . build-fuzz/fuzzers.tsv)
    failed=$(find build-fuzz/fuzz-runs -name failed | wc -l)
    echo "fuzz targets without a finding: $((total - failed)) of $total"
    [ "$failed" -eq 0 ]
}

cmd=${1:-run}
[ "$cmd" = fuzz ] && packages+=("${fuzz_packages[@]}")
install_missing
case "$cmd" in
    run)
        build build
        exec ./build/src/quillmap
        ;;
    test)
        build build -DQUILLMAP_WERROR=ON
        # Here the tests that need Node or a PostgreSQL server fail instead of
        # skipping without them.
        cd build && QT_QPA_PLATFORM=offscreen QUILLMAP_REQUIRE_NODE=1 QUILLMAP_REQUIRE_POSTGRES=1 \
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
    fuzz)
        seconds=${2:-60}
        CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUILLMAP_FUZZ=ON
        cmake --build build-fuzz --target fuzzers --parallel
        run_fuzzers "$seconds"
        ;;
    *)
        echo "usage: $0 run|test|asan|bench|fuzz [seconds]" >&2; exit 2;;
esac
