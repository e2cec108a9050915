#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# One entry point for a fresh Debian machine:
#   ./build.sh demo      install what is missing, build Tarnix and unitsim, run them
#   ./build.sh veltrin   the same, then opens the Veltrin window beside a simulated unit
#   ./build.sh test      install what is missing, build, run every test
#   ./build.sh sanitize  the same tests in an AddressSanitizer + UBSan build
#   ./build.sh fuzz [SECONDS]  build the libFuzzer targets with clang and run each
#   ./build.sh bench     build in Release and run the benchmarks
#   ./build.sh windows   cross-build Lumetra.dll, the console programs and Veltrin.exe
#                        into build-windows/bin and run them under Wine
#   ./build.sh package   Debian packages and a Windows installer and .zip, in
#                        build/packages, each installed, tried and removed
set -euo pipefail
cd "$(dirname "$0")"

# What every build needs; the windows, the checks and the packages add theirs.
packages=(cmake ninja-build g++ pkg-config libgtest-dev libgmock-dev libbenchmark-dev libcli11-dev
          nlohmann-json3-dev libgit2-dev
          # unitfleetd: Boost.Beast (HTTP), SQLite (state), argon2 (password hashes), OpenSSL (TLS)
          libboost-dev libsqlite3-dev libargon2-dev libssl-dev)
window_packages=(qt6-base-dev fonts-dejavu-core)
check_packages=(mandoc desktop-file-utils)
windows_packages=(g++-mingw-w64-x86-64 binutils-mingw-w64-x86-64 wine64 xvfb xdotool imagemagick
                  libcli11-dev nlohmann-json3-dev)
# The unitfleet tests drive Ansible and read its git history with git itself;
# the unitfleetd tests make a certificate and speak TLS with openssl.
test_packages=(ansible-core git openssl
               # the console's browser tests: headless Chromium driven by Selenium, and npm
               # to fetch axe-core (the accessibility checker) into the build folder
               chromium chromium-driver python3-selenium)
# Debian's npm conflicts with a Node.js that brings its own (NodeSource's):
# only a machine without any npm gets Debian's.
command -v npm >/dev/null 2>&1 || test_packages+=(npm)
jobs=$(nproc 2>/dev/null || echo 2)
# CI builds with -Werror: a warning fails it.
werror=OFF
[ "${CI:-}" = true ] && werror=ON

install_missing() {
    local missing=() extra=("$@")
    for p in "${packages[@]}" "${extra[@]}"; do
        dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    if [ "$(id -u)" -eq 0 ]; then
        echo "Installing: ${missing[*]}"
        export DEBIAN_FRONTEND=noninteractive
        apt-get update -qq
        apt-get install -y -qq "${missing[@]}" >/dev/null
    else
        echo "Missing packages; as root run:" >&2
        echo "  apt-get update && apt-get install -y ${missing[*]}" >&2
        exit 1
    fi
}

configure_and_build() {  # DIR [cmake options...]
    local dir=$1
    shift
    cmake -S . -B "$dir" -G Ninja -DSUITE_WERROR=$werror "$@" >/dev/null
    cmake --build "$dir" -j "$jobs"
}

# Builds TARGETS in build/ showing one progress line instead of the compiler's
# output, which goes to build/quiet-build.log and is named when the build fails.
quiet_build() {  # TARGETS...
    local log=build/quiet-build.log
    mkdir -p build
    echo "Building $* (log: $log)"
    if ! cmake -S . -B build -G Ninja -DSUITE_WERROR=$werror >"$log" 2>&1; then
        tail -30 "$log" >&2
        echo "Configuring failed; the full log is $log" >&2
        exit 1
    fi
    local status=0  # pipefail: the build's own status when it fails
    cmake --build build -j "$jobs" --target "$@" 2>&1 | tee -a "$log" | awk -v tty="$([ -t 1 ] && echo 1)" '
        /^\[[0-9]+\/[0-9]+\]/ {
            split(substr($1, 2), n, "/")
            if (tty) printf "\r  %d of %d steps", n[1], n[2]
            else if (n[1] == n[2] || n[1] % 10 == 0) printf "  %d of %d steps\n", n[1], n[2]
            fflush()
        }
        END { if (tty) printf "\n" }' || status=$?
    [ $status -eq 0 ] && return 0
    grep -E -A5 'error|FAILED' "$log" | head -40 >&2
    echo "The build failed; the full log is $log" >&2
    exit 1
}

# axe-core for the console's accessibility checks: fetched while there is
# network, into the build folder only (unitfleetd never serves it).
web_tools() {  # DIR
    [ -f "$1/web-tools/node_modules/axe-core/axe.min.js" ] && return 0
    npm install --prefix "$1/web-tools" --no-audit --no-fund axe-core@4 >/dev/null
}

