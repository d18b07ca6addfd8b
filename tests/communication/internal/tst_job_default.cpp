// The base of every protocol job: progress, field texts, the link-error log and the checks of a
// reply.

#include "communication/MetaTypes.h"
#include "communication/internal/Bootloader.h"
#include "communication/internal/Default.h"
#include "communication/internal/FirstContact.h"
#include "communication/internal/Parameter.h"
#include "communication/internal/Port.h"
#include "communication/internal/SysCommand.h"
#include "communication/internal/Values.h"
#include "tests/communication/internal/JobTestSupport.h"

#include "protocol/parlink/PARLINK_SessionInfo.h"

#include <QtTest>

using namespace Thg::Tilo::Communication;
using JobTest::entries;

namespace {

class Job : public Internal::Default {
    Q_OBJECT
public:
    using Default::Default;
    void abort() override {}
    void setTo(unsigned int percent) { setProgress(percent); }
};

std::unique_ptr<Internal::Default> makeJob(const QString &name, PARLINK *facade)
{
    if (name == QLatin1String("Bootloader"))
        return std::make_unique<Internal::Bootloader>(nullptr, facade, nullptr);
    if (name == QLatin1String("FirstContact"))
        return std::make_unique<Internal::FirstContact>(nullptr, facade, nullptr, ClosePortWhenFinished::No);
    if (name == QLatin1String("Parameter"))
        return std::make_unique<Internal::Parameter>(nullptr, facade, nullptr, ClosePortWhenFinished::No);
    if (name == QLatin1String("SysCommand"))
        return std::make_unique<Internal::SysCommand>(nullptr, facade, nullptr, ClosePortWhenFinished::No);
    return std::make_unique<Internal::Values>(nullptr, facade, nullptr, ClosePortWhenFinished::No);
}

} // namespace

class TestJobDefault : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();

    void incProgress_storesOnlyUpTo100ButAlwaysReports_data();
    void incProgress_storesOnlyUpTo100ButAlwaysReports();
    void prependZero_padsOneCharacter_data();
    void prependZero_padsOneCharacter();
    void linkError_isLoggedByEveryJobWithItsText_data();
    void linkError_isLoggedByEveryJobWithItsText();
    void checkAcknowledged_refusesStatusLowAndUniversalError_data();
    void checkAcknowledged_refusesStatusLowAndUniversalError();
    void checkReply_isTranslatedInTheJobsOwnContext_data();
    void checkReply_isTranslatedInTheJobsOwnContext();
    void portLog_reachesTheJobsLog();
};

void TestJobDefault::initTestCase()
{
    registerMetaTypes();
}

void TestJobDefault::incProgress_storesOnlyUpTo100ButAlwaysReports_data()
{
    QTest::addColumn<unsigned>("start");
    QTest::addColumn<unsigned>("added");
    QTest::addColumn<unsigned>("stored");
    QTest::newRow("80 + 30") << 80u << 30u << 80u;
    QTest::newRow("80 + 20") << 80u << 20u << 100u;
    QTest::newRow("0 + 13") << 0u << 13u << 13u;
    QTest::newRow("100 + 0") << 100u << 0u << 100u;
}

void TestJobDefault::incProgress_storesOnlyUpTo100ButAlwaysReports()
{
    QFETCH(unsigned, start);
    QFETCH(unsigned, added);
    QFETCH(unsigned, stored);
    PARLINK facade;
    Job job(nullptr, &facade, nullptr, ClosePortWhenFinished::No);
    job.setTo(start);
    QSignalSpy progress(&job, &Internal::Default::progress);
    job.incProgress(added);
    QCOMPARE(job.progressValue(), stored);
    QCOMPARE(progress.size(), 1);
    QCOMPARE(progress.first().first().toUInt(), stored);
}

void TestJobDefault::prependZero_padsOneCharacter_data()
{
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<QString>("text");
    QTest::newRow("5") << QVariant("5") << "05";
    QTest::newRow("number 7") << QVariant(7) << "07";
    QTest::newRow("12") << QVariant(12) << "12";
    QTest::newRow("empty") << QVariant("") << "";
    QTest::newRow("missing") << QVariant() << "";
    QTest::newRow("a name") << QVariant("M7Q4-ZEB") << "M7Q4-ZEB";
}

void TestJobDefault::prependZero_padsOneCharacter()
{
    QFETCH(QVariant, value);
    QFETCH(QString, text);
    QMap<QString, QVariant> fields{{"Other", 1}};
    if (value.isValid())
        fields.insert("Key", value);
    QCOMPARE(Internal::Default::prependZero(fields, "Key"), text);
}

void TestJobDefault::linkError_isLoggedByEveryJobWithItsText_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("text");
    const QStringList texts{"no preambel received", "too few preambel received", "too many preambel received",
                            "wrong address", "wrong checksum", "reading command", "data overrun",
                            "normal timeout of 300ms elapsed", "burst timeout of 1s elapsed", "wrong parity",
                            "wrong command", "session couldn`t be finished", "session couldn`t be started",
                            "COM port couldn`t be opened", "general COM port error",
                            "no payload in session data found", "master didn`t ackowledge burst packet"};
    for (int code = 1; code <= 17; ++code)
        QTest::addRow("%d", code) << code << texts[code - 1];
    QTest::newRow("0") << 0 << "";
    QTest::newRow("18") << 18 << "unknown error";
    QTest::newRow("255") << 255 << "unknown error";
}

