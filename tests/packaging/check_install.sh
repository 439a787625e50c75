#!/usr/bin/env bash
# Installs the build into a temporary prefix and checks the layout a desktop needs,
# validates the menu entry and the software-centre description, then builds the
# Debian package and checks what it holds and depends on.
#   check_install.sh BUILD_DIR
set -euo pipefail
build=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

log=$(cmake --install "$build" --prefix "$work/usr")
expected=(
    usr/bin/calvane
    usr/bin/calvane-info
    usr/bin/calvane-rename
    usr/share/calvane/calvane.html
    usr/share/applications/org.calvane.Calvane.desktop
    usr/share/metainfo/org.calvane.Calvane.metainfo.xml
    usr/share/icons/hicolor/scalable/apps/org.calvane.Calvane.svg
)
for size in 16 24 32 48 64 128 256; do
    expected+=("usr/share/icons/hicolor/${size}x${size}/apps/org.calvane.Calvane.png")
done
for program in calvane calvane-info calvane-rename; do
    expected+=("usr/share/man/man1/$program.1")
done
# zsh looks in site-functions under any prefix but /usr, where the package puts them
# among the vendor's completions.
for tool in calvane-info calvane-rename; do
    expected+=("usr/share/bash-completion/completions/$tool" "usr/share/zsh/site-functions/_$tool"
        "usr/share/fish/vendor_completions.d/$tool.fish")
done
status=0
for f in "${expected[@]}"; do
    if [ ! -f "$work/$f" ]; then
        echo "missing from the installed tree: $f"
        status=1
    fi
done
for program in calvane calvane-info calvane-rename; do
    [ -x "$work/usr/bin/$program" ] || { echo "not executable: $program"; status=1; }
    # Installed once: a second rule for the same file shows as a second line.
    count=$(grep -c -E "^-- (Installing|Up-to-date): $work/usr/bin/$program\$" <<<"$log" || true)
    [ "$count" = 1 ] || { echo "$program installed $count times"; status=1; }
done
# Nothing of the build's own (tests, benchmarks, libraries) is installed.
extra=$(cd "$work" && find . -type f | sed 's|^\./||' | grep -v -x -F -f <(printf '%s\n' "${expected[@]}") || true)
if [ -n "$extra" ]; then
    echo "installed but not expected:"
    echo "$extra"
    status=1
fi

# The manual pages render without a warning.
for program in calvane calvane-info calvane-rename; do
    page="$work/usr/share/man/man1/$program.1"
    warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l "$page" 2>&1 >/dev/null || echo "man failed")
    [ -z "$warnings" ] || { echo "$program.1: $warnings"; status=1; }
done
# Each shell takes its completions: bash finds the function and completes a value,
# zsh and fish read theirs without a syntax error.
for tool in calvane-info calvane-rename; do
    got=$(bash -c 'source "$1" && complete -p "$2" >/dev/null &&
        COMP_WORDS=("$2" --encoding = e) && COMP_CWORD=3 && COMPREPLY=() &&
        { "$(complete -p "$2" | sed -n "s/.*-F \([^ ]*\) .*/\1/p")"; echo "${COMPREPLY[*]}"; }' _ \
        "$work/usr/share/bash-completion/completions/$tool" "$tool" 2>&1) || true
    [ "$got" = "euc-jp" ] || { echo "bash completion of $tool: $got"; status=1; }
    if command -v zsh >/dev/null; then
        zsh -n "$work/usr/share/zsh/site-functions/_$tool" || { echo "zsh completion of $tool"; status=1; }
    fi
    if command -v fish >/dev/null; then
        fish --no-execute "$work/usr/share/fish/vendor_completions.d/$tool.fish" ||
            { echo "fish completion of $tool"; status=1; }
    fi
done

desktop-file-validate "$work/usr/share/applications/org.calvane.Calvane.desktop" || status=1
appstreamcli validate --no-net "$work/usr/share/metainfo/org.calvane.Calvane.metainfo.xml" || status=1

(cd "$work" && cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/package" >/dev/null) || status=1
deb=$(ls "$work"/package/calvane_*.deb 2>/dev/null | head -n 1)
if [ -z "$deb" ]; then
    echo "cpack made no Debian package"
    exit 1
fi
control=$(dpkg-deb -f "$deb")
for want in "Package: calvane" "Depends: .*libqt6widgets6" "Depends: .*libfluidsynth" "Depends: .*qt6-translations-l10n" "Recommends: .*soundfont"; do
    grep -q -E "^$want" <<<"$control" || { echo "package control lacks: $want"; status=1; }
done
contents=$(dpkg-deb -c "$deb")
for f in "${expected[@]}"; do
    f=${f/usr\/share\/zsh\/site-functions/usr\/share\/zsh\/vendor-completions}
    grep -q -F "./$f" <<<"$contents" || { echo "package lacks: $f"; status=1; }
done
exit $status
