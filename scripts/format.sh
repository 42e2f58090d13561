#!/usr/bin/env bash
# Formats every C++ source of the tree with the style in .clang-format.
#
# usage: scripts/format.sh            format the files in place
#        scripts/format.sh --check    list the files that differ from the style;
#                                     exits 1 when there are any
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"

if ! command -v clang-format >/dev/null 2>&1; then
    echo "format.sh: installing clang-format"
    sudo=""
    [ "$(id -u)" -eq 0 ] || sudo="sudo"
    $sudo apt-get update
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y --no-install-recommends clang-format
fi

mode="${1:-}"
case "$mode" in
    "" | --check) ;;
    *)
        echo "usage: scripts/format.sh [--check]" >&2
        exit 2
        ;;
esac

mapfile -d '' files < <(git ls-files -z --cached --others --exclude-standard -- '*.cpp' '*.h' '*.hpp' '*.cc')
[ "${#files[@]}" -gt 0 ] || exit 0

if [ "$mode" = "--check" ]; then
    differ=()
    for f in "${files[@]}"; do
        [ -f "$f" ] || continue
        if ! clang-format --style=file "$f" | cmp -s - "$f"; then
            differ+=("$f")
        fi
    done
    if [ "${#differ[@]}" -gt 0 ]; then
        printf '%s\n' "${differ[@]}"
        echo "format.sh: ${#differ[@]} files differ from the style; run scripts/format.sh" >&2
        exit 1
    fi
    exit 0
fi

printf '%s\0' "${files[@]}" | xargs -0 -r -n 50 clang-format --style=file -i
