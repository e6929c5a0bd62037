#!/usr/bin/env bash
# Builds the fuzz targets with clang in a build folder of their own and runs each one
# briefly over its committed seeds: a fixed seed and a fixed number of runs, so every run
# tries the same inputs. New inputs go to a throw-away folder; the seeds stay as committed.
# Usage: run-targets.sh <fuzz source dir> <work dir> [<CMake generator>].
# Exit 77 = skipped, with the reason.
set -uo pipefail
source_dir=$(cd "$1" && pwd)
work_dir=$2
generator=${3:-Ninja}

skip() {
  echo "SKIPPED: $*"
  exit 77
}

command -v clang++ >/dev/null || skip "clang++ is not installed"
mkdir -p "$work_dir"
work_dir=$(cd "$work_dir" && pwd)
# libFuzzer and the sanitizers' runtimes come apart from the compiler (libclang-rt-*-dev).
echo 'extern "C" int LLVMFuzzerTestOneInput(const unsigned char*, unsigned long) { return 0; }' |
  clang++ -x c++ -fsanitize=fuzzer,address,undefined -o "$work_dir/probe" - 2>"$work_dir/probe.log" ||
  skip "clang++ cannot link libFuzzer with the sanitizers (see $work_dir/probe.log)"

launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
build="$work_dir/clang"
cmake -S "$source_dir" -B "$build" -G "$generator" -DCMAKE_CXX_COMPILER=clang++ \
  "${launcher[@]}" >"$work_dir/configure.log" 2>&1 || {
  cat "$work_dir/configure.log"
  echo "FAILED: configuring the fuzz targets"
  exit 1
}
cmake --build "$build" -j2 || {
  echo "FAILED: building the fuzz targets"
  exit 1
}

# The same inputs on every run: libFuzzer's choices follow the seed as long as it does not
# re-read the corpus while running, and Qt's hashing and the addresses its compare tracing
# sees stay the same with a fixed hash seed and without address-space randomisation.
export QT_HASH_SEED=0
fixed=()
if setarch -R true 2>/dev/null; then
  fixed=(setarch -R)
else
  echo "note: setarch -R is not available here, so runs may differ slightly from one another"
fi

# Runs per target: each takes about ten seconds on a busy machine. The Jet target reads
# whole files, keeps its own output apart (see its top) and must not hang on one.
declare -A runs=([leading_number]=100000 [number_text]=100000 [field_text]=20000
  [registry_value]=100000 [jet_file]=10000)
declare -A options=([jet_file]="-max_len=98304 -close_fd_mask=3 -timeout=25")
status=0
for target in leading_number number_text field_text registry_value jet_file; do
  scratch=$(mktemp -d)
  started=$(date +%s)
  # shellcheck disable=SC2086 # the options are words
  if "${fixed[@]}" "$build/fuzz_$target" -seed=1 -runs="${runs[$target]}" -reload=0 \
    ${options[$target]:--max_len=2048} -artifact_prefix="$work_dir/$target-" \
    "$scratch" "$source_dir/corpus/$target" >"$work_dir/$target.log" 2>&1; then
    echo "$target: ${runs[$target]} runs in $(($(date +%s) - started)) s," \
      "$(grep -o 'cov: [0-9]* ft: [0-9]*' "$work_dir/$target.log" | tail -n 1)"
  else
    tail -n 40 "$work_dir/$target.log"
    echo "FAILED: $target (log $work_dir/$target.log; the input that failed is beside it)"
    status=1
  fi
  rm -rf "$scratch"
done
exit $status