void TestJobDefault::linkError_isLoggedByEveryJobWithItsText()
{
    QFETCH(int, code);
    QFETCH(QString, text);
    PARLINK facade;
    Job first(nullptr, &facade, nullptr, ClosePortWhenFinished::No);
    Job second(nullptr, &facade, nullptr, ClosePortWhenFinished::No);
    QSignalSpy firstLog(&first, &Internal::Default::log);
    QSignalSpy secondLog(&second, &Internal::Default::log);
    PARLINK_SessionInfo info;
    info.setError(PARLINK_Session::PARLINK_ENUM_SESSION_ERROR(code));
    // Whether a job runs or not.
    emit facade.sessionNewInfo(&info);

    const QStringList expected = text.isEmpty() ? QStringList{} : QStringList{text};
    QCOMPARE(entries(firstLog, int(LogLevel::Error)), expected);
    QCOMPARE(entries(secondLog, int(LogLevel::Error)), expected);
    QCOMPARE(firstLog.size(), expected.size());
}

void TestJobDefault::checkAcknowledged_refusesStatusLowAndUniversalError_data()
{
    QTest::addColumn<int>("command");
    QTest::addColumn<int>("statusLow");
    QTest::addColumn<int>("universalError");
    QTest::addColumn<QString>("logged");
    QTest::newRow("carried out") << 135 << 0 << 0 << "";
    QTest::newRow("refused by the device") << 137 << 1 << 255
                                           << "Device didn`t acknowledge command 137";
    QTest::newRow("baud switch failed here") << 129 << 0 << 255
                                             << "Device didn`t acknowledge command 129 (Universal Error 255)";
    QTest::newRow("too few bytes") << 135 << 0 << 1 << "Device didn`t acknowledge command 135 (Universal Error 1)";
    QTest::newRow("too many bytes") << 143 << 0 << 2 << "Device didn`t acknowledge command 143 (Universal Error 2)";
}

void TestJobDefault::checkAcknowledged_refusesStatusLowAndUniversalError()
{
    QFETCH(int, command);
    QFETCH(int, statusLow);
    QFETCH(int, universalError);
    QFETCH(QString, logged);
    PARLINK facade;
    const Job job(nullptr, &facade, nullptr, ClosePortWhenFinished::No);
    const auto refusal = job.checkAcknowledged({{"Status Low", statusLow}, {"Universal Error", universalError}}, command);
    QCOMPARE(refusal.has_value(), !logged.isEmpty());
    if (!refusal)
        return;
    QCOMPARE(refusal->logEntry, logged);
    QCOMPARE(refusal->errorText, QString("Device didn`t acknowledge command %1").arg(command));
}

void TestJobDefault::checkReply_isTranslatedInTheJobsOwnContext_data()
{
    QTest::addColumn<QString>("job");
    QTest::addColumn<int>("received");
    QTest::addColumn<int>("statusLow");
    QTest::addColumn<QString>("logged");
    QTest::addColumn<QString>("reported");
    const QString wrong = QStringLiteral("Device responded with wrong command. Expected: 135 Received: 136");
    const QString refused = QStringLiteral("Device didn`t acknowledge command 135");
    for (const char *job : {"Bootloader", "FirstContact", "Parameter", "SysCommand", "Values"}) {
        const QString context = QStringLiteral("Thg::Tilo::Communication::Internal::") + QLatin1String(job);
        QTest::addRow("%s, wrong command", job) << QString(job) << 136 << 0 << wrong << context + ": " + wrong;
        // The command is looked at first: a refused reply to another command is a wrong command.
        QTest::addRow("%s, wrong and refused", job) << QString(job) << 136 << 1 << wrong << context + ": " + wrong;
        QTest::addRow("%s, refused", job) << QString(job) << 135 << 1 << refused << context + ": " + refused;
        QTest::addRow("%s, carried out", job) << QString(job) << 135 << 0 << QString() << QString();
    }
}

void TestJobDefault::checkReply_isTranslatedInTheJobsOwnContext()
{
    QFETCH(QString, job);
    QFETCH(int, received);
    QFETCH(int, statusLow);
    QFETCH(QString, logged);
    QFETCH(QString, reported);
    PARLINK facade;
    const std::unique_ptr<Internal::Default> subject = makeJob(job, &facade);
    Internal::Sequences plan;
    plan.sequences.append(Internal::Sequence(Address::Type::Device,
                                             Internal::Session::Data{PARLINK_Session::PARLINK_ENUM_SESSION_COMMAND_135, {}},
                                             Internal::Session::Data{PARLINK_Session::PARLINK_ENUM_SESSION_COMMAND_136, {}}));
    JobTest::ContextTranslator translator;
    QVERIFY(QCoreApplication::installTranslator(&translator));
    const auto refusal = subject->checkReply(plan, received, {{"Status Low", statusLow}, {"Universal Error", 0}});
    QCoreApplication::removeTranslator(&translator);
    QCOMPARE(refusal.has_value(), !logged.isEmpty());
    if (!refusal)
        return;
    QCOMPARE(refusal->logEntry, logged);
    QCOMPARE(refusal->errorText, reported);
}

void TestJobDefault::portLog_reachesTheJobsLog()
{
    PARLINK facade;
    Internal::Port port(nullptr, &facade);
    Job job(nullptr, &facade, &port, ClosePortWhenFinished::No);
    QSignalSpy log(&job, &Internal::Default::log);
    port.close();
    QCOMPARE(entries(log, int(LogLevel::Trace)), QStringList{"Com port will be closed"});
}

QTEST_GUILESS_MAIN(TestJobDefault)
#include "tst_job_default.moc"
