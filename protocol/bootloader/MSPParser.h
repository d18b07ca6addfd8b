#pragma once

#include "protocol/bootloader/MSPCommands.h"
#include "protocol/bootloader/TiTxt.h"

#include <QList>
#include <QObject>
#include <QString>

// Reads a TI-TXT file as a list of blocks of at most 256 bytes, each with its CRC-16.
class MSPParser : public QObject {
    Q_OBJECT
public:
    explicit MSPParser(QObject *parent = nullptr);

    // Appends the file's blocks to the list. False, with the list unchanged, when the file cannot be
    // opened or is not a well-formed block list; lastError() says which.
    bool getDataForTXTFile(const QString &fileName, QList<MSPCommands::DataBlock> *list);
    TiTxt::Error lastError() const { return mError; }

private:
    TiTxt::Error mError = TiTxt::Error::None;
};
