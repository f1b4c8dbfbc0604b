#!/usr/bin/env bash
# Fails on an include that runs against the layers of src/:
#   platform  <-  engine, link, services  <-  windows  <-  shell
# Each folder may include its own headers and those of the folders below it; the Qt backend
# (platform/qt) and the test kit (platform/testkit) only platform's. Nothing under src/
# includes the test kit, and no toolkit-free file includes the Qt backend.
set -euo pipefail
cd "$(dirname "$0")/.."

allowed() {
    case "$1" in
        platform | platform/qt | platform/qt/core | platform/testkit) echo "platform" ;;
        engine) echo "engine" ;;
        link) echo "link engine platform" ;;
        services) echo "services platform" ;;
        windows) echo "windows link services engine platform" ;;
        shell) echo "shell windows link services engine platform" ;;
        engine/monitor) echo "engine" ;;
    esac
}

bad=0
while IFS= read -r file; do
    folder=$(dirname "${file#src/}")
    ok=$(allowed "$folder")
    while IFS= read -r inc; do
        target=$(dirname "$inc")
        case "$target" in
            platform/qt) [ "$folder" = platform/qt ] || [ "$file" = src/shell/main.cpp ] && continue ;;
            platform/qt/core) case "$folder" in platform/qt | platform/qt/core | daemon) continue ;; esac ;;
            platform/testkit) [ "$folder" = platform/testkit ] && continue ;;
            *) for o in $ok; do [ "$target" = "$o" ] && continue 2; done ;;
        esac
        echo "$file includes $inc: against the layers" >&2
        bad=1
    done < <(sed -n 's/^#include "\([a-z/]*\/[A-Za-z0-9_.]*\)"/\1/p' "$file")
done < <(git ls-files 'src/*.cpp' 'src/*.h')
[ "$bad" = 0 ] && echo "layers ok"
exit "$bad"
