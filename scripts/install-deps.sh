#!/bin/sh
# Installs every Debian 12 package that building, testing and running the
# program needs. Safe to run again: it asks apt for nothing when all is there.
set -eu

PACKAGES="
g++ cmake make pkg-config git ca-certificates locales
libgtest-dev libgmock-dev
qt6-base-dev qt6-declarative-dev qt6-tools-dev qt6-tools-dev-tools qt6-l10n-tools qt6-translations-l10n
qt6-qpa-plugins qt6-xdgdesktopportal-platformtheme qml6-module-qtquick qml6-module-qtquick-window
qml6-module-qtquick-layouts qml6-module-qtqml qml6-module-qtqml-workerscript
qml6-module-qttest libqt6quicktest6
libavformat-dev libavcodec-dev libavutil-dev libswscale-dev libswresample-dev
libmp3lame-dev libjpeg-dev libexif-dev portaudio19-dev libportaudiocpp0
libboost-dev libboost-thread-dev libboost-chrono-dev libboost-system-dev
libboost-serialization-dev libboost-regex-dev libboost-date-time-dev
libboost-program-options-dev libboost-random-dev libboost-filesystem-dev
libxcb1-dev libfuse3-dev
xvfb xauth openbox x11-utils ffmpeg jackd2 libjack-jackd2-dev libasound2-plugins util-linux
clang-14 libclang-rt-14-dev llvm-14
"

# Tests check that numbers never follow a decimal-comma locale.
ensure_test_locale() {
    if ! locale -a 2>/dev/null | grep -qi '^de_DE\.utf-\?8$'; then
        $SUDO localedef -i de_DE -f UTF-8 de_DE.UTF-8 || true
    fi
}

if [ "$(id -u)" -ne 0 ]; then
    SUDO=sudo
else
    SUDO=
fi

missing=""
for p in $PACKAGES; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed"; then
        missing="$missing $p"
    fi
done

if [ -z "$missing" ]; then
    ensure_test_locale
    exit 0
fi

echo "Installing:$missing"
export DEBIAN_FRONTEND=noninteractive
# jackd2 asks whether to enable realtime scheduling; answer it in advance.
echo "jackd2 jackd/tweak_rt_limits boolean false" | $SUDO debconf-set-selections 2>/dev/null || true
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends $missing >/dev/null
ensure_test_locale
