#include "serial/linesettingsholder.h"

#include <QFile>

#include <cstring>
#include <fcntl.h>
#include <unistd.h>

#ifdef __linux__
// termios2 lives in the kernel headers, which can't share a unit with <termios.h>.
#include <asm/termbits.h>
#include <sys/ioctl.h>
using Settings = struct termios2;
constexpr unsigned long GetRequest = TCGETS2;
constexpr unsigned long SetRequest = TCSETS2;
#else
#include <termios.h>
using Settings = struct termios;
#endif

static_assert(sizeof(Settings) <= 128);

bool LineSettingsHolder::capture(int fd)
{
    Settings settings{};
#ifdef __linux__
    m_valid = ::ioctl(fd, GetRequest, &settings) == 0;
#else
    m_valid = ::tcgetattr(fd, &settings) == 0;
#endif
    if (m_valid)
        std::memcpy(m_storage.data(), &settings, sizeof settings);
    return m_valid;
}

bool LineSettingsHolder::applyTo(const QString &device) const
{
    if (!m_valid)
        return false;
    const int fd = ::open(QFile::encodeName(device).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return false;
    Settings settings{};
    std::memcpy(&settings, m_storage.data(), sizeof settings);
#ifdef __linux__
    const bool ok = ::ioctl(fd, SetRequest, &settings) == 0;
#else
    const bool ok = ::tcsetattr(fd, TCSANOW, &settings) == 0;
#endif
    ::close(fd);
    return ok;
}
