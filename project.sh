#!/usr/bin/env bash
# The project's two jobs, each doing its own set-up on a fresh Debian machine:
#   ./project.sh run [ARGS...]   build, then run the stand-in server (ARGS go to tamewarden-sim;
#                                without ARGS it runs the demo, examples/demo.tws; --cluster
#                                alone rehearses the two-map cluster, examples/cluster/)
#   ./project.sh test            build, run every test, then run them again under ASan and UBSan,
#                                then the cluster's tests under ThreadSanitizer, then run each
#                                fuzz target for a bounded time
# Each step prints one line (at a terminal with its progress on that line); the full output of
# every step goes to build/project.log, whose path is printed when a step fails.
set -euo pipefail
cd "$(dirname "$0")"

packages=(cmake ninja-build g++ libspdlog-dev libfmt-dev nlohmann-json3-dev
          libgtest-dev libgmock-dev libbenchmark-dev python3 python3-rcon
          libmariadb-dev mariadb-server)
# The fuzz targets' compiler and its runtime libraries (libFuzzer, ASan, UBSan).
fuzz_packages=(clang-14 libclang-rt-14-dev)

mkdir -p build
log=build/project.log
: >"$log"
tty=
[ -t 1 ] && tty=1

# show TEXT: the step's line so far, at a terminal only; finish TEXT ends it.
show() { if [ -n "$tty" ]; then printf '\r\033[K%s' "$1"; fi; }
finish() { if [ -n "$tty" ]; then printf '\r\033[K%s\n' "$1"; else printf '%s\n' "$1"; fi; }

# step TEXT COMMAND...: runs COMMAND with its output in the log. Progress lines of ninja
# ("[3/98] ...") and ctest ("3/170 Test #...") update the line. On failure it shows what
# failed and where the full output is, then ends the script.
step() {
  local text=$1 line status start
  shift
  start=$(wc -l <"$log")
  printf '== %s: %s\n' "$text" "$*" >>"$log"
  show "$text"
  set +e
  "$@" 2>&1 | while IFS= read -r line; do
    printf '%s\n' "$line" >>"$log"
    if [ -n "$tty" ] && [[ $line =~ ^\[([0-9]+/[0-9]+)\]|^\ *([0-9]+/[0-9]+)\ Test ]]; then
      show "$text [${BASH_REMATCH[1]}${BASH_REMATCH[2]}]"
    fi
  done
  status=${PIPESTATUS[0]}
  set -e
  local output
  output=$(tail -n +"$((start + 2))" "$log")
  if [ "$status" -ne 0 ]; then
    finish "$text: failed"
    if grep -q '^The following tests FAILED:' <<<"$output"; then
      sed -n '/^The following tests FAILED:/,/^Errors while running CTest/p' <<<"$output" >&2
    else
      tail -n 15 <<<"$output" >&2
    fi
    echo "The full output is in $PWD/$log" >&2
    exit "$status"
  fi
  # ctest's own summary says more than "done".
  local summary
  summary=$(grep -E '^[0-9]+% tests passed' <<<"$output" | tail -n 1 || true)
  finish "$text: ${summary:-done}"
}

apt_install() {  # apt_install PACKAGE...
  local sudo=()
  [ "$(id -u)" -eq 0 ] || sudo=(sudo)
  "${sudo[@]}" apt-get update -qq &&
    "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive \
      apt-get install -y -qq --no-install-recommends "$@"
}

install_missing() {  # install_missing PACKAGE...
  local missing=() p
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
  done
  ((${#missing[@]} == 0)) && return
  step "installing ${#missing[@]} packages (${missing[*]})" apt_install "${missing[@]}"
}

build() {  # build DIR [CMAKE OPTIONS...]
  local dir=$1
  shift
  step "configuring $dir/" cmake -S . -B "$dir" -G Ninja "$@"
  step "building $dir/" cmake --build "$dir"
}

case "${1:-}" in
  run)
    shift
    install_missing "${packages[@]}"
    build build
    if [ "$*" = --cluster ]; then
      exec build/sim/tamewarden-sim --cluster TheIsland,Ragnarok examples/cluster/rehearsal.tws
    fi
    exec build/sim/tamewarden-sim "${@:-examples/demo.tws}"
    ;;
  test)
    install_missing "${packages[@]}" "${fuzz_packages[@]}"
    build build
    step "testing build/" ctest --test-dir build --output-on-failure -j2
    # Unoptimised with line tables only: the sanitizers find the same faults, and it builds fast.
    build build-asan -DTW_SANITIZE=ON -DTW_BUILD_BENCH=OFF -DCMAKE_BUILD_TYPE=Debug \
      -DCMAKE_CXX_FLAGS_DEBUG=-g1
    step "testing build-asan/" ctest --test-dir build-asan --output-on-failure -j2
    # The cluster's threads and its database layer under ThreadSanitizer: only their tests.
    step "configuring build-tsan/" cmake -S . -B build-tsan -G Ninja -DTW_TSAN=ON \
      -DTW_BUILD_BENCH=OFF -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG=-g1
    step "building build-tsan/" cmake --build build-tsan --target tw_cluster_tests tw_cluster_plugin_tests \
      tw_cluster_sync_tests
    step "testing build-tsan/" ctest --test-dir build-tsan --output-on-failure -j2 -L "^cluster$"
    # Only the fuzz targets and what they read, with clang; each runs for 17 seconds.
    build build-fuzz -DTW_FUZZ=ON -DCMAKE_CXX_COMPILER=clang++-14 -DTW_FUZZ_SECONDS=17
    step "fuzzing" ctest --test-dir build-fuzz --output-on-failure -j2
    ;;
  *)
    sed -n '2,8p' "$0" >&2
    exit 2
    ;;
esac
