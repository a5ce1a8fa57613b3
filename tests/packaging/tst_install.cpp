// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/helplocation.h"
#include "tests/common/runcommand.h"

#include <QDirIterator>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

// Installs the build tree into a fresh prefix, as a package would: what lands where, and
// whether it works there.
class TestInstall final : public QObject
{
    Q_OBJECT

    QTemporaryDir m_prefix;

private slots:
    void initTestCase()
    {
        const auto [exitCode, output] =
            runCommand({QStringLiteral(QV12_CMAKE_COMMAND), u"--install"_s, QStringLiteral(QV12_BUILD_DIR),
                        u"--prefix"_s, m_prefix.path()});
        QVERIFY2(exitCode == 0, qPrintable(output));
    }

    void installation()
    {
        const QDir prefix(m_prefix.path());
        QStringList found;
        QDirIterator it(prefix.path(), QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
        while (it.hasNext())
            found.append(prefix.relativeFilePath(it.next()));
        QFile list(QStringLiteral(QV12_EXPECTED_FILES));
        QVERIFY(list.open(QIODevice::ReadOnly));
        QStringList expected = QString::fromUtf8(list.readAll())
                                   .replace(u"@APPSTREAM_ID@"_s, QStringLiteral(QV12_APPSTREAM_ID))
                                   .split(u'\n', Qt::SkipEmptyParts);
        if (QStringLiteral(QV12_SUPPORT_ADDRESS).isEmpty())
            expected.append(u"share/lintian/overrides/qv12-configurator"_s);
        found.sort();
        expected.sort();
        QCOMPARE(found, expected);

        // The installed program runs, and finds its manual from its own directory.
        using Result = std::pair<int, QString>;
        QCOMPARE(runCommand({prefix.filePath(u"bin/qv12-configurator"_s), u"--version"_s}),
                 Result(0, u"qv12-configurator 2.4\n"_s));
        QCOMPARE(helpIndexPath(prefix.path() + u'/', prefix.filePath(u"bin"_s)),
                 prefix.filePath(u"share/qv12-configurator/Help/index.html"_s));
        // The menu entry starts it and shows its icon; the desktop's checkers accept the
        // entry and the metainfo (desktop-file-utils and appstream, which test.sh installs).
        const QString entry = prefix.filePath(u"share/applications/qv12-configurator.desktop"_s);
        QCOMPARE(runCommand({u"grep"_s, u"-cx"_s, u"-e"_s, u"Exec=qv12-configurator"_s, u"-e"_s,
                             u"Icon=qv12-configurator"_s, entry}),
                 Result(0, u"2\n"_s));
        QCOMPARE(runCommand({u"desktop-file-validate"_s, entry}), Result(0, QString()));
        const Result metainfo =
            runCommand({u"appstreamcli"_s, u"validate"_s, u"--no-net"_s, u"--pedantic"_s,
                        prefix.filePath(u"share/metainfo/" QV12_APPSTREAM_ID ".metainfo.xml"_s)});
        QVERIFY2(metainfo.first == 0, qPrintable(metainfo.second));
    }
};

QTEST_MAIN(TestInstall)
#include "tst_install.moc"
