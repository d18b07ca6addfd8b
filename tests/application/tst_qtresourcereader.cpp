#include "application/QtResourceReader.h"

#include "device/ImportException.h"
#include "device/Importer.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <stdexcept>
#include <unistd.h>

using Thg::Tilo::Components::QtResourceReader;
using Thg::Tilo::Device::IoException;

class TestQtResourceReader : public QObject {
    Q_OBJECT

private:
    QTemporaryDir mDir;

private slots:
    void initTestCase() { QVERIFY(mDir.isValid()); }

    void invalidPath_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("message");
        QTest::newRow("resource directory") << QStringLiteral(":/ParameterFiles/")
                                            << QStringLiteral(":/ParameterFiles/ must be a file");
        QTest::newRow("missing resource") << QStringLiteral(":/ParameterFiles/999 ZEB_Nothing.para.json")
                                          << QStringLiteral(":/ParameterFiles/999 ZEB_Nothing.para.json does not exist");
        QTest::newRow("missing file") << mDir.filePath(QStringLiteral("none.para.json"))
                                      << mDir.filePath(QStringLiteral("none.para.json")) + QStringLiteral(" does not exist");
        QTest::newRow("file directory") << mDir.path() << mDir.path() + QStringLiteral(" must be a file");
    }

    void invalidPath()
    {
        QFETCH(QString, path);
        QFETCH(QString, message);
        try {
            QtResourceReader reader(path.toStdString());
            QFAIL("no exception");
        } catch (const IoException &e) {
            QFAIL(e.what());
        } catch (const std::invalid_argument &e) {
            QCOMPARE(QString::fromUtf8(e.what()), message);
        }
    }

    void unreadableFile_isRefused()
    {
        if (::geteuid() == 0)
            QSKIP("root reads every file: an unreadable file cannot be made here");
        const QString path = mDir.filePath(QStringLiteral("locked.para.json"));
        {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("{}");
        }
        QVERIFY(QFile::setPermissions(path, QFileDevice::WriteOwner));
        try {
            QtResourceReader reader(path.toStdString());
            QFAIL("no exception");
        } catch (const IoException &e) {
            QCOMPARE(QString::fromUtf8(e.what()), path + QStringLiteral(" must be readable"));
        }
    }

    void builtinMedium_isReadWithNewlinesAndAlike()
    {
        const QtResourceReader reader(std::filesystem::path(":/ParameterFiles/001 ZEB_Water.para.json"));
        QCOMPARE(reader.getSourceName(), std::string(":/ParameterFiles/001 ZEB_Water.para.json"));
        const std::string first = reader.read();
        QVERIFY(first.find("\"Identity\"") != std::string::npos);
        QVERIFY(first.find("001 ZEB WATER") != std::string::npos);
        QVERIFY(first.find('\r') == std::string::npos);
        QVERIFY(first.find('\n') != std::string::npos);
        QCOMPARE(reader.read(), first);
        // The same bytes as the file in the source tree.
        QFile source(QStringLiteral("builtin/ParameterFiles/001 ZEB_Water.para.json"));
        QVERIFY(source.open(QIODevice::ReadOnly | QIODevice::Text));
        QCOMPARE(QByteArray::fromStdString(first), source.readAll());
    }

    void ordinaryFile_crLfBecomesNewline()
    {
        const QString path = mDir.filePath(QStringLiteral("windows.para.json"));
        {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("{\r\n  \"Identity\": \"M7Q4-ZEB\"\r\n}\r\n");
        }
        const QtResourceReader reader(path.toStdString());
        QCOMPARE(reader.read(), std::string("{\n  \"Identity\": \"M7Q4-ZEB\"\n}\n"));
    }

    void fileGoneAfterConstruction_cannotBeOpened()
    {
        const QString path = mDir.filePath(QStringLiteral("gone.para.json"));
        {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("{}");
        }
        const QtResourceReader reader(path.toStdString());
        QVERIFY(QFile::remove(path));
        try {
            (void)reader.read();
            QFAIL("no exception");
        } catch (const IoException &e) {
            QCOMPARE(QString::fromUtf8(e.what()), QStringLiteral("Could not open ") + path);
        }
    }

    void builtinDescription_imports()
    {
        const Thg::Tilo::Device::Importer importer(
            {"Resources/DeviceDescription.schema.json", "Resources/DeviceSettings.schema.json"});
        const auto device = importer.importDevice(QtResourceReader(std::filesystem::path(":/M7Q4-ZEB.desc.json")));
        QCOMPARE(device.identity, Thg::Tilo::Device::Identity::M7Q4_ZEB);
        QCOMPARE(device.deviceParameterSets.size(), std::size_t(2));
        QCOMPARE(device.subdeviceParameterSets.size(), std::size_t(1));
    }
};

QTEST_GUILESS_MAIN(TestQtResourceReader)
#include "tst_qtresourcereader.moc"
