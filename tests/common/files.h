// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

#include <chrono>
#include <fcntl.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

// Files as the tests make and inspect them, beside the program's own code for them.

// What contents() gives for a path with no file to read.
inline const QByteArray NoFile = "<no file>";

inline QByteArray contents(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : NoFile;
}

inline QString textOf(const QString &path)
{
    return QString::fromUtf8(contents(path));
}

inline bool put(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// What is at path: S_IFREG, S_IFIFO, S_IFCHR, S_IFDIR...; 0 when nothing is there.
inline mode_t fileType(const QString &path)
{
    struct stat info {};
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 ? info.st_mode & S_IFMT : 0;
}

inline bool makeFifo(const QString &path)
{
    return ::mkfifo(QFile::encodeName(path).constData(), 0644) == 0;
}

// The other end of a FIFO, opened ten seconds from now unless the test is over by then:
// should the code under test wait for it after all, the test goes on and the time tells.
class FifoOtherEndLater final
{
public:
    explicit FifoOtherEndLater(const QString &path)
        : m_thread([name = QFile::encodeName(path)](std::stop_token stop) {
              for (int i = 0; i < 100 && !stop.stop_requested(); ++i)
                  std::this_thread::sleep_for(std::chrono::milliseconds(100));
              const int fd = ::open(name.constData(), O_WRONLY | O_NONBLOCK);
              if (fd >= 0)
                  ::close(fd);
          })
    {
    }

private:
    std::jthread m_thread;
};
