#!/usr/bin/env bash
# The project's two jobs, each doing its own set-up on a fresh Debian machine:
#   ./project.sh run [ARGS...]   build, then run the stand-in server (ARGS go to tamewarden-sim;
#                                without ARGS it runs the demo, examples/demo.tws)
#   ./project.sh test            build, run every test, then run them again under ASan and UBSan,
#                                then run each fuzz target for a bounded time
set -euo pipefail
cd "$(dirname "$0")"

packages=(cmake ninja-build g++ libspdlog-dev libfmt-dev nlohmann-json3-dev
          libgtest-dev libgmock-dev libbenchmark-dev python3 python3-rcon)
# The fuzz targets' compiler and its runtime libraries (libFuzzer, ASan, UBSan).
fuzz_packages=(clang-14 libclang-rt-14-dev)

install_missing() {  # install_missing PACKAGE...
  local missing=() p
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
  done
  ((${#missing[@]} == 0)) && return
  echo "Installing missing packages: ${missing[*]}"
  local sudo=()
  [ "$(id -u)" -eq 0 ] || sudo=(sudo)
  "${sudo[@]}" apt-get update -qq
  "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

build() {  # build DIR [CMAKE OPTIONS...]
  local dir=$1
  shift
  cmake -S . -B "$dir" -G Ninja "$@" >/dev/null
  cmake --build "$dir"
}

case "${1:-}" in
  run)
    shift
    install_missing "${packages[@]}"
    build build
    exec build/sim/tamewarden-sim "${@:-examples/demo.tws}"
    ;;
  test)
    install_missing "${packages[@]}" "${fuzz_packages[@]}"
    build build
    ctest --test-dir build --output-on-failure -j2
    # Unoptimised with line tables only: the sanitizers find the same faults, and it builds fast.
    build build-asan -DTW_SANITIZE=ON -DTW_BUILD_BENCH=OFF -DCMAKE_BUILD_TYPE=Debug \
      -DCMAKE_CXX_FLAGS_DEBUG=-g1
    ctest --test-dir build-asan --output-on-failure -j2
    # Only the fuzz targets and what they read, with clang; each runs for 17 seconds.
    build build-fuzz -DTW_FUZZ=ON -DCMAKE_CXX_COMPILER=clang++-14 -DTW_FUZZ_SECONDS=17
    ctest --test-dir build-fuzz --output-on-failure -j2
    ;;
  *)
    sed -n '2,6p' "$0" >&2
    exit 2
    ;;
esac
