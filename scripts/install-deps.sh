#!/bin/sh
# Installs those of the named Debian packages that are not installed yet.
#
#   scripts/install-deps.sh [--no-install-recommends] PACKAGE...
#
# Nothing happens when every package is there. Otherwise the package lists are
# updated once and the missing packages installed with apt-get: directly when
# run as root, through sudo when it exists; failing both, the exact command
# to run is printed and the script fails. On a system without dpkg nothing
# can be checked: the script says so and leaves it to the user.
set -eu

options=""
if [ "${1:-}" = "--no-install-recommends" ]; then
    options="--no-install-recommends"
    shift
fi

if ! command -v dpkg-query >/dev/null 2>&1 || ! command -v apt-get >/dev/null 2>&1; then
    echo "install-deps: not a Debian or Ubuntu system; make sure these are installed: $*" >&2
    exit 0
fi

missing=""
for package in "$@"; do
    status=$(dpkg-query -W -f='${Status}' "$package" 2>/dev/null || true)
    case "$status" in
        *" installed") ;;
        *) missing="$missing $package" ;;
    esac
done
[ -n "$missing" ] || exit 0

if [ "$(id -u)" -eq 0 ]; then
    as_root=""
elif command -v sudo >/dev/null 2>&1; then
    as_root="sudo"
else
    command=$(echo "apt-get update && apt-get install -y $options $missing" | tr -s ' ')
    echo "install-deps: these Debian packages are missing:$missing" >&2
    echo "Run this as root, then try again:" >&2
    echo "    $command" >&2
    exit 1
fi

echo "Installing$missing ..."
export DEBIAN_FRONTEND=noninteractive
$as_root env DEBIAN_FRONTEND=noninteractive apt-get update -qq
# shellcheck disable=SC2086
$as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq $options $missing >/dev/null
