#!/usr/bin/env bash
# Compiles (syntax only) every unit with Windows-only branches for a Windows
# target, against the system's Qt headers, so the SendInput/ShellExecute
# backends cannot rot unseen on Linux. Needs g++-mingw-w64-x86-64-posix and a
# configured build/default (for generated moc headers). Run by
# scripts/check-style.sh, which CI runs after the tests.
set -euo pipefail
cd "$(dirname "$0")/.."
cxx=x86_64-w64-mingw32-g++-posix
command -v "$cxx" >/dev/null || { echo "$cxx is missing (apt-get install g++-mingw-w64-x86-64-posix)" >&2; exit 2; }

qt=/usr/include/x86_64-linux-gnu/qt6
zlib=$(mktemp -d)
trap 'rm -rf "$zlib"' EXIT
cp /usr/include/zlib.h /usr/include/zconf.h "$zlib"/   # QuaZip's headers include zlib's
cp -r /usr/include/sodium.h /usr/include/sodium "$zlib"/ # the updater checks signatures
flags=(-std=c++20 -fsyntax-only -Wall -Wextra -Werror -Wno-attributes -DCOM_LIBRARY
       -I"$qt" -I"$qt"/QtCore -I"$qt"/QtGui -I"$qt"/QtWidgets -I"$qt"/QtNetwork -I"$qt"/QtConcurrent
       -Isource/com $(printf -- "-Isource/com/platform/%s " base lang net data os ui report) -Isource/com/libs -Isource/com/forms -Isource/launcher -Isource/host
       -I"$(ls -d /usr/include/QuaZip-Qt6-* | head -1)" -Ibuild/default/source/com/com_core_autogen/include -Ibuild/default/source/com/com_ui_autogen/include
       -idirafter "$zlib")

status=0
for f in $(grep -rlE 'Q_OS_WIN|_WIN32' source --include='*.cpp'); do
    if "$cxx" "${flags[@]}" "$f"; then echo "ok   $f"; else echo "FAIL $f"; status=1; fi
done
exit $status
