#!/usr/bin/env bash
# Holds the source tree to its layers: an include never runs from a lower folder to a
# higher one, the command-line tools use no widgets or Qt Gui (and do not link them), and
# no source file grows past the size one reader can keep in mind.
#   check_layers.sh SOURCE_DIR [BUILD_DIR]
set -euo pipefail
src=$1/src
build=${2:-}
core="errors platform midi settings rename player"

# What each folder may include, besides itself.
allowed() {
    case $1 in
    errors) echo "" ;;
    platform) echo "errors" ;;
    midi) echo "errors platform" ;;
    settings) echo "errors platform" ;;
    rename) echo "errors platform midi settings" ;;
    player) echo "errors platform midi" ;;
    audio) echo "$core" ;;
    report) echo "$core" ;;
    gui/widgets) echo "$core" ;;
    gui/desktop) echo "$core" ;;
    gui) echo "$core audio report gui/widgets gui/desktop" ;;
    cli/*) echo "$core" ;;
    *) echo "?" ;;
    esac
}

# The folder a path under src/ belongs to, as the table names it.
folder_of() {
    case $1 in
    gui/widgets/* | gui/desktop/*) echo "${1%/*}" ;;
    cli/*/*) echo "$(cut -d/ -f1-2 <<<"$1")" ;;
    */*) echo "${1%%/*}" ;;
    esac
}

status=0
while IFS= read -r file; do
    rel=${file#"$src"/}
    from=$(folder_of "$rel")
    may=$(allowed "$from")
    if [ "$may" = "?" ]; then
        echo "$rel: its folder has no place in the layers"
        status=1
        continue
    fi
    while IFS= read -r target; do
        to=$(folder_of "$target")
        [ "$to" = "$from" ] && continue
        if ! grep -q -w -F -- "$to" <<<"$may"; then
            echo "$rel includes $target: $from may not include $to"
            status=1
        fi
    done < <(sed -n 's/^#include "\([^"]*\)".*/\1/p' "$file")
    if [[ $from == cli/* ]] && grep -q -E '^#include <(QtWidgets|QtGui|QWidget|QApplication|QGuiApplication|QImage|QPixmap|QIcon)' "$file"; then
        echo "$rel: a command-line tool includes a widget or Qt Gui header"
        status=1
    fi
    lines=$(wc -l <"$file")
    if [ "$lines" -gt 850 ]; then
        echo "$rel: $lines lines; split it by what the code does"
        status=1
    fi
done < <(find "$src" -name '*.h' -o -name '*.cpp' | sort)

if [ -n "$build" ]; then
    for tool in calvane-info calvane-rename; do
        exe="$build/bin/$tool"
        [ -x "$exe" ] || continue
        if ldd "$exe" | grep -q -E 'libQt6(Widgets|Gui)'; then
            echo "$tool links Qt Widgets or Qt Gui"
            status=1
        fi
    done
fi
exit $status