run_tests() {  # DIR
    web_tools "$1"
    ctest --test-dir "$1" -j "$jobs" --output-on-failure --timeout 300
}

# Starts a simulated unit on $unit in the background; stopped when the script ends.
start_unit() {
    demo_dir=$(mktemp -d)
    build/unitsim/unitsim --address "$unit" >"$demo_dir/unitsim.log" 2>&1 &
    demo_sim=$!
    # Globals: the trap runs after this function has returned.
    trap 'kill $demo_sim 2>/dev/null; wait $demo_sim 2>/dev/null; rm -rf "$demo_dir"; true' EXIT
    for _ in $(seq 50); do grep -q listening "$demo_dir/unitsim.log" && break; sleep 0.1; done
    if ! grep -q listening "$demo_dir/unitsim.log"; then
        cat "$demo_dir/unitsim.log" >&2
        echo "The simulated unit did not start on $unit:1283." >&2
        exit 1
    fi
}

demo() {
    install_missing
    quiet_build Tarnix unitsim
    unit=127.0.0.2
    start_unit
    local dir=$demo_dir
    echo "== Tarnix $unit: the modes of a simulated unit"
    build/tarnix/Tarnix "$unit"
    cp tarnix/demo.ini "$dir/Tarnix.ini"
    echo
    echo "== Tarnix -s -v $unit: setting modes from an ini file"
    cat "$dir/Tarnix.ini"
    (cd "$dir" && "$OLDPWD/build/tarnix/Tarnix" -s -v "$unit")
}

veltrin() {
    install_missing "${window_packages[@]}"
    configure_and_build build
    unit=127.0.0.2
    start_unit
    echo "Veltrin: type $unit in the address box and press Read Modes."
    build/frontends/veltrin/Veltrin
}

# A Wine prefix of our own in the build folder; a Wine that cannot start a
# program fails the run here, with the reason, rather than skipping tests.
wine_ready() {  # BUILD_DIR
    export WINEPREFIX="$PWD/$1/wine" WINEDEBUG=-all
    local wine
    wine=$(command -v /usr/lib/wine/wine64 wine64 wine 2>/dev/null | head -1)
    if [ -z "$wine" ]; then
        echo "Wine is not installed (no wine64 loader found)." >&2
        exit 1
    fi
    if ! timeout 300 "$wine" wineboot --init >"$1/wineboot.log" 2>&1 ||
        ! timeout 120 "$wine" "$1/bin/probe.exe" >/dev/null 2>"$1/wine-check.log" ||
        ! grep -q 'probe IPAddress' "$1/wine-check.log"; then
        cat "$1/wineboot.log" "$1/wine-check.log" >&2
        echo "Wine could not start a Windows program ($wine, WINEPREFIX=$WINEPREFIX)." >&2
        exit 1
    fi
}

windows_build() {
    configure_and_build build-windows --toolchain cmake/mingw-w64-x86_64.cmake \
        -DCMAKE_BUILD_TYPE=Release
}

windows() {
    install_missing "${windows_packages[@]}"
    local started=$SECONDS
    windows_build
    echo "Cross-build: $((SECONDS - started)) s; copy build-windows/bin/*.exe and Lumetra.dll"
    started=$SECONDS
    wine_ready build-windows
    echo "Wine start-up: $((SECONDS - started)) s"
    # The tests are Linux programs that run the Windows ones under Wine.
    cmake -S . -B build -G Ninja -DSUITE_WERROR=$werror -DSUITE_WINDOWS_BUILD_DIR="$PWD/build-windows" \
        >/dev/null
    cmake --build build -j "$jobs" --target windows_tests
    started=$SECONDS
    ctest --test-dir build -L windows -j "$jobs" --output-on-failure --timeout 300
    echo "Windows tests under Wine: $((SECONDS - started)) s"
}

