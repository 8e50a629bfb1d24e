#!/usr/bin/env bash
# Installs what is needed, builds, and runs every test. The tests that open
# sockets or start the emulator (label "lan") run inside private network
# namespaces (scripts/netns-run.sh): nothing reaches the machine's real
# interfaces. The others need no root: `ctest --test-dir build -LE lan`.
set -euo pipefail
. "$(dirname "$0")/lib.sh"
ardel_as_root "$@"
cd "$ARDEL_ROOT"
scripts/setup.sh
scripts/build.sh build
ctest --test-dir build --output-on-failure -j"$ARDEL_JOBS" "$@"
