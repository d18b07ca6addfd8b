// The zeb-sim program as a user starts it: it prints its port, places the link, answers on the port,
// logs the frames and removes the link when it is told to end.

#include <QFileInfo>
#include <QProcess>
#include <QScopeGuard>
#include <QSerialPort>
#include <QTemporaryDir>
#include <QtTest>

namespace {
constexpr int TimeoutMs = 5000;
}

class TestZebSimProgram : public QObject {
    Q_OBJECT
private slots:
    void help_exitsWithTheOptions();
    void badOption_exitsWithAnError();
    void run_answersOnItsLinkLogsAndCleansUp();
};

void TestZebSimProgram::help_exitsWithTheOptions()
{
    QProcess sim;
    sim.start(ZEB_SIM_PATH, {"--help"});
    QVERIFY(sim.waitForFinished(TimeoutMs));
    QCOMPARE(sim.exitCode(), 0);
    const QByteArray help = sim.readAllStandardOutput();
    QVERIFY(help.contains("--wrong-checksum"));
    QVERIFY(help.contains("--single-wire"));
}

void TestZebSimProgram::badOption_exitsWithAnError()
{
    QProcess sim;
    sim.start(ZEB_SIM_PATH, {"--silent-after", "x"});
    QVERIFY(sim.waitForFinished(TimeoutMs));
    QCOMPARE(sim.exitCode(), 2);
    QVERIFY(sim.readAllStandardError().contains("Invalid value for --silent-after: 'x'"));
}

void TestZebSimProgram::run_answersOnItsLinkLogsAndCleansUp()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString link = dir.filePath("ttyZEB");
    const QString log = dir.filePath("frames.log");

    QProcess sim;
    const auto stopOnFailure = qScopeGuard([&sim] {
        if (sim.state() != QProcess::NotRunning) {
            sim.kill();
            sim.waitForFinished(TimeoutMs);
        }
    });
    sim.start(ZEB_SIM_PATH, {"--link", link, "--log", log});
    QVERIFY(sim.waitForStarted(TimeoutMs));
    QVERIFY(QTest::qWaitFor([&] { return sim.canReadLine() || sim.state() == QProcess::NotRunning; }, TimeoutMs));
    if (sim.state() == QProcess::NotRunning)
        QSKIP(qPrintable("zeb-sim could not start: " + sim.readAllStandardError()));
    QCOMPARE(QString::fromUtf8(sim.readLine()).trimmed(), link);
    QVERIFY(QFileInfo(link).isSymLink());
    QVERIFY(QFileInfo(link).symLinkTarget().startsWith("/dev/pts/"));

    QSerialPort port(link);
    QVERIFY2(port.open(QIODevice::ReadWrite), qPrintable(port.errorString()));
    port.setBaudRate(1200);
    // The device's own port opens shortly after the link is placed.
    QTest::qWait(300);
    port.write(QByteArray::fromHex("ffffffffff""82000000000089""00""0b"));
    const QByteArray answer = QByteArray::fromHex("ffffffffff""86130004000189""02""0000""1b");
    QByteArray received;
    QVERIFY(QTest::qWaitFor([&] {
        received += port.readAll();
        return received.size() >= answer.size();
    }, TimeoutMs));
    QCOMPARE(received.toHex(), answer.toHex());
    port.close();

    sim.terminate();
    QVERIFY(sim.waitForFinished(TimeoutMs));
    QCOMPARE(sim.exitStatus(), QProcess::NormalExit);
    QVERIFY(!QFileInfo(link).isSymLink());

    QFile frames(log);
    QVERIFY(frames.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(frames.readAll());
    QVERIFY2(text.contains("RX 137 0.0.0.0.0"), qPrintable(text));
    QVERIFY2(text.contains("TX 137 19.0.4.0.1 Address Slave=4 Address Subslave=1 Address Vendor ID=19 Status High=0 Status Low=0"), qPrintable(text));
}

QTEST_GUILESS_MAIN(TestZebSimProgram)
#include "tst_zebsim_program.moc"
