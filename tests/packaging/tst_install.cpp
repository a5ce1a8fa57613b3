#include "app/helplocation.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QXmlStreamReader>

using namespace Qt::StringLiterals;

namespace {

const QString BuildDirectory = QStringLiteral(QV12_BUILD_DIR);
const QString SourceDirectory = QStringLiteral(QV12_SOURCE_DIR);
const QString AppStreamId = QStringLiteral(QV12_APPSTREAM_ID);

QByteArray readAll(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

struct Run
{
    int exitCode = -1;
    QByteArray output;
};

Run run(const QString &program, const QStringList &arguments, int timeoutMs = 60000)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    Run result;
    if (!process.waitForFinished(timeoutMs)) {
        process.kill();
        process.waitForFinished();
        result.output = "did not finish: " + process.readAll();
        return result;
    }
    result.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    result.output = process.readAll();
    return result;
}

// The key=value lines of a desktop entry's main group.
QMap<QString, QString> desktopEntry(const QString &path)
{
    QMap<QString, QString> entries;
    const QStringList lines = QString::fromUtf8(readAll(path)).split(u'\n');
    bool inMainGroup = false;
    for (const QString &line : lines) {
        if (line.startsWith(u'['))
            inMainGroup = line == u"[Desktop Entry]"_s;
        else if (inMainGroup && line.contains(u'='))
            entries.insert(line.section(u'=', 0, 0), line.section(u'=', 1));
    }
    return entries;
}

} // namespace

// Installs the build tree into a fresh prefix, as a package would, and checks what lands
// where.
class TestInstall final : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();

    void installedFiles();
    void manualIsComplete();
    void programsRun_data();
    void programsRun();
    void desktopEntry();
    void icon();
    void metainfo();
    void validators_data();
    void validators();
    void manPages_data();
    void manPages();

private:
    QString installed(const QString &relative) const { return m_prefix.filePath(relative); }

    QTemporaryDir m_prefix;
};

void TestInstall::initTestCase()
{
    QVERIFY(m_prefix.isValid());
    const Run install = run(QStringLiteral(QV12_CMAKE_COMMAND),
                            {u"--install"_s, BuildDirectory, u"--prefix"_s, m_prefix.path()});
    QVERIFY2(install.exitCode == 0, install.output.constData());
}

void TestInstall::installedFiles()
{
    QStringList found;
    QDirIterator it(m_prefix.path(), QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext())
        found.append(QDir(m_prefix.path()).relativeFilePath(it.next()));
    found.sort();

    QStringList expected = QString::fromUtf8(readAll(QStringLiteral(QV12_EXPECTED_FILES)))
                               .replace(u"@APPSTREAM_ID@"_s, AppStreamId)
                               .split(u'\n', Qt::SkipEmptyParts);
    expected.sort();

    for (const QString &file : expected)
        QVERIFY2(found.contains(file), qPrintable(u"not installed: "_s + file));
    for (const QString &file : found)
        QVERIFY2(expected.contains(file), qPrintable(u"installed but not expected: "_s + file));
}

void TestInstall::manualIsComplete()
{
    // The installed manual is the source's, file for file and byte for byte.
    const QDir source(SourceDirectory + u"/help"_s);
    QDirIterator it(source.path(), {u"*.html"_s, u"*.css"_s, u"*.png"_s}, QDir::Files,
                    QDirIterator::Subdirectories);
    int files = 0;
    while (it.hasNext()) {
        const QString path = it.next();
        const QString target = installed(u"share/qv12-configurator/Help/"_s + source.relativeFilePath(path));
        QVERIFY2(QFileInfo(target).isFile(), qPrintable(target));
        QVERIFY2(readAll(target) == readAll(path), qPrintable(target));
        ++files;
    }
    QVERIFY(files > 10);
    // The installed program, started anywhere else, finds it from its own directory.
    QTemporaryDir elsewhere;
    QCOMPARE(helpIndexPath(elsewhere.path() + u"/"_s, installed(u"bin"_s)),
             installed(u"share/qv12-configurator/Help/index.html"_s));
}

void TestInstall::programsRun_data()
{
    QTest::addColumn<QString>("program");
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("qv12-configurator --version")
        << u"qv12-configurator"_s << QStringList{u"--version"_s} << 0
        << QByteArray("qv12-configurator 2.4\n");
    QTest::newRow("qv12-cdb without a command")
        << u"qv12-cdb"_s << QStringList{} << 2 << QByteArray("qv12-cdb");
    QTest::newRow("qv12-chipsim --help")
        << u"qv12-chipsim"_s << QStringList{u"--help"_s} << 0 << QByteArray("--link");
}

void TestInstall::programsRun()
{
    QFETCH(QString, program);
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QByteArray, expected);
    const QString path = installed(u"bin/"_s + program);
    QVERIFY(QFileInfo(path).isExecutable());
    const Run result = run(path, arguments);
    QVERIFY2(result.exitCode == exitCode, result.output.constData());
    QVERIFY2(result.output.contains(expected), result.output.constData());
}

