// The document opener: the user's language first, the language-neutral fallback, the last path it
// tried, and what it logs when a document is missing or does not open.

#include "application/LocalizedFileOpener.h"

#include "support/LogRecorder.h"
#include "tests/application/ProgramTestSupport.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <optional>


class TestLocalizedFileOpener : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void openFile_data();
    void openFile();
};

void TestLocalizedFileOpener::initTestCase()
{
    QThread::currentThread()->setObjectName(QStringLiteral("main"));
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
}

void TestLocalizedFileOpener::cleanupTestCase()
{
    QLocale::setDefault(QLocale::c());
}

void TestLocalizedFileOpener::openFile_data()
{
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<QStringList>("folders");
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("withSeparator");
    QTest::addColumn<QString>("extension");
    QTest::addColumn<bool>("desktopOpens");
    QTest::addColumn<bool>("result");
    QTest::addColumn<QString>("lastPath");
    QTest::addColumn<QStringList>("log");

    const QStringList none;
    QTest::newRow("manual in the user's language")
        << QStringList{"ZEB-Conduit_de.pdf", "ZEB-Conduit.pdf"} << none << "ZEB-Conduit" << true << ".pdf" << true
        << true << "%1/ZEB-Conduit_de.pdf" << none;
    QTest::newRow("manual falls back to the neutral one")
        << QStringList{"ZEB-Conduit.pdf", "ZEB-Conduit_fr.pdf"} << none << "ZEB-Conduit" << true << ".pdf" << true
        << true << "%1/ZEB-Conduit.pdf"
        << QStringList{"[warning] [main] File ZEB-Conduit_de.pdf does not exist, trying fallback"};
    QTest::newRow("no manual at all")
        << none << none << "ZEB-Conduit" << true << ".pdf" << true << false << "%1/ZEB-Conduit.pdf"
        << QStringList{"[warning] [main] File ZEB-Conduit_de.pdf does not exist, trying fallback",
                       "[warning] [main] File %1/ZEB-Conduit.pdf does not exist"};
    QTest::newRow("table without separator ignores the language")
        << QStringList{"Viscosities.xlsx", "Viscosities_de.xlsx"} << none << "Viscosities" << false << ".xlsx"
        << true << true << "%1/Viscosities.xlsx" << none;
    QTest::newRow("no table")
        << none << none << "Viscosities" << false << ".xlsx" << true << false << "%1/Viscosities.xlsx"
        << QStringList{"[warning] [main] File %1/Viscosities.xlsx does not exist"};
    QTest::newRow("a folder of the table's name is no table")
        << none << QStringList{"Viscosities.xlsx"} << "Viscosities" << false << ".xlsx" << true << false
        << "%1/Viscosities.xlsx" << QStringList{"[warning] [main] File %1/Viscosities.xlsx does not exist"};
    QTest::newRow("the desktop cannot open it")
        << QStringList{"Viscosities.xlsx"} << none << "Viscosities" << false << ".xlsx" << false << false
        << "%1/Viscosities.xlsx" << QStringList{"[error] [main] Could not open file %1/Viscosities.xlsx"};
}

void TestLocalizedFileOpener::openFile()
{
    QFETCH(QStringList, files);
    QFETCH(QStringList, folders);
    QFETCH(QString, name);
    QFETCH(bool, withSeparator);
    QFETCH(QString, extension);
    QFETCH(bool, desktopOpens);
    QFETCH(QString, lastPath);
    QFETCH(QStringList, log);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    for (const QString &file : files) {
        QFile created(dir.filePath(file));
        QVERIFY(created.open(QIODevice::WriteOnly));
    }
    for (const QString &folder : folders)
        QVERIFY(QDir(dir.path()).mkdir(folder));
    lastPath = lastPath.arg(dir.path());
    for (QString &line : log)
        line = line.arg(dir.path());

    LogRecorder recorder;
    FakeOpener opener;
    opener.answer = desktopOpens;
    QCOMPARE(opener.getLastPath(), QString());

    const bool result = opener.openFile(QDir(dir.path()), name, withSeparator ? std::optional<char>('_') : std::nullopt,
                                        extension);

    QTEST(result, "result");
    QCOMPARE(opener.getLastPath(), lastPath);
    QCOMPARE(opener.opened, QFile::exists(lastPath) && QFileInfo(lastPath).isFile() ? QStringList{lastPath} : QStringList{});
    QCOMPARE(recorder.lines(), log);
}

QTEST_GUILESS_MAIN(TestLocalizedFileOpener)
#include "tst_localizedfileopener.moc"
