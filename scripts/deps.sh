#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, only those missing.
set -euo pipefail
exec bash "$(dirname "$0")/install-missing.sh" \
  cmake g++ gcc make pkg-config binutils libgtest-dev qt6-base-dev clang libclang-rt-14-dev clang-format acl attr python3
