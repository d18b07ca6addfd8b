#pragma once

#include "communication/Comport.h"

#include <QList>
#include <QObject>

namespace Thg::Tilo::Communication {

// Keeps the list of serial ports current and reports it whenever the set of ports has changed.
class ComPortScanner : public QObject {
    Q_OBJECT
public:
    using List = QList<Thg::Tilo::Communication::Comport>;

    explicit ComPortScanner(QObject *parent = nullptr) : QObject(parent) {}
    ~ComPortScanner() override = default;

signals:
    void foundNewPorts(Thg::Tilo::Communication::ComPortScanner::List ports);
};

} // namespace Thg::Tilo::Communication
