#pragma once

#include <QString>

#include <array>

// The line settings of an open serial device, copied by value (termios2 on Linux, so
// that speeds such as 28800 survive), to be put on the device again through another
// descriptor.
//
// Why: QSerialPort puts back, when it closes, the settings it found when it opened.
// Bytes written just before the close are then taken by the far end (a pseudo-terminal
// host, or a UART still shifting them out) under the old settings. Opening once more
// after the device has been given our settings makes that restore a no-op.
class LineSettingsHolder final
{
public:
    bool capture(int fd);
    // Opens device without becoming its controlling process, applies, closes.
    bool applyTo(const QString &device) const;

private:
    alignas(8) std::array<unsigned char, 128> m_storage{};
    bool m_valid = false;
};
