// Firmware files that the boot loader's client would refuse, through the device service end to end:
// the upload is refused before command 133, so the device stays in its firmware, and a valid upload
// after it goes the whole way. Also the texts of a failed update under the German catalogue.

#include "tests/communication/FirmwareTestSupport.h"

#include <QTranslator>
#include <QtTest>

#include <memory>

using namespace Thg::Tilo::Communication;
using namespace FirmwareTest;

Q_DECLARE_METATYPE(ZebSim::BootLoaderPlan::Family)

namespace {

const QString Invalid = QStringLiteral("Bootloader: File is invalid");
const QString ContainsBootLoader = QStringLiteral("Bootloader: File must not contain bootloader update");

// How a row's file is made.
enum class FileKind { Text, Missing, Folder };

} // namespace

Q_DECLARE_METATYPE(FileKind)

class TestServiceFirmwareFiles : public QObject {
    Q_OBJECT
private slots:
    void refusedFile_sendsNo133_andAValidUploadFollows_data();
    void refusedFile_sendsNo133_andAValidUploadFollows();
    void germanCatalogue_errorIsGermanAndTheLogEnglish_data();
    void germanCatalogue_errorIsGermanAndTheLogEnglish();

private:
    BootloaderTest::FirmwareFiles mFiles;
};

void TestServiceFirmwareFiles::refusedFile_sendsNo133_andAValidUploadFollows_data()
{
    QTest::addColumn<ZebSim::BootLoaderPlan::Family>("family");
    QTest::addColumn<FileKind>("kind");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QString>("error");
    const QByteArray image = section(0x4000, pattern(16)) + "q\r\n";
    for (const Family family : {Family::Tiva, Family::Msp432}) {
        const char *prefix = family == Family::Tiva ? "Tiva" : "MSP432";
        QTest::addRow("%s, name without .txt", prefix) << family << FileKind::Text << "firmware.hex" << image << Invalid;
        QTest::addRow("%s, .TXT in capitals", prefix) << family << FileKind::Text << "firmware.TXT" << image << Invalid;
        QTest::addRow("%s, missing file", prefix) << family << FileKind::Missing << "" << QByteArray() << Invalid;
        QTest::addRow("%s, a folder", prefix) << family << FileKind::Folder << "folder.txt" << QByteArray() << Invalid;
        QTest::addRow("%s, bad token", prefix) << family << FileKind::Text << "bad.txt"
                                               << QByteArray("@4000 01 0FF 02\r\nq\r\n") << Invalid;
        QTest::addRow("%s, no data", prefix) << family << FileKind::Text << "empty.txt" << QByteArray("@4000\r\nq\r\n")
                                             << Invalid;
    }
    // Data before any address line: the device used to be left in its boot loader by this one.
    QTest::newRow("file without an address") << Family::Tiva << FileKind::Text << "noaddress.txt"
                                             << QByteArray("01 02 03\r\nq\r\n") << Invalid;
    QTest::newRow("MSP432, file without an address") << Family::Msp432 << FileKind::Text << "noaddress.txt"
                                                     << QByteArray("01 02 03\r\nq\r\n") << Invalid;
    QTest::newRow("Tiva, start address 0") << Family::Tiva << FileKind::Text << "zero.txt"
                                           << section(0, pattern(16)) + "q\r\n" << ContainsBootLoader;
    QTest::newRow("Tiva, address going backwards") << Family::Tiva << FileKind::Text << "back.txt"
                                                   << QByteArray("@4000\r\n01 02 03\r\n@4001\r\n04\r\nq\r\n")
                                                   << Invalid;
    QTest::newRow("MSP432, overlapping blocks") << Family::Msp432 << FileKind::Text << "overlap.txt"
                                                << QByteArray("@4000\r\n01 02 03\r\n@4001\r\n04\r\nq\r\n") << Invalid;
}

