// The desktop opener hands the desktop a file URL that names exactly the document, whatever
// characters its path holds.

#include "application/DesktopLocalizedFileOpener.h"

#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <QUrl>
#include <QtTest>

using Thg::Tilo::Components::DesktopLocalizedFileOpener;

namespace {

// Takes the place of the desktop for file URLs.
class UrlRecorder : public QObject {
    Q_OBJECT
public:
    QList<QUrl> urls;
public slots:
    void open(const QUrl &url) { urls << url; }
};

} // namespace

class TestDesktopLocalizedFileOpener : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void urlOf_escapesWhatAUrlWouldRead_data();
    void urlOf_escapesWhatAUrlWouldRead();
    void openFile_givesTheDesktopTheDocumentItself_data();
    void openFile_givesTheDesktopTheDocumentItself();

private:
    UrlRecorder mRecorder;
};

void TestDesktopLocalizedFileOpener::initTestCase()
{
    QDesktopServices::setUrlHandler(QStringLiteral("file"), &mRecorder, "open");
}

void TestDesktopLocalizedFileOpener::cleanupTestCase()
{
    QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
}

void TestDesktopLocalizedFileOpener::urlOf_escapesWhatAUrlWouldRead_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("url");
    QTest::newRow("plain") << "/opt/zeb/ZEB-Conduit.pdf" << "file:///opt/zeb/ZEB-Conduit.pdf";
    QTest::newRow("blank") << "/opt/ZEB Conduit/Viscosities.xlsx" << "file:///opt/ZEB%20Conduit/Viscosities.xlsx";
    QTest::newRow("hash") << "/opt/zeb#2/ZEB-Conduit.pdf" << "file:///opt/zeb%232/ZEB-Conduit.pdf";
    QTest::newRow("question mark") << "/opt/zeb?/ZEB-Conduit.pdf" << "file:///opt/zeb%3F/ZEB-Conduit.pdf";
    QTest::newRow("percent and hex digits") << "/opt/zeb%41/ZEB-Conduit.pdf" << "file:///opt/zeb%2541/ZEB-Conduit.pdf";
}

void TestDesktopLocalizedFileOpener::urlOf_escapesWhatAUrlWouldRead()
{
    QFETCH(QString, path);
    const QUrl url = DesktopLocalizedFileOpener::urlOf(path);
    QTEST(url.toString(QUrl::FullyEncoded), "url");
    QCOMPARE(url.toLocalFile(), path);
}

void TestDesktopLocalizedFileOpener::openFile_givesTheDesktopTheDocumentItself_data()
{
    QTest::addColumn<QString>("folder");
    QTest::newRow("plain") << "zeb";
    QTest::newRow("hash") << "Release #2";
    QTest::newRow("question mark") << "what?";
    QTest::newRow("percent and hex digits") << "100%41";
    QTest::newRow("umlaut") << QString::fromUtf8("Messgeräte");
}

void TestDesktopLocalizedFileOpener::openFile_givesTheDesktopTheDocumentItself()
{
    QFETCH(QString, folder);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QVERIFY(QDir(dir.path()).mkdir(folder));
    const QDir programDir(dir.filePath(folder));
    QFile table(programDir.filePath(QStringLiteral("Viscosities.xlsx")));
    QVERIFY(table.open(QIODevice::WriteOnly));
    mRecorder.urls.clear();

    DesktopLocalizedFileOpener opener;
    QVERIFY(opener.openFile(programDir, QStringLiteral("Viscosities"), std::nullopt, QStringLiteral(".xlsx")));

    QCOMPARE(mRecorder.urls.size(), 1);
    const QUrl url = mRecorder.urls.at(0);
    QCOMPARE(url.toLocalFile(), table.fileName());
    QVERIFY(!url.hasQuery());
    QVERIFY(!url.hasFragment());
}

QTEST_MAIN(TestDesktopLocalizedFileOpener)
#include "tst_desktoplocalizedfileopener.moc"
