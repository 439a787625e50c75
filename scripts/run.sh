#!/usr/bin/env bash
# Installs what is missing, builds, and starts Calvane (arguments are passed on).
set -euo pipefail
cd "$(dirname "$0")/.."

./scripts/deps.sh
./scripts/build.sh build
exec ./build/bin/calvane "$@"