void TestServiceFirmwareFiles::refusedFile_sendsNo133_andAValidUploadFollows()
{
    QFETCH(ZebSim::BootLoaderPlan::Family, family);
    QFETCH(FileKind, kind);
    QFETCH(QString, name);
    QFETCH(QByteArray, text);
    QFETCH(QString, error);
    QVERIFY(mFiles.isValid());
    QString fileName;
    switch (kind) {
    case FileKind::Text:
        fileName = mFiles.write(name, text);
        break;
    case FileKind::Missing:
        fileName = mFiles.missing();
        break;
    case FileKind::Folder:
        fileName = mFiles.folder(name);
        break;
    }
    ServiceHarness h(ResponseTimeoutMs);
    ZebSim::SimConfig config;
    config.bootLoader.family = family;
    ZEB_START_SIM(h, config);
    const std::optional<Device> found = h.connectDevice();
    QVERIFY(found);
    h.recorder().clear();

    QVERIFY(upload(h, *found, typeOf(family), fileName));
    QCOMPARE(h.recorder().errors(), QStringList{error});
    QCOMPARE(h.recorder().logEntries(), QStringList{error});
    QCOMPARE(h.recorder().logEntries(LogLevel::Error), QStringList{error});
    QCOMPARE(h.recorder().progress(), QList<int>{});
    // No 133 after its start delay. Nor is a hand-over waiting: the job would refuse the next upload.
    h.recorder().quietFor(Internal::Bootloader::StartDelayMs + 300);
    QCOMPARE(h.recorder().outcomes(), QStringList{"error"});
    QCOMPARE(h.recorder().logEntries(), QStringList{error});
    QCOMPARE(requestsFor133(h), 0);
    QVERIFY(!h.device()->inBootLoader());
    QCOMPARE(h.device()->bootTarget()->commandsReceived(), 0);

    // The device was never sent to its boot loader, so the next upload asks it to go there, over the
    // port that is still open.
    h.recorder().clear();
    QVERIFY(upload(h, *found, typeOf(family), writeImage(mFiles, family)));
    QCOMPARE(h.recorder().errors(), QStringList{});
    QCOMPARE(h.recorder().outcomes(), QStringList{"success"});
    QCOMPARE(requestsFor133(h), 1);
    BootSim::BootTarget *target = h.device()->bootTarget();
    QTRY_COMPARE_WITH_TIMEOUT(target->resets(), 1, 5000);
    QCOMPARE(target->flash(addressOf(family), imageOf(family).size()), imageOf(family));
}

void TestServiceFirmwareFiles::germanCatalogue_errorIsGermanAndTheLogEnglish_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<int>("nakOnPacket");
    QTest::addColumn<QString>("logged");
    QTest::addColumn<QString>("error");
    QTest::newRow("the client fails") << section(TivaAddress, tivaImage()) + "q\r\n" << 1
                                      << "Bootloader: No response from device"
                                      << QString::fromUtf8("Bootloader: Keine Antwort vom Gerät");
    QTest::newRow("the file is refused") << QByteArray("@4000\r\nq\r\n") << 0 << Invalid
                                         << QString::fromUtf8("Bootloader: Datei ist ungültig");
}

void TestServiceFirmwareFiles::germanCatalogue_errorIsGermanAndTheLogEnglish()
{
    QFETCH(QByteArray, file);
    QFETCH(int, nakOnPacket);
    QFETCH(QString, logged);
    QFETCH(QString, error);
    QVERIFY(mFiles.isValid());
    const QString fileName = mFiles.write(QStringLiteral("german.txt"), file);
    auto translator = std::make_unique<QTranslator>();
    QVERIFY(translator->load(QStringLiteral(PROGRAM_CATALOGUE)));
    QVERIFY(QCoreApplication::installTranslator(translator.get()));
    const auto removeTranslator = qScopeGuard([&translator] { QCoreApplication::removeTranslator(translator.get()); });

    ServiceHarness h(ResponseTimeoutMs);
    ZebSim::SimConfig config;
    config.bootLoader.family = Family::Tiva;
    config.bootLoader.tivaFaults.nakOnPacket = nakOnPacket;
    ZEB_START_SIM(h, config);
    const std::optional<Device> found = h.connectDevice();
    QVERIFY(found);
    h.recorder().clear();

    QVERIFY(upload(h, *found, BootloaderType::TIVA, fileName));
    QCOMPARE(h.recorder().errors(), QStringList{error});
    QCOMPARE(h.recorder().logEntries(LogLevel::Error), QStringList{logged});
}

QTEST_GUILESS_MAIN(TestServiceFirmwareFiles)
#include "tst_service_firmware_files.moc"
