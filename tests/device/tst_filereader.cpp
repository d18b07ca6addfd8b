#include "device/FileReader.h"
#include "device/ImportException.h"

#include "device/DeviceTestChecks.h"
#include "device/DeviceTestFiles.h"

#include <QtTest>

#include <stdexcept>

using namespace Thg::Tilo::Device;
using namespace DeviceTestFiles;
using DeviceTestChecks::messageOf;

class TestFileReader : public QObject {
    Q_OBJECT
private slots:
    void unusablePath_isRejected_data();
    void unusablePath_isRejected();
    void relativePath_isResolvedAtConstruction();
    void read_givesWholeContentOrFails();
};

void TestFileReader::unusablePath_isRejected_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("suffix");
    QTest::newRow("directory") << "dir" << " must be a file";
    QTest::newRow("missing") << "missing.para.json" << " does not exist";
    QTest::newRow("missing directory") << "nodir/x.para.json" << " does not exist";
}

void TestFileReader::unusablePath_isRejected()
{
    QFETCH(QString, name);
    QFETCH(QString, suffix);
    QTemporaryDir dir;
    QVERIFY(dir.isValid() && QDir(dir.path()).mkdir("dir"));
    const std::string path = QDir::cleanPath(dir.filePath(name)).toStdString();
    QCOMPARE(messageOf<std::invalid_argument>([&] { FileReader reader(path); }),
             std::optional(path + suffix.toStdString()));
}

void TestFileReader::relativePath_isResolvedAtConstruction()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const std::string path = write(dir, "Resources/DeviceSettings.schema.json", "{}");
    std::optional<FileReader> reader;
    {
        const WorkingDirectory cwd(dir.path());
        reader.emplace("Resources/./sub/../DeviceSettings.schema.json");
    }
    QCOMPARE(reader->getSourceName(), path);
    QCOMPARE(reader->read(), std::string("{}"));
}

void TestFileReader::read_givesWholeContentOrFails()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const std::string content = "{\n  \"Identity\": \"M7Q4-ZEB\"\n}\n";
    const std::string path = write(dir, "a.para.json", content);
    const FileReader reader(path);
    QCOMPARE(reader.read(), content);

    // Gone after construction: the reader reports it when it is read.
    QVERIFY(QFile::remove(QString::fromStdString(path)));
    QCOMPARE(messageOf<IoException>([&] { reader.read(); }), std::optional("Could not open " + path));

    const std::string empty = write(dir, "empty.para.json", "");
    QCOMPARE(messageOf<IoException>([&] { FileReader(empty).read(); }), std::optional("Could not read " + empty));
}

QTEST_GUILESS_MAIN(TestFileReader)
#include "tst_filereader.moc"
