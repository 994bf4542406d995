#!/usr/bin/env bash
# Builds a Release mixmidi and compares it with a do-nothing floor, csvmidi
# and mido: bench/run.sh [pairs, default 20000]. Needs midicsv and python3-mido.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --preset release >/dev/null
cmake --build --preset release -j2 >/dev/null
exec /usr/bin/python3 bench/bench.py build-release/mixmidi "${1:-20000}"
