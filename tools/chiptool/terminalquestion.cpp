// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "tools/chiptool/terminalquestion.h"

#include "serial/seriallink.h"
#include "tools/chiptool/console.h"

#include <QEventLoop>
#include <QSocketNotifier>

#include <cerrno>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace TerminalQuestion {

bool canAsk()
{
    return ::isatty(STDIN_FILENO);
}

bool askYesNo(Console &console, SerialLink &link, const QString &question)
{
    if (link.isCancelled())
        return false;
    console.prompt(question + u" [y/N] "_s);

    QByteArray answer;
    bool ended = false;
    QEventLoop loop;
    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&input, &QSocketNotifier::activated, &loop, [&] {
        // A terminal hands over whole lines: this read does not wait.
        char buffer[256];
        const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            return;
        if (n <= 0) {
            ended = true;
            loop.quit();
            return;
        }
        answer.append(buffer, n);
        if (answer.contains('\n'))
            loop.quit();
    });
    link.cancellation().onRequested(&loop, [&loop] { loop.quit(); });
    loop.exec();
    if (ended || link.isCancelled()) {
        console.prompt(u"\n"_s);
        return false;
    }
    const QByteArray word = answer.trimmed().toLower();
    return word == "y" || word == "yes";
}

} // namespace TerminalQuestion
