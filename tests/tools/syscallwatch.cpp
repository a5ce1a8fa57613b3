// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
// Preloaded into a program under test (LD_PRELOAD): notes each write() to one file and
// each fsync() or fdatasync() of it, one line each ("write 1234", "fsync"), in a log, so
// that a test sees how the program hands a record to the disk. QV12_WATCH_FILE names the
// file, QV12_WATCH_LOG the log. Plain C++: it runs inside any program, sanitized or not.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <fcntl.h>
#include <limits.h>
#include <sys/types.h>
#include <sys/uio.h>
#include <unistd.h>

namespace {

using Write = ssize_t (*)(int, const void *, size_t);
using Writev = ssize_t (*)(int, const iovec *, int);
using Sync = int (*)(int);

Write realWrite()
{
    static const Write real = reinterpret_cast<Write>(::dlsym(RTLD_NEXT, "write"));
    return real;
}

bool watched(int fd)
{
    const char *file = std::getenv("QV12_WATCH_FILE");
    if (!file || fd < 0)
        return false;
    char link[64];
    std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    char target[PATH_MAX];
    const ssize_t n = ::readlink(link, target, sizeof target - 1);
    if (n <= 0)
        return false;
    target[n] = '\0';
    char resolved[PATH_MAX];
    return ::realpath(file, resolved) && std::strcmp(resolved, target) == 0;
}

void note(const char *what, long size)
{
    const char *log = std::getenv("QV12_WATCH_LOG");
    if (!log)
        return;
    const int saved = errno;
    const int fd = ::open(log, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (fd >= 0) {
        char line[64];
        const int length = size < 0 ? std::snprintf(line, sizeof line, "%s\n", what)
                                    : std::snprintf(line, sizeof line, "%s %ld\n", what, size);
        realWrite()(fd, line, size_t(length));
        ::close(fd);
    }
    errno = saved;
}

} // namespace

extern "C" ssize_t write(int fd, const void *buffer, size_t count)
{
    const ssize_t written = realWrite()(fd, buffer, count);
    if (watched(fd))
        note("write", long(count));
    return written;
}

extern "C" ssize_t writev(int fd, const iovec *parts, int count)
{
    static const Writev real = reinterpret_cast<Writev>(::dlsym(RTLD_NEXT, "writev"));
    const ssize_t written = real(fd, parts, count);
    if (watched(fd))
        note("writev", long(written));
    return written;
}

extern "C" int fsync(int fd)
{
    static const Sync real = reinterpret_cast<Sync>(::dlsym(RTLD_NEXT, "fsync"));
    if (watched(fd))
        note("fsync", -1);
    return real(fd);
}

extern "C" int fdatasync(int fd)
{
    static const Sync real = reinterpret_cast<Sync>(::dlsym(RTLD_NEXT, "fdatasync"));
    if (watched(fd))
        note("fsync", -1);
    return real(fd);
}
