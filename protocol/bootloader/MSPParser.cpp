#include "protocol/bootloader/MSPParser.h"

MSPParser::MSPParser(QObject *parent) : QObject(parent) {}

bool MSPParser::getDataForTXTFile(const QString &fileName, QList<MSPCommands::DataBlock> *list)
{
    const TiTxt::BlocksResult result = TiTxt::readBlocks(fileName);
    mError = result.error;
    if (!result.ok())
        return false;
    for (const TiTxt::Block &block : result.blocks)
        list->append({block.data, block.address, block.crc});
    return true;
}