# The Debian packages from build/ and the Windows installer and .zip from
# build-windows/ (both built first where needed, reused as they are otherwise),
# then every check of packaging/tests/.
package() {
    install_missing "${window_packages[@]}" "${check_packages[@]}" "${windows_packages[@]}" \
        dpkg-dev fakeroot file lintian man-db nsis zip unzip
    local started=$SECONDS out=build/packages
    configure_and_build build
    rm -rf "$out"
    if ! cpack --config build/CPackConfig.cmake -G DEB >build/cpack.log 2>&1; then
        cat build/cpack.log >&2
        echo "CPack could not make the Debian packages." >&2
        exit 1
    fi
    windows_build
    local version
    version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' build/CMakeCache.txt)
    packaging/windows/make_installer.sh build-windows "$out" "$version" >/dev/null
    echo "Made in $((SECONDS - started)) s:"
    (cd "$out" && ls -s --block-size=K -1 ./*.deb ./*.exe ./*.zip)
    started=$SECONDS
    packaging/tests/check_debs.sh "$out"
    [ -f build-windows/wine/system.reg ] || wine_ready build-windows
    packaging/tests/check_installer.sh "$out/UnitSuite-$version-win64-setup.exe" \
        "$out/UnitSuite-$version-win64.zip" build/unitsim/unitsim build-windows/wine
    echo "Package checks: $((SECONDS - started)) s"
}

case "${1:-}" in
    demo) demo ;;
    veltrin) veltrin ;;
    test)
        install_missing "${window_packages[@]}" "${check_packages[@]}" "${test_packages[@]}"
        configure_and_build build
        run_tests build
        ;;
    sanitize)
        install_missing "${window_packages[@]}" "${check_packages[@]}" "${test_packages[@]}"
        configure_and_build build-asan -DSUITE_SANITIZE=ON -DSUITE_BENCH=OFF -DCMAKE_BUILD_TYPE=Debug
        # Leaks of Qt's own libraries, listed one by one with the reason.
        LSAN_OPTIONS=suppressions=$PWD/frontends/veltrin/lsan.supp:print_suppressions=0 \
            ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 run_tests build-asan
        ;;
    fuzz)
        # Builds only the fuzz targets (fuzz_all), runs each for SECONDS with
        # a corpus of its own kept in build-fuzz/corpus, and fails when any
        # target finds a fault; its crash-* file lands in build-fuzz/.
        install_missing clang libclang-rt-dev
        # clang warns of other things than g++ does; its build is not yet held
        # to -Werror (the g++ and mingw builds are).
        CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DSUITE_FUZZ=ON -DSUITE_BENCH=OFF \
            -DSUITE_WERROR=OFF >/dev/null
        cmake --build build-fuzz -j "$jobs" --target fuzz_all
        seconds=${2:-60}
        failed=()
        for target in $(find build-fuzz/fuzz -type f -name '*_fuzz' -perm -u+x | sort); do
            name=$(basename "$target")
            corpus=build-fuzz/corpus/$name
            mkdir -p "$corpus"
            echo "== $name ($seconds s)"
            if "$target" -max_total_time="$seconds" -print_final_stats=1 \
                -artifact_prefix=build-fuzz/"$name"- "$corpus" >build-fuzz/"$name".log 2>&1; then
                grep -E 'DONE|average_exec_per_sec|number_of_executed_units' build-fuzz/"$name".log
            else
                tail -40 build-fuzz/"$name".log
                failed+=("$name")
            fi
        done
        if [ ${#failed[@]} -gt 0 ]; then
            echo "Fuzzing found faults in: ${failed[*]}" >&2
            exit 1
        fi
        ;;
    bench)
        install_missing "${window_packages[@]}"
        configure_and_build build-release -DCMAKE_BUILD_TYPE=Release
        for b in $(find build-release/bench -type f -name '*_bench' -perm -u+x); do
            echo "== $b"
            "$b"
        done
        # unitfleet once more with 5 ms before every reply, as over a real
        # site's network: there the workers overlap the waits.
        echo "== build-release/bench/unitfleet/unitfleet_bench (replies delayed by 5 ms)"
        build-release/bench/unitfleet/unitfleet_bench 1000 3 5
        # The host servers against the bare loop in the same run: one client,
        # 4 and 16 at once, 20 idle connections held; a small and a large
        # data file. Mibbet needs root for a network namespace of its own.
        # unitfleetd: one status cycle against `unitfleet status` (10,000
        # units, 5 ms replies), and its API under 50 clients at once.
        echo "== build-release/bench/unitfleetd/unitfleetd_cycle"
        build-release/bench/unitfleetd/unitfleetd_cycle
        echo "== build-release/bench/unitfleetd/unitfleetd_load"
        build-release/bench/unitfleetd/unitfleetd_load
        for b in build-release/bench/hobsel/hobsel_load build-release/bench/load/mibbet_load; do
            for lines in 10000 1000000; do
                echo "== $b ($lines data file lines)"
                "$b" 5000 3 "$lines" || echo "== $b failed (status $?)"
            done
        done
        ;;
    windows) windows ;;
    package) package ;;
    *)
        # The usage is the comment at the top, whatever lines come before it.
        sed -n '/^# One entry point/,/^set -euo pipefail/p' "$0" | sed '$d; s/^# \{0,1\}//'
        exit 2
        ;;
esac
