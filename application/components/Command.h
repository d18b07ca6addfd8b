#pragma once

#include "application/components/System.h"

#include <QObject>
#include <QString>

#include <cstdint>
#include <string>

namespace Thg::Tilo::Components {

class CompositeCommand;
class ParameterizeCommand;

// An asynchronous, cancellable unit of work on the main thread. `execute` starts it; it ends with
// exactly one of `finished` or `errorOccurred`, unless it is cancelled, which is silent. An idle
// command can be executed again.
//
// Every command logs at debug level, indented by its nesting depth: 0 for a root command and two
// more for each composite around it.
class Command : public QObject {
    Q_OBJECT
public:
    explicit Command(QObject *parent = nullptr);
    ~Command() override;

    // The number of steps progress is reported over.
    virtual std::uint32_t getCount() const;
    // Whether progress is a percentage rather than a count of steps.
    virtual bool hasDetailedProgress() const;
    virtual QString getDescription() const = 0;

    void execute();
    void cancel();
    void stop();

    // The indentation for lines a command logs about its work or its current child: one more than
    // its own depth.
    std::uint8_t getDepth(bool forChildLines = true) const;
    bool isRunning() const { return mRunning; }
    Command *getParentCommand() const { return mParentCommand; }

public slots:
    virtual void error(const QString &message, Thg::Tilo::Components::System system, bool disconnected);

signals:
    void progressUpdated(std::uint32_t progress, const QString &description);
    void finished();
    void warningOccurred(const QString &message);
    void errorOccurred(const QString &message, Thg::Tilo::Components::System system, bool disconnected);

protected:
    // Reports its own error through `error` when it fails.
    virtual bool checkPreconditions();
    virtual void doConnect();
    virtual void doDisconnect();
    virtual void doExecute() = 0;
    virtual void doStop();
    virtual void doCancel();

protected slots:
    virtual void finish();

protected:
    // The class's name as the compiler's type information gives it. In a destructor that is the
    // class whose destructor runs.
    std::string typeName() const;
    std::uint8_t depth() const;

private:
    friend class CompositeCommand;
    friend class ParameterizeCommand;

    static constexpr std::uint8_t depthUnknown = 255;

    Command *mParentCommand = nullptr;
    mutable std::uint8_t mDepth = depthUnknown;
    bool mRunning = false;
};

} // namespace Thg::Tilo::Components
