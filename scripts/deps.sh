#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing Calvane need.
# Does nothing when every one is already there; safe to run any number of times.
set -euo pipefail

packages=(
    cmake ninja-build g++ pkg-config
    clang libclang-rt-14-dev          # fuzzers and the sanitizer build
    qt6-base-dev libgl-dev            # Qt 6 (Gui needs the GL headers to configure)
    qt6-translations-l10n             # Qt's own texts in Japanese (qtbase_ja)
    libfluidsynth-dev librtmidi-dev   # preview playback
    libasound2-dev                    # ALSA: quiet its messages, find the sequencer
    libglib2.0-dev                    # GIO: the desktop trash, for any file name
    timgm6mb-soundfont                # a small General MIDI SoundFont
    fonts-ipafont-gothic              # Japanese captions
    libgtest-dev libgmock-dev libbenchmark-dev
    xvfb xauth                        # a real window without a display
    dpkg-dev desktop-file-utils appstream  # the Debian package, the menu entry and metadata checked
    man-db zsh fish                   # the manual pages rendered and the completions read in the install test
)

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$p")
    fi
done

if [ ${#missing[@]} -eq 0 ]; then
    exit 0
fi

echo "Installing: ${missing[*]}"
if [ "$(id -u)" -ne 0 ]; then
    SUDO=sudo
else
    SUDO=
fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
