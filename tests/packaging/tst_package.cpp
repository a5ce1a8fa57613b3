// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "tests/common/runcommand.h"

#include <QDate>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QXmlStreamReader>

using namespace Qt::StringLiterals;

// The package's documentation folder, in the unpacked package.
static const QString docDir = u"usr/share/doc/qv12-configurator/"_s;

static QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Builds the Debian package from the build tree as `cpack -G DEB` does, into a folder of
// its own, and looks at it the way Debian's tools and a user's apt do.
class TestPackage final : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_deb;
    QDir m_root; // the package's files, unpacked

    QString field(const QString &name) const
    {
        const auto [exitCode, output] = runCommand({u"dpkg-deb"_s, u"--field"_s, m_deb, name});
        return exitCode == 0 ? output : QString();
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        const auto [exitCode, output] =
            runCommand({QStringLiteral(QV12_CPACK_COMMAND), u"-G"_s, u"DEB"_s, u"--config"_s,
                        QStringLiteral(QV12_BUILD_DIR "/CPackConfig.cmake"), u"-B"_s, m_dir.path()},
                       300000);
        QVERIFY2(exitCode == 0, qPrintable(output));
        const QStringList debs = QDir(m_dir.path()).entryList({u"*.deb"_s}, QDir::Files);
        QCOMPARE(debs.size(), 1);
        QVERIFY2(debs.first().startsWith(u"qv12-configurator_" QV12_VERSION "_"_s), qPrintable(debs.first()));
        m_deb = m_dir.filePath(debs.first());

        m_root.setPath(m_dir.filePath(u"root"_s));
        const auto [unpacked, unpackOutput] = runCommand({u"dpkg-deb"_s, u"-x"_s, m_deb, m_root.path()});
        QVERIFY2(unpacked == 0, qPrintable(unpackOutput));
    }

    // The addresses the build was given, and where it was given none, none at all: no
    // homepage, and the maintainer with an empty address rather than a made-up one.
    void addresses()
    {
        const QString web = QStringLiteral(QV12_WEB_ADDRESS);
        const auto [exitCode, control] = runCommand({u"dpkg-deb"_s, u"--field"_s, m_deb});
        QCOMPARE(exitCode, 0);
        QCOMPARE(control.contains(u"\nHomepage: "_s + web + u'\n'), !web.isEmpty());
        QCOMPARE(control.contains(u"\nHomepage:"_s), !web.isEmpty());
        QCOMPARE(field(u"Maintainer"_s), u"QV12 Configurator maintainers <" QV12_SUPPORT_ADDRESS ">\n"_s);
        const QString copyright = QString::fromUtf8(readFile(m_root.filePath(docDir + u"copyright"_s)));
        QFile metainfo(m_root.filePath(u"usr/share/metainfo/" QV12_APPSTREAM_ID ".metainfo.xml"_s));
        QVERIFY(metainfo.open(QIODevice::ReadOnly));
        const QString appstream = QString::fromUtf8(metainfo.readAll());
        const QRegularExpression placeholder(u"example\\.(org|com|net)"_s);
        // The AppStream id is a name, not an address; its text is taken out first.
        for (const QString &text : {control, copyright, QString(appstream).remove(QStringLiteral(QV12_APPSTREAM_ID))})
            QVERIFY2(!placeholder.match(text).hasMatch(), qPrintable(text));
        QCOMPARE(appstream.contains(u"<url type=\"homepage\">"_s), !web.isEmpty());
        // Lintian is told why the maintainer has no address, and only then.
        QCOMPARE(QFile::exists(m_root.filePath(u"usr/share/lintian/overrides/qv12-configurator"_s)),
                 QStringLiteral(QV12_SUPPORT_ADDRESS).isEmpty());
    }

    // The licence in Debian's machine-readable form; the source tree's LICENSE is the
    // whole text it points to.
    void copyright()
    {
        const QString text = QString::fromUtf8(readFile(m_root.filePath(docDir + u"copyright"_s)));
        const QStringList paragraphs = text.split(u"\n\n"_s);
        QCOMPARE(paragraphs.size(), 2);
        QCOMPARE(paragraphs[0],
                 u"Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/\n"
                 "Upstream-Name: QV12 Configurator\n"
                 "Upstream-Contact: QV12 Configurator maintainers <" QV12_SUPPORT_ADDRESS ">"_s
                     + (QStringLiteral(QV12_WEB_ADDRESS).isEmpty() ? QString() : u"\nSource: " QV12_WEB_ADDRESS ""_s));
        QVERIFY2(paragraphs[1].startsWith(u"Files: *\n"
                                          "Copyright: 2026 QV12 Configurator contributors\n"
                                          "License: GPL-3+\n"
                                          " This program is free software: "_s),
                 qPrintable(paragraphs[1]));
        QVERIFY(paragraphs[1].contains(u"version 3 of the License, or\n (at your option) any later version."_s));
        QVERIFY(paragraphs[1].endsWith(u" version 3 can be found in \"/usr/share/common-licenses/GPL-3\".\n"_s));

        const QByteArray gpl = readFile(u"/usr/share/common-licenses/GPL-3"_s);
        if (gpl.isEmpty())
            QSKIP("/usr/share/common-licenses/GPL-3 (base-files) is not there to compare LICENSE with");
        QVERIFY(readFile(QStringLiteral(QV12_SOURCE_DIR "/LICENSE")) == gpl);
    }

    // A Debian changelog whose latest entry is this release: the package's version, the
    // maintainer, and the day the AppStream data gives for it.
    void changelog()
    {
        const QString compressed = m_root.filePath(docDir + u"changelog.gz"_s);
        const auto [exitCode, text] = runCommand({u"gzip"_s, u"-dc"_s, compressed});
        QCOMPARE(exitCode, 0);
        const QString plain = m_dir.filePath(u"changelog"_s);
        QFile out(plain);
        QVERIFY(out.open(QIODevice::WriteOnly));
        out.write(text.toUtf8());
        out.close();
        const auto parsed = [&](const QString &name) {
            return runCommand({u"dpkg-parsechangelog"_s, u"-l"_s, plain, u"-S"_s, name});
        };
        using Result = std::pair<int, QString>;
        QCOMPARE(parsed(u"Source"_s), Result(0, u"qv12-configurator\n"_s));
        QCOMPARE(parsed(u"Version"_s), Result(0, u"" QV12_VERSION "\n"_s));
        QCOMPARE(field(u"Version"_s), u"" QV12_VERSION "\n"_s);
        QCOMPARE(parsed(u"Maintainer"_s), Result(0, field(u"Maintainer"_s)));

        const auto [dateStatus, date] = parsed(u"Date"_s);
        QCOMPARE(dateStatus, 0);
        const QDateTime changed = QDateTime::fromString(date.trimmed(), Qt::RFC2822Date);
        QVERIFY2(changed.isValid(), qPrintable(date));

        QFile metainfo(m_root.filePath(u"usr/share/metainfo/" QV12_APPSTREAM_ID ".metainfo.xml"_s));
        QVERIFY(metainfo.open(QIODevice::ReadOnly));
        // The first release listed is the latest.
        QXmlStreamReader xml(&metainfo);
        while (!xml.atEnd()
               && !(xml.readNext() == QXmlStreamReader::StartElement && xml.name() == u"release"_s)) {
        }
        QVERIFY2(!xml.atEnd(), "no release in the AppStream data");
        const QString releaseVersion = xml.attributes().value(u"version"_s).toString();
        const QString releaseDate = xml.attributes().value(u"date"_s).toString();
        QCOMPARE(releaseVersion, u"" QV12_VERSION ""_s);
        QCOMPARE(changed.date(), QDate::fromString(releaseDate, Qt::ISODate));
    }

    // Every program has its manual page.
    void manualPages()
    {
        const QStringList programs = QDir(m_root.filePath(u"usr/bin"_s)).entryList(QDir::Files);
        QVERIFY(!programs.isEmpty());
        for (const QString &program : programs)
            QVERIFY2(QFile::exists(m_root.filePath(u"usr/share/man/man1/"_s + program + u".1.gz"_s)),
                     qPrintable(program));
    }

    // Debian's own checker: no error, no warning. Its information lines are allowed.
    void lintian()
    {
        if (QStandardPaths::findExecutable(u"lintian"_s).isEmpty())
            QSKIP("lintian is not installed");
        const auto [exitCode, output] = runCommand({u"lintian"_s, m_deb}, 600000);
        QStringList complaints;
        for (const QString &line : output.split(u'\n'))
            if (line.startsWith(u"E: "_s) || line.startsWith(u"W: "_s))
                complaints.append(line);
        QVERIFY2(exitCode == 0 && complaints.isEmpty(), qPrintable(output));
    }

    // The programs carry what Debian's hardening flags give: PIE, stack protector,
    // fortified libc calls, RELRO, BIND_NOW. Control-flow protection is not asked:
    // Debian 12's C library start files are built without it, so no program linked
    // with them can have it.
    void hardening()
    {
        if (!QV12_HARDENED)
            QSKIP("this build has no hardening flags (a Debug build, or no dpkg-buildflags)");
        if (QStandardPaths::findExecutable(u"hardening-check"_s).isEmpty())
            QSKIP("hardening-check (devscripts) is not installed");
        const QDir bin(m_root.filePath(u"usr/bin"_s));
        const QStringList programs = bin.entryList(QDir::Files);
        QVERIFY(!programs.isEmpty());
        for (const QString &program : programs) {
            const auto [exitCode, output] =
                runCommand({u"hardening-check"_s, u"--nocfprotection"_s, bin.filePath(program)});
            QVERIFY2(exitCode == 0, qPrintable(output));
        }
    }
};

QTEST_GUILESS_MAIN(TestPackage)
#include "tst_package.moc"
