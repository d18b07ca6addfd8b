#pragma once

#include "protocol/bootloader/TiTxt.h"
#include "protocol/bootloader/TivaCommands.h"

#include <QObject>
#include <QString>

namespace TIVA {

// Reads a TI-TXT file as one contiguous image, the gaps between its sections filled with 0xFF.
class Parser : public QObject {
    Q_OBJECT
public:
    explicit Parser(QObject *parent = nullptr);

    // False when the file cannot be opened or is not a well-formed image; lastError() says which.
    // The block is changed only on success.
    bool getDataForTXTFile(const QString &fileName, Commands::DataBlock *block);
    TiTxt::Error lastError() const { return mError; }

private:
    TiTxt::Error mError = TiTxt::Error::None;
};

} // namespace TIVA
