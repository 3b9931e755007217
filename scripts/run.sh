#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Installs what building and running need, builds the program and starts its window. Tests and
# benchmarks stay out of this build; scripts/test.sh builds them in the same folder.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh run
cmake --preset default -DQUILLMERE_BUILD_TESTS=OFF -DQUILLMERE_BUILD_BENCH=OFF >/dev/null
cmake --build --preset default --target quillmere
exec build/default/window/quillmere
