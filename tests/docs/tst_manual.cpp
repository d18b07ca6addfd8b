// The user manual beside the program, read back with pdftotext: it carries the product's name and
// explains every step, control and message a user meets, letter for letter as the program shows it.

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QtTest>

namespace {

constexpr int TimeoutMs = 60000;

QByteArray run(const char *program, const QStringList &arguments, QString *failure)
{
    QProcess process;
    process.start(QString::fromUtf8(program), arguments);
    if (!process.waitForFinished(TimeoutMs) || process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        *failure = QStringLiteral("%1 failed: %2").arg(program, QString::fromUtf8(process.readAllStandardError()));
        return {};
    }
    return process.readAllStandardOutput();
}

} // namespace

class TestManual : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void info_namesTheManualAndHasPages();
    void text_explains_data();
    void text_explains();
    void sections_comeInTheOrderOfARun();
    void text_hasNoPlaceholderLeft();

private:
    QString m_text;
};

void TestManual::initTestCase()
{
    if (qstrlen(ZEB_PDFTOTEXT) == 0 || qstrlen(ZEB_PDFINFO) == 0)
        QSKIP("pdftotext and pdfinfo are missing (package poppler-utils, installed by scripts/install-deps)");
    QVERIFY2(QFile::exists(ZEB_MANUAL_PATH), ZEB_MANUAL_PATH " was not built");
    QString failure;
    const QByteArray text = run(ZEB_PDFTOTEXT, {"-enc", "UTF-8", ZEB_MANUAL_PATH, "-"}, &failure);
    QVERIFY2(failure.isEmpty(), qPrintable(failure));
    // Ligatures (fi, fl) come back as single letters; the wrapping of lines, page numbers and words
    // broken after a hyphen are layout, not content.
    m_text = QString::fromUtf8(text);
    for (const auto &[ligature, letters] : {std::pair{u"\uFB00", u"ff"}, {u"\uFB01", u"fi"}, {u"\uFB02", u"fl"},
                                           {u"\uFB03", u"ffi"}, {u"\uFB04", u"ffl"}})
        m_text.replace(QString::fromUtf16(ligature), QString::fromUtf16(letters));
    m_text.replace(QRegularExpression(QStringLiteral("\\n\\d+\\n\\f")), QStringLiteral("\n"));
    m_text.replace(QRegularExpression(QStringLiteral("-\\s*\\n\\s*")), QStringLiteral("-"));
    m_text = m_text.simplified();
}

void TestManual::info_namesTheManualAndHasPages()
{
    QString failure;
    const QString info = QString::fromUtf8(run(ZEB_PDFINFO, {ZEB_MANUAL_PATH}, &failure));
    QVERIFY2(failure.isEmpty(), qPrintable(failure));
    QVERIFY2(info.contains(QRegularExpression(QString::fromUtf8("^Title:\\s+ZEB-Conduit – User manual$"),
                                              QRegularExpression::MultilineOption)),
             qPrintable(info));
    const QRegularExpressionMatch pages =
        QRegularExpression(QStringLiteral("^Pages:\\s+(\\d+)$"), QRegularExpression::MultilineOption).match(info);
    QVERIFY2(pages.hasMatch(), qPrintable(info));
    QVERIFY(pages.captured(1).toInt() >= 3);
}

void TestManual::text_explains_data()
{
    QTest::addColumn<QString>("text");
    const auto row = [](const char *name, const char *text) { QTest::newRow(name) << QString::fromUtf8(text); };

    row("product", ZEB_PRODUCT_SHORT_NAME);
    row("run at 115200 baud", "about 9 seconds when the device offers 115200 baud");
    row("run at 1200 baud", "about 20 seconds when it speaks 1200 baud only");
    row("silent device given up", "A device that does not answer is given up after 15 seconds.");
    row("no answer within", "no device answered within 15 seconds");
    row("port scan", "looks for serial ports once a second");
    row("media count", "The program carries 72 media");
    row("retries", "written again, up to three times");
    row("rotation size", "10 MiB (10,485,760 bytes)");
    row("port list", "Select a port:");
    row("medium list", "Select a medium:");
    row("button", "Parameterize the device");
    row("idle status", "Waiting for user");
    row("connect step", "Connecting to device");
    row("write step", "Writing parameters");
    row("factory default step", "Setting parameters as factory defaults");
    row("restart step", "Restarting device");
    row("disconnect step", "Disconnecting from device");
    row("end", "Success");
    row("medium entry", "001 ZEB_Water");
    row("variant 4", "\" 4\"");
    row("variant 5+", "\" 5+\"");
    row("variant settings", "ufoSettings");
    row("description box", "Could not load the M7Q4-ZEB device file. Please contact support.");
    row("import error", "Import error: ");
    row("media box", "Could not load the media file. Please contact support.");
    row("foreign device", "Only ZEB devices are supported.");
    row("refused connection", "The connection could not be started. Please try again.");
    row("no description", "No device has been selected");
    row("port not opened", "Could not open com port!");
    row("no answer", "Could not find the device -> timeout!");
    row("system command time-out", "Device didn`t respond -> timeout! !");
    row("time-out in the log", "Device didn't answer in time!");
    row("not acknowledged", "Device didn`t acknowledge command");
    row("wrong command", "Device responded with wrong command.");
    row("read-back", "Exceeded max retries:");
    row("busy service", "Current operation not finished!");
    row("lost device", "No device connected");
    row("recorded device", "Device already connected");
    row("no parameters", "No parameters found for the connected device and version.");
    row("invalid value", "Value for parameter");
    row("empty parameters", "The parameters are empty.");
    row("device part empty",
        "The parameters for the connected device version are empty, only the subdevice will be parameterized.");
    row("sub-device part empty",
        "The parameters for the connected subdevice version are empty, only the device will be parameterized.");
    row("document not opened", "Could not open file");
    row("log file", "ZEB-Conduit.log");
    row("rotated log", "ZEB-Conduit.1.log");
    row("log start", "Starting " ZEB_PRODUCT_SHORT_NAME);
    row("log end", "Closing ZEB-Conduit, return code 0");
    row("table file", "Viscosities.xlsx");
    row("table temperature", "Temperature (°C)");
    row("table viscosity", "Kinematic viscosity (mm²/s)");
    row("about", "About the application");
}

void TestManual::text_explains()
{
    QFETCH(QString, text);
    QVERIFY2(m_text.contains(text), qPrintable(QStringLiteral("missing: %1").arg(text)));
}

void TestManual::sections_comeInTheOrderOfARun()
{
    const QStringList sections{"What you need",         "Starting the program",    "Connecting the device",
                               "Choosing the medium",   "Parameterizing Press",    "Messages and what to do",
                               "The log file",          "The viscosity table",     "Help and About"};
    qsizetype from = 0;
    for (const QString &section : sections) {
        const qsizetype at = m_text.indexOf(section, from);
        QVERIFY2(at >= 0, qPrintable(QStringLiteral("section out of order or missing: %1").arg(section)));
        from = at + section.size();
    }
}

void TestManual::text_hasNoPlaceholderLeft()
{
    QVERIFY2(!m_text.contains(QLatin1Char('@')), qPrintable(m_text.mid(m_text.indexOf(QLatin1Char('@')) - 20, 60)));
}

QTEST_GUILESS_MAIN(TestManual)
#include "tst_manual.moc"
