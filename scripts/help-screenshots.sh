#!/usr/bin/env bash
# SPDX-FileCopyrightText: QV12 Configurator contributors
# SPDX-License-Identifier: GPL-3.0-or-later
# Photographs the windows that the manual shows into help/images/ (port selection and
# main window against a simulated chip, About, help window). The windows run on Qt's
# offscreen platform: no display is needed.
# scripts/screenshot.sh makes the README's picture of the main window on an X server.
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/ensure-packages.sh
qv12_ensure_packages "${QV12_BUILD_PACKAGES[@]}"
. scripts/ensure-build-dir.sh
qv12_ensure_build_dir build
qv12_give_back_at_exit build help/images

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build --parallel "$(nproc)" --target qv12-help-screenshots
QT_QPA_PLATFORM=offscreen build/packaging/qv12-help-screenshots help help/images