void TestInstall::desktopEntry()
{
    const auto entry = ::desktopEntry(installed(u"share/applications/qv12-configurator.desktop"_s));
    QCOMPARE(entry.value(u"Type"_s), u"Application"_s);
    QCOMPARE(entry.value(u"Name"_s), u"QV12 Configurator"_s);
    // The menu starts the installed program by name and shows the installed icon.
    QCOMPARE(entry.value(u"Exec"_s), u"qv12-configurator"_s);
    QVERIFY(QFileInfo(installed(u"bin/"_s + entry.value(u"Exec"_s))).isExecutable());
    QCOMPARE(entry.value(u"Icon"_s), u"qv12-configurator"_s);
    QCOMPARE(entry.value(u"Terminal"_s), u"false"_s);
    QCOMPARE(entry.value(u"Categories"_s), u"Development;Electronics;"_s);
}

void TestInstall::icon()
{
    QImageReader reader(installed(u"share/icons/hicolor/scalable/apps/qv12-configurator.svg"_s));
    QCOMPARE(reader.format(), QByteArray("svg"));
    reader.setScaledSize(QSize(48, 48));
    const QImage image = reader.read();
    QVERIFY2(!image.isNull(), qPrintable(reader.errorString()));
    // A square icon with a transparent corner and something drawn in the middle.
    QCOMPARE(image.size(), QSize(48, 48));
    QCOMPARE(qAlpha(image.pixel(0, 0)), 0);
    QVERIFY(qAlpha(image.pixel(24, 36)) > 0);
}

void TestInstall::metainfo()
{
    QFile file(installed(u"share/metainfo/"_s + AppStreamId + u".metainfo.xml"_s));
    QVERIFY(file.open(QIODevice::ReadOnly));
    QXmlStreamReader xml(&file);
    QMap<QString, QString> values;
    QString releaseVersion;
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        const QString name = xml.name().toString();
        if (name == u"release"_s) {
            releaseVersion = xml.attributes().value(u"version"_s).toString();
        } else if (name == u"id"_s || name == u"launchable"_s || name == u"url"_s
                   || name == u"icon"_s) {
            values.insert(name, xml.readElementText());
        }
    }
    QVERIFY2(!xml.hasError(), qPrintable(xml.errorString()));
    QCOMPARE(values.value(u"id"_s), AppStreamId);
    QCOMPARE(values.value(u"launchable"_s), u"qv12-configurator.desktop"_s);
    QCOMPARE(values.value(u"icon"_s), u"qv12-configurator"_s);
    QCOMPARE(values.value(u"url"_s), QStringLiteral(QV12_WEB_ADDRESS));
    QCOMPARE(releaseVersion, u"2.4"_s);
}

void TestInstall::validators_data()
{
    QTest::addColumn<QString>("tool");
    QTest::addColumn<QStringList>("arguments");
    QTest::newRow("desktop-file-validate")
        << u"desktop-file-validate"_s
        << QStringList{installed(u"share/applications/qv12-configurator.desktop"_s)};
    QTest::newRow("appstreamcli validate")
        << u"appstreamcli"_s
        << QStringList{u"validate"_s, u"--no-net"_s, u"--pedantic"_s,
                       installed(u"share/metainfo/"_s + AppStreamId + u".metainfo.xml"_s)};
}

void TestInstall::validators()
{
    QFETCH(QString, tool);
    QFETCH(QStringList, arguments);
    const QString path = QStandardPaths::findExecutable(tool);
    QVERIFY2(!path.isEmpty(), qPrintable(tool + u" is missing: install desktop-file-utils and appstream"_s));
    const Run result = run(path, arguments);
    QVERIFY2(result.exitCode == 0, result.output.constData());
    // desktop-file-validate prints nothing when all is well, hints included.
    if (tool == u"desktop-file-validate"_s)
        QVERIFY2(result.output.isEmpty(), result.output.constData());
}

void TestInstall::manPages_data()
{
    QTest::addColumn<QString>("program");
    for (const char *program : {"qv12-configurator", "qv12-cdb", "qv12-chipsim"})
        QTest::newRow(program) << QString::fromLatin1(program);
}

void TestInstall::manPages()
{
    QFETCH(QString, program);
    const QString path = installed(u"share/man/man1/"_s + program + u".1.gz"_s);
    const Run page = run(u"gzip"_s, {u"-dc"_s, path});
    QCOMPARE(page.exitCode, 0);
    // Section 1, named after the program, for this revision.
    const QByteArray header = ".TH " + program.toUpper().toLatin1() + " 1 ";
    QVERIFY2(page.output.contains("\n" + header) || page.output.startsWith(header),
             page.output.left(200).constData());
    QVERIFY(page.output.contains("\"qv12-configurator 2.4\""));
    QVERIFY(page.output.contains(".SH NAME\n" + program.toLatin1() + " \\- "));
    QVERIFY(!page.output.contains('@'));
}

QTEST_MAIN(TestInstall)
#include "tst_install.moc"
