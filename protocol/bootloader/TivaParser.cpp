#include "protocol/bootloader/TivaParser.h"

namespace TIVA {

Parser::Parser(QObject *parent) : QObject(parent) {}

bool Parser::getDataForTXTFile(const QString &fileName, Commands::DataBlock *block)
{
    TiTxt::ImageResult result = TiTxt::readImage(fileName);
    mError = result.error;
    if (!result.ok())
        return false;
    block->startAddress = result.image.address;
    block->length = quint32(result.image.data.size());
    block->data = std::move(result.image.data);
    return true;
}

} // namespace TIVA
