// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/appcontext.h"

#include "app/commandline.h"

#include <QDir>

AppContext::AppContext(Prompter &prompter)
    : m_prompter(prompter)
{
}

void AppContext::recordStartDirectory()
{
    m_startDirectory = QDir::currentPath();
    // The root directory already ends in a separator; a second one would only clutter
    // the paths built from it.
    if (!m_startDirectory.endsWith(u'/'))
        m_startDirectory += u'/';
}

void AppContext::refreshPorts()
{
    if (m_usesSystemPorts)
        m_ports.refresh();
}

void AppContext::takePorts(const CommandLine &commandLine, const QString &simulatedDevice)
{
    for (const PortAssignment &assignment : commandLine.ports)
        m_ports.assign(assignment.port, assignment.device);
    if (!simulatedDevice.isEmpty())
        m_ports.assign(1, simulatedDevice);
    m_usesSystemPorts = commandLine.systemPorts;
}
