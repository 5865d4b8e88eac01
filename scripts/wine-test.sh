#!/usr/bin/env bash
# What ctest runs each test's Windows program with: Wine, in the slot ctest
# gave the test (scripts/wine-env.sh).
#   wine-test.sh <build folder> <program> [arguments...]
BUILD_DIR="$1"
shift
source "$(dirname "$0")/wine-env.sh"
exec wine "$@"
