// Both programs that a user starts from the build, ZEB-Conduit and zeb-conduit-sim, find the manual
// and the viscosity table beside themselves, where the toolbar's file opener looks for them, and
// both find the same documents.

#include "application/ProductInfo.h"
#include "tests/application/ProgramTestSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QtTest>

#include <optional>

namespace {

QByteArray contentOf(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class TestDocumentsBesidePrograms : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void toolbarDocument_isFoundBesideTheProgram_data();
    void toolbarDocument_isFoundBesideTheProgram();
};

void TestDocumentsBesidePrograms::initTestCase()
{
    // The manual is looked for in the user's language first; the build has the neutral one only.
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
}

void TestDocumentsBesidePrograms::cleanupTestCase()
{
    QLocale::setDefault(QLocale::c());
}

void TestDocumentsBesidePrograms::toolbarDocument_isFoundBesideTheProgram_data()
{
    QTest::addColumn<QString>("program");
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("withSeparator");
    QTest::addColumn<QString>("extension");

    const QString manual = QString::fromLatin1(Thg::Tilo::Components::Product::applicationName);
    const QString table = QStringLiteral("Viscosities");
    QTest::newRow("ZEB-Conduit, manual") << ZEB_CONDUIT_PATH << manual << true << ".pdf";
    QTest::newRow("ZEB-Conduit, viscosity table") << ZEB_CONDUIT_PATH << table << false << ".xlsx";
    QTest::newRow("zeb-conduit-sim, manual") << ZEB_CONDUIT_SIM_PATH << manual << true << ".pdf";
    QTest::newRow("zeb-conduit-sim, viscosity table") << ZEB_CONDUIT_SIM_PATH << table << false << ".xlsx";
}

void TestDocumentsBesidePrograms::toolbarDocument_isFoundBesideTheProgram()
{
    QFETCH(QString, program);
    QFETCH(QString, name);
    QFETCH(bool, withSeparator);
    QFETCH(QString, extension);
    QVERIFY2(QFileInfo(program).isExecutable(), qPrintable(program + " was not built"));
    const QDir programDir = QFileInfo(program).absoluteDir();

    // As the toolbar asks for it, with the program's folder as the application's folder.
    FakeOpener opener;
    QVERIFY(opener.openFile(programDir, name, withSeparator ? std::optional<char>('_') : std::nullopt, extension));
    const QString document = programDir.absoluteFilePath(name + extension);
    QCOMPARE(opener.opened, QStringList{document});

    const QByteArray content = contentOf(document);
    QVERIFY(!content.isEmpty());
    QCOMPARE(content, contentOf(QDir(QStringLiteral(ZEB_PROGRAM_DIR)).absoluteFilePath(name + extension)));
}

QTEST_GUILESS_MAIN(TestDocumentsBesidePrograms)
#include "tst_documentsbesideprograms.moc"
