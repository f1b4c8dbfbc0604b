#!/usr/bin/env bash
# Fails when a tracked C++ file differs from what .clang-format makes of it; names each such file.
set -euo pipefail
cd "$(dirname "$0")/.."
CLANG_FORMAT=${CLANG_FORMAT:-clang-format}
command -v "$CLANG_FORMAT" >/dev/null || { echo "check-format: $CLANG_FORMAT not found" >&2; exit 2; }
bad=()
while IFS= read -r -d '' f; do
    "$CLANG_FORMAT" --dry-run -Werror "$f" >/dev/null 2>&1 || bad+=("$f")
done < <(git ls-files -z -- '*.cpp' '*.h')
if [ ${#bad[@]} -ne 0 ]; then
    echo "not formatted (run clang-format -i on them):"
    printf '  %s\n' "${bad[@]}"
    exit 1
fi
echo "format ok"
