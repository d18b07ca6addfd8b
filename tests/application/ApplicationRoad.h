#pragma once

#include "application/QtResourceReader.h"
#include "application/components/DeviceConnector.h"
#include "application/components/DeviceWithSettingsContext.h"
#include "application/components/ParameterizeCommand.h"

#include "tests/application/BuiltinData.h"
#include "tests/support/ServiceHarness.h"

#include <QSignalSpy>
#include <QTest>

#include <string>

// What the program builds around the device service for a parameterization, on the test's thread:
// the context with the built-in description and a built-in medium read from the resources, the
// device connector and the parameterize command. The service is the harness's, on its own thread,
// with the simulated device on a pseudo-terminal.
class ApplicationRoad {
public:
    enum class Connection { Connected, Unexpected, Failed, NoAnswer };

    static constexpr int ConnectMs = 30000;
    static constexpr int RunMs = 90000;

    explicit ApplicationRoad(ServiceHarness &harness, const std::string &medium = "001 ZEB_Water")
        : mHarness(harness), connector(context, *harness.service()), command(context, *harness.service())
    {
        using Thg::Tilo::Components::QtResourceReader;
        context.selectedDevice = BuiltinData::importer().importDevice(QtResourceReader(":/M7Q4-ZEB.desc.json"));
        context.deviceSettings = BuiltinData::importer().importDeviceSettings(
            QtResourceReader(":/ParameterFiles/" + medium + ".para.json"));
    }

    // As the serial-port widget asks for it; waits for the connector's outcome.
    Connection connect()
    {
        using Thg::Tilo::Components::DeviceConnector;
        QSignalSpy connected(&connector, &DeviceConnector::deviceConnected);
        QSignalSpy unexpected(&connector, &DeviceConnector::unexpectedDeviceConnected);
        QSignalSpy failed(&connector, &DeviceConnector::errorOccurred);
        connector.connectTarget(mHarness.device()->portPath());
        (void)QTest::qWaitFor([&] { return !connected.isEmpty() || !unexpected.isEmpty() || !failed.isEmpty(); }, ConnectMs);
        if (!connected.isEmpty())
            return Connection::Connected;
        if (!unexpected.isEmpty())
            return Connection::Unexpected;
        if (!failed.isEmpty()) {
            lastError = failed.first().first().toString();
            return Connection::Failed;
        }
        return Connection::NoAnswer;
    }

    // Executes the parameterize command; true when it finished, false on its error (in lastError)
    // or when it did not end in time.
    bool parameterize() { return run(command); }

    // Executes `toRun` the same way.
    bool run(Thg::Tilo::Components::Command &toRun)
    {
        using Thg::Tilo::Components::Command;
        QSignalSpy finished(&toRun, &Command::finished);
        QSignalSpy failed(&toRun, &Command::errorOccurred);
        toRun.execute();
        (void)QTest::qWaitFor([&] { return !finished.isEmpty() || !failed.isEmpty(); }, RunMs);
        if (!failed.isEmpty()) {
            lastError = failed.first().first().toString();
            lastErrorDisconnected = failed.first().at(2).toBool();
        }
        return finished.count() == 1 && failed.isEmpty();
    }

    // Until every close the service has asked for has been confirmed by the serial port. The service
    // reports the end of a disconnection before the port has closed, and a start in between would
    // find the port still counted as open.
    bool waitUntilPortClosed()
    {
        const auto confirmed = [this] {
            const QStringList entries = mHarness.recorder().logEntries();
            const qsizetype asked = entries.count(QStringLiteral("Com port will be closed"));
            return asked > 0 && entries.count(QStringLiteral("Com port is closed")) == asked;
        };
        return QTest::qWaitFor(confirmed, ConnectMs);
    }

private:
    ServiceHarness &mHarness;

public:
    Thg::Tilo::Components::DeviceWithSettingsContext context;
    Thg::Tilo::Components::DeviceConnector connector;
    Thg::Tilo::Components::ParameterizeCommand command;
    QString lastError;
    bool lastErrorDisconnected = false;
};
