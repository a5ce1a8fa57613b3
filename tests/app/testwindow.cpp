// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "testwindow.h"

#include <QDir>
#include <QFile>
#include <QListView>
#include <QRadioButton>
#include <QTest>

using namespace Qt::StringLiterals;

QByteArray cdbBytes(const QList<Entry> &entries)
{
    QByteArray bytes = "KLVPRINTERSCDB0" + QByteArray(1, char(entries.size())) + "\r\n";
    for (const Entry &entry : entries)
        bytes += entry.first.toLatin1().leftJustified(16, ' ', true) + entry.second.toLatin1() + "\r\n";
    return bytes;
}

QByteArray goldenFile(const QString &name)
{
    return contents(QStringLiteral(QV12_TEST_DATA) + u"/app/"_s + name);
}

TestWindow::TestWindow(const std::optional<QByteArray> &defaultCdb)
    : m_previousDirectory(QDir::currentPath())
{
    if (!m_dir.isValid() || !QDir::setCurrent(m_dir.path()) || (defaultCdb && !put(path(u"default.cdb"_s), *defaultCdb)))
        qFatal("Cannot prepare the start directory");
    m_window = std::make_unique<MainWindow>(context);
    m_window->runLoadSteps();
    m_window->show();
    if (!QTest::qWaitForWindowExposed(m_window.get()))
        qFatal("The main window did not appear");
}

TestWindow::~TestWindow()
{
    // A prompt announced but never shown is a failure too, in every test.
    if (!prompter.pending().isEmpty())
        QTest::qFail(qPrintable(u"Prompts not shown: "_s + prompter.pending()), __FILE__, __LINE__);
    m_window.reset();
    QDir::setCurrent(m_previousDirectory);
}

QList<Entry> TestWindow::entries() const
{
    const QAbstractItemModel *list = get<QListView>("mechanismList")->model();
    QList<Entry> entries;
    for (int row = 0; row < list->rowCount(); ++row) {
        const QModelIndex line = list->index(row, 0);
        entries.append({line.data().toString(), line.data(MechanismList::WordRole).toString()});
    }
    return entries;
}

QStringList TestWindow::checked() const
{
    QStringList names;
    for (const QRadioButton *option : m_window->findChildren<QRadioButton *>())
        if (option->isChecked())
            names.append(option->objectName());
    names.sort();
    return names;
}

void TestWindow::click(const char *name)
{
    // Near the left edge, half-way down: inside any button, and on an option's circle
    // (an option answers only on its circle and caption, which may be narrower than the
    // widget that the layout stretched).
    auto *button = get<QAbstractButton>(name);
    QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(6, button->height() / 2));
}

void TestWindow::clickRow(int row, Qt::MouseButton button)
{
    auto *view = get<QListView>("mechanismList");
    const QModelIndex index = view->model()->index(row, view->modelColumn());
    view->scrollTo(index);
    QTest::mouseClick(view->viewport(), button, {}, view->visualRect(index).center());
}
