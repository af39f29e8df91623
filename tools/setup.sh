#!/usr/bin/env bash
# One entry point for a fresh Debian machine:
#   bash tools/setup.sh run    install what is missing, build, run the sample model
#   bash tools/setup.sh test   install what is missing, build, run every test
#                              (once plainly, once under AddressSanitizer + UBSan)
# KALVIR_JOBS=N limits the parallel build and test jobs of both to N.
# KALVIR_OPENBLAS=1 lets the OpenBLAS it installs become the machine's default
# BLAS and LAPACK; otherwise the default stays as it was (README.md).
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
# Parallel build and test jobs: KALVIR_JOBS when set, else every processor.
jobs=${KALVIR_JOBS:-$(nproc 2>/dev/null || echo 2)}
packages=(g++ cmake ninja-build pkg-config libhdf5-dev zlib1g-dev liblapack-dev libopenblas-serial-dev libsuitesparse-dev
          hdf5-tools libgtest-dev libgmock-dev libbenchmark-dev)

install_missing() {
  local missing=()
  for p in "${packages[@]}"; do
    dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
  done
  if ((${#missing[@]})); then
    echo "installing: ${missing[*]}"
    local sudo=""
    [ "$(id -u)" -ne 0 ] && sudo=sudo
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}" >/dev/null
  fi
}

# The machine's default BLAS and LAPACK (Debian's alternatives) are the
# user's choice: installing libopenblas-serial-dev makes OpenBLAS the default
# of every program, so what was chosen before is put back afterwards, unless
# KALVIR_OPENBLAS=1 asks for OpenBLAS as the machine's default too. The
# project links OpenBLAS by its own path either way (README.md).
blas_selections() {  # "name mode value" of each BLAS and LAPACK link
  update-alternatives --get-selections 2>/dev/null | grep -E '^lib(blas|lapack)[.]so' || true
}

keep_machine_blas() {  # keep_machine_blas <blas_selections before the install>
  [ "${KALVIR_OPENBLAS:-}" = 1 ] && return 0
  local sudo="" name value before
  [ "$(id -u)" -ne 0 ] && sudo=sudo
  while read -r name _ value; do
    before=$(awk -v name="$name" '$1 == name { print $3 }' <<<"$1")
    # A link the install made anew: the reference library, which installing
    # it alone would have chosen.
    [ -n "$before" ] || before=$(update-alternatives --list "$name" | grep -v openblas | head -n 1 || true)
    if [ -n "$before" ] && [ "$before" != "$value" ]; then
      echo "keeping the machine's $name: $before"
      $sudo update-alternatives --set "$name" "$before" >/dev/null
    fi
  done < <(blas_selections)
}

build() {  # build <dir> [cmake args...]
  local dir=$1
  shift
  cmake -S "$here" -B "$dir" -G Ninja "$@" >/dev/null
  cmake --build "$dir" -j "$jobs"
}

run_sample() {
  # The model program, the tool that writes its inputs and the tool commands
  # for input files: the tests are not needed to run the sample.
  cmake -S "$here" -B "$here/build" -G Ninja -DKALVIR_TESTS=OFF >/dev/null
  cmake --build "$here/build" -j "$jobs" --target orvik_testbed_01 orvik_sample_inputs \
    kalvir_mdb_write kalvir_mdb_show kalvir_acd_write kalvir_fluid_property
  local rundir="$here/build/run"
  mkdir -p "$rundir"
  if [ -x "$here/build/orvik_sample_inputs" ]; then
    "$here/build/orvik_sample_inputs" "$rundir"
  fi
  cd "$rundir"
  local status=0
  "$here/build/orvik_testbed_01" >ORVIK_TESTBED_01.out || status=$?
  echo "run finished with exit status $status; outputs are in $rundir:"
  echo "  ORVIK_TESTBED_01.out  printed output (node tables, messages)"
  echo "  ORVIK_TE.MON          progress monitor"
  echo "  ORVIK_TE.TRA          trace file (messages when TRACE = 1)"
  echo "  *.TMD                 result files (HDF5)"
  return "$status"
}

phase() {  # phase <name> <command...>: runs the command and reports its wall time
  local name=$1 start=$SECONDS
  shift
  "$@"
  echo "== $name: $((SECONDS - start)) s"
}

run_tests() {
  # No debug information: nothing reads it here, and it costs a fifth of the
  # compile time of the tests. The code is that of the default build.
  # Nothing here rebuilds after an edit, so each test program's sources
  # compile as one unit: a batch parses the GoogleTest and library headers
  # once (README.md, the tests).
  local unity=-DKALVIR_TEST_UNITY_BATCH=1000
  # The tests on, whatever `run` left in the build tree's cache.
  local tests=-DKALVIR_TESTS=ON
  phase "plain build" build "$here/build" "-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=-O2 -g0 -DNDEBUG" $tests $unity
  phase "plain tests" ctest --test-dir "$here/build" -j "$jobs" --output-on-failure
  # Without the kernels' clones for newer processors, so that the code every
  # processor can run is tested too.
  phase "sanitizer build" build "$here/build-sanitize" -DCMAKE_BUILD_TYPE=Debug -DKALVIR_SANITIZE=ON -DKALVIR_TARGET_CLONES=OFF $tests $unity
  # Under the sanitizers the sample model program runs once end to end; the
  # comparisons that run it again with every solution routine and parameter
  # case, minutes each there, run in the plain build above. Their code paths
  # run under the sanitizers in the in-process tests.
  local repeated='(^|/)(SampleGear|SampleModal|SampleForwardBackward|SampleResultFile)\.|^RunProgram\.(AParameterCase|ParameterCases)'
  ASAN_OPTIONS=allocator_may_return_null=1:detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
    phase "sanitizer tests" ctest --test-dir "$here/build-sanitize" -j "$jobs" --output-on-failure -E "$repeated"
}

blas_before=$(blas_selections)
install_missing
keep_machine_blas "$blas_before"
case "${1:-}" in
  run) run_sample ;;
  test) run_tests ;;
  *) echo "usage: bash tools/setup.sh run|test" >&2; exit 2 ;;
esac
