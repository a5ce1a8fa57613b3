// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
// Interposes open64(), which QSerialPort opens its device with, in the test executable.
// <fcntl.h> is left out on purpose: its declaration of open64 carries attributes that
// this definition need not repeat.
#include "opencounter.h"

#include <QMutex>

#include <atomic>
#include <cstdarg>
#include <dlfcn.h>
#include <sys/types.h>

namespace {

QMutex watchedMutex;
QByteArray watched;
std::atomic<int> count{0};
constexpr int CreateFlags = 0100 | 020000000;  // O_CREAT | O_TMPFILE: the mode follows

} // namespace

namespace OpenCounter {

void watch(const QByteArray &path)
{
    QMutexLocker lock(&watchedMutex);
    watched = path;
    count = 0;
}

int opens()
{
    return count;
}

} // namespace OpenCounter

extern "C" int open64(const char *path, int flags, ...)
{
    mode_t mode = 0;
    if (flags & CreateFlags) {
        va_list arguments;
        va_start(arguments, flags);
        mode = va_arg(arguments, mode_t);
        va_end(arguments);
    }
    using Open = int (*)(const char *, int, ...);
    static const Open real = reinterpret_cast<Open>(::dlsym(RTLD_NEXT, "open64"));
    {
        QMutexLocker lock(&watchedMutex);
        if (!watched.isEmpty() && watched == path)
            ++count;
    }
    return real(path, flags, mode);
}
