#!/usr/bin/env bash
# Installs what is missing, builds in Release and starts the program in the
# working folder run/, which holds the sample data.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-packages.sh

cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release
cmake --build build/release -j "$(nproc)"

# The working folder run/ starts out with the generated sample data: skeleton,
# motion clips and scene. An existing run/ is left as it is; a failed
# generation leaves none, so the next start tries again.
if [[ ! -d run ]]; then
  build/release/tools/make_sample_data run || { rm -rf run; exit 1; }
fi

program=build/release/app/tavrin
if [[ ! -x "$program" ]]; then
  echo "Built the libraries; the program itself is not part of this version yet."
  exit 0
fi
