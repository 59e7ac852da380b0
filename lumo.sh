#!/bin/sh
# Runs make targets on a machine that has nothing but this repository: installs the Debian
# packages the build needs (make among them) and then hands the targets to make.
#
#   ./lumo.sh demo    builds and runs the demo
#   ./lumo.sh test    builds and runs the whole test suite
#
# Installing needs root (or sudo); once everything is present nothing is installed.
set -eu

if [ $# -eq 0 ]; then
    echo "usage: ./lumo.sh TARGET...   (demo, test, build, sanitize, bench, ...; see the Makefile)" >&2
    exit 2
fi

cd "$(dirname "$0")"

if ! command -v bash >/dev/null 2>&1; then
    # Every Debian system has bash; a stripped-down root may not.
    if [ "$(id -u)" -ne 0 ]; then
        echo "lumo.sh: bash is missing; run as root to install it" >&2
        exit 1
    fi
    DEBIAN_FRONTEND=noninteractive apt-get update -qq
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends bash
fi
bash scripts/install-deps.sh

exec make "$@"
