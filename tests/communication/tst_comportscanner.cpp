// The COM port scanner over an injected enumeration: what it reports and the thread it scans on.

#include "communication/MetaTypes.h"
#include "communication/QtComPortScanner.h"

#include <QMutex>
#include <QtTest>

#include <atomic>

using namespace Thg::Tilo::Communication;
using List = ComPortScanner::List;

Q_DECLARE_METATYPE(QList<Thg::Tilo::Communication::ComPortScanner::List>)

namespace {

constexpr int IntervalMs = 20;
constexpr int WaitMs = 10000;

const Comport A{"COM3", "FTDI", 24577, 1027, false, 0, 0};
const Comport B{"COM4", "Prolific", 8963, 1659, false, 0, 0};
const Comport AOtherMaker{"COM3", "Silicon Labs", 24577, 1027, false, 0, 0};

// Hands out the scripted lists one per scan, the last one for ever, and notes where it ran.
struct Script {
    QList<List> lists;
    std::atomic_int scans = 0;
    QMutex mutex;
    QString threadName;

    List next()
    {
        const int n = scans.fetch_add(1);
        {
            const QMutexLocker lock(&mutex);
            threadName = QThread::currentThread()->objectName();
        }
        return lists.isEmpty() ? List{} : lists.at(std::min<qsizetype>(n, lists.size() - 1));
    }
};

// The reports, delivered queued onto the test's thread as the application receives them.
struct Reports : QObject {
    explicit Reports(ComPortScanner *scanner)
    {
        connect(scanner, &ComPortScanner::foundNewPorts, this, [this](const List &ports) { lists.append(ports); },
                Qt::QueuedConnection);
    }
    QList<List> lists;
};

} // namespace

class TestComPortScanner : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { registerMetaTypes(); }

    void scan_reportsOnlyAChangedSet_data();
    void scan_reportsOnlyAChangedSet();
    void scan_runsOnItsOwnThreadAndNotAtConstruction();
};

void TestComPortScanner::scan_reportsOnlyAChangedSet_data()
{
    QTest::addColumn<QList<List>>("scans");
    QTest::addColumn<QList<List>>("reported");
    QTest::newRow("same ports in another order") << QList<List>{{A, B}, {B, A}} << QList<List>{{A, B}};
    QTest::newRow("one port added") << QList<List>{{A}, {A, B}} << QList<List>{{A}, {A, B}};
    QTest::newRow("one port removed") << QList<List>{{A, B}, {B}} << QList<List>{{A, B}, {B}};
    QTest::newRow("another manufacturer") << QList<List>{{A, B}, {AOtherMaker, B}}
                                          << QList<List>{{A, B}, {AOtherMaker, B}};
    QTest::newRow("no ports ever") << QList<List>{{}, {}} << QList<List>{};
    QTest::newRow("last port unplugged") << QList<List>{{A}, {}} << QList<List>{{A}, {}};
    QTest::newRow("same names, other counts") << QList<List>{{A, A, B}, {A, B, B}} << QList<List>{{A, A, B}, {A, B, B}};
}

void TestComPortScanner::scan_reportsOnlyAChangedSet()
{
    QFETCH(QList<List>, scans);
    QFETCH(QList<List>, reported);
    Script script;
    script.lists = scans;
    QtComPortScanner scanner(IntervalMs, [&script] { return script.next(); });
    const Reports reports(&scanner);
    // The last list is scanned more than once, so a repeated report would show.
    QTRY_VERIFY_WITH_TIMEOUT(script.scans >= int(scans.size()) + 3, WaitMs);
    QTest::qWait(5 * IntervalMs);
    QCOMPARE(reports.lists, reported);
}

void TestComPortScanner::scan_runsOnItsOwnThreadAndNotAtConstruction()
{
    Script script;
    Comport withLineSettings = A;
    withLineSettings.HalfDuplex = true;
    withLineSettings.Startup = 260;
    withLineSettings.PowerDown = 300;
    script.lists = {{withLineSettings}};

    {
        // The first scan comes one interval after construction, not with it.
        const QtComPortScanner slow(60000, [&script] { return script.next(); });
        QTest::qWait(200);
        QCOMPARE(script.scans.load(), 0);
    }

    auto scanner = std::make_unique<QtComPortScanner>(IntervalMs, [&script] { return script.next(); });
    QCOMPARE(scanner->thread()->objectName(), QString("ComPortScanner"));
    QVERIFY(scanner->thread() != QThread::currentThread());

    std::atomic<QThread *> emittingThread = nullptr;
    connect(scanner.get(), &ComPortScanner::foundNewPorts, this,
            [&](const List &) { emittingThread = QThread::currentThread(); }, Qt::DirectConnection);
    const Reports reports(scanner.get());
    QTRY_COMPARE_WITH_TIMEOUT(reports.lists.size(), 1, WaitMs);
    QCOMPARE(emittingThread.load(), scanner->thread());
    {
        const QMutexLocker lock(&script.mutex);
        QCOMPARE(script.threadName, QString("ComPortScanner"));
    }
    // The scanner lists what the system knows of a port; line settings come later.
    QCOMPARE(reports.lists, QList<List>{{A}});

    QPointer<QThread> thread = scanner->thread();
    scanner.reset();
    QVERIFY(thread.isNull());
}

QTEST_GUILESS_MAIN(TestComPortScanner)
#include "tst_comportscanner.moc"
