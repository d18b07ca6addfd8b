#include "protocol/bootloader/MSPParser.h"
#include "protocol/bootloader/TiTxt.h"
#include "protocol/bootloader/TivaParser.h"

#include <QTemporaryDir>
#include <QtTest>

using TiTxt::Error;
using Kind = TiTxt::Token::Kind;

Q_DECLARE_METATYPE(TiTxt::Error)
Q_DECLARE_METATYPE(TiTxt::Token::Kind)

namespace {
QByteArray hex(const char *text)
{
    return QByteArray::fromHex(text);
}

// "@2000" and 300 data bytes 00 01 .. FF 00 .. 2B.
QByteArray threeHundredBytes()
{
    QByteArray text = "@2000\n";
    for (int i = 0; i < 300; ++i)
        text += QByteArray::number(i & 0xFF, 16).rightJustified(2, '0').toUpper() + (i % 16 == 15 ? "\n" : " ");
    return text + "q\n";
}

QByteArray sequence(int from, int count)
{
    QByteArray bytes;
    for (int i = from; i < from + count; ++i)
        bytes.append(char(i & 0xFF));
    return bytes;
}

// A block as "address:data-in-hex:crc" for readable comparisons.
QStringList described(const QList<TiTxt::Block> &blocks)
{
    QStringList list;
    for (const TiTxt::Block &block : blocks)
        list << QStringLiteral("%1:%2:%3")
                    .arg(block.address, 0, 16)
                    .arg(QString::fromLatin1(block.data.toHex()))
                    .arg(block.crc, 4, 16, QLatin1Char('0'));
    return list;
}
} // namespace

class TestTiTxt : public QObject {
    Q_OBJECT
private slots:
    void crc16_hasTheCcittFalseParameters_data();
    void crc16_hasTheCcittFalseParameters();
    void tokens_areClassifiedStrictly_data();
    void tokens_areClassifiedStrictly();
    void image_fromLiteralText_data();
    void image_fromLiteralText();
    void image_atTheSizeCap_isTakenAndAboveIsRefused();
    void blocks_fromLiteralText_data();
    void blocks_fromLiteralText();
    void blocks_atTheTopOfTheAddressSpace_data();
    void blocks_atTheTopOfTheAddressSpace();
    void files_areReadInPieces();
    void missingFile_cannotBeOpened();
    void parsers_leaveTheirOutputAloneOnFailure();
};

void TestTiTxt::crc16_hasTheCcittFalseParameters_data()
{
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<quint16>("crc");
    QTest::newRow("abc") << QByteArray("abc") << quint16(0x514A);
    QTest::newRow("check string") << QByteArray("123456789") << quint16(0x29B1);
    QTest::newRow("empty block") << QByteArray() << quint16(0xFFFF);
}

void TestTiTxt::crc16_hasTheCcittFalseParameters()
{
    QFETCH(QByteArray, data);
    QFETCH(quint16, crc);
    const TiTxt::BlocksResult result = TiTxt::parseBlocks("@0 " + data.toHex(' ') + " q");
    QVERIFY(result.ok());
    QCOMPARE(result.blocks.size(), 1);
    QCOMPARE(result.blocks.first().crc, crc);
}

void TestTiTxt::tokens_areClassifiedStrictly_data()
{
    QTest::addColumn<QByteArray>("token");
    QTest::addColumn<Kind>("kind");
    QTest::addColumn<quint32>("value");
    QTest::newRow("address") << QByteArray("@100") << Kind::Address << 0x100u;
    QTest::newRow("address in lower case") << QByteArray("@1a2b") << Kind::Address << 0x1A2Bu;
    QTest::newRow("highest address") << QByteArray("@FFFFFFFF") << Kind::Address << 0xFFFFFFFFu;
    QTest::newRow("address with leading zeros") << QByteArray("@000000010000") << Kind::Address << 0x10000u;
    QTest::newRow("address above 32 bits") << QByteArray("@100000000") << Kind::Bad << 0u;
    QTest::newRow("address without digits") << QByteArray("@") << Kind::Bad << 0u;
    QTest::newRow("address with a q in it") << QByteArray("@10Q") << Kind::Bad << 0u;
    QTest::newRow("address with a prefix") << QByteArray("@0x10") << Kind::Bad << 0u;
    QTest::newRow("data") << QByteArray("0F") << Kind::Data << 0x0Fu;
    QTest::newRow("data in lower case") << QByteArray("ab") << Kind::Data << 0xABu;
    QTest::newRow("three digits") << QByteArray("0FF") << Kind::Bad << 0u;
    QTest::newRow("one digit") << QByteArray("7") << Kind::Bad << 0u;
    QTest::newRow("not hexadecimal") << QByteArray("G1") << Kind::Bad << 0u;
    QTest::newRow("sign") << QByteArray("+1") << Kind::Bad << 0u;
    QTest::newRow("tab inside") << QByteArray("0\t") << Kind::Bad << 0u;
    QTest::newRow("end") << QByteArray("q") << Kind::End << 0u;
    QTest::newRow("end in capitals") << QByteArray("Q") << Kind::End << 0u;
    QTest::newRow("end after a digit") << QByteArray("aq") << Kind::End << 0u;
    QTest::newRow("end before a digit") << QByteArray("Q0") << Kind::End << 0u;
    QTest::newRow("q in a long token") << QByteArray("0FFq") << Kind::End << 0u;
}

void TestTiTxt::tokens_areClassifiedStrictly()
{
    QFETCH(QByteArray, token);
    QFETCH(Kind, kind);
    QFETCH(quint32, value);
    const TiTxt::Token result = TiTxt::classifyToken(token);
    QCOMPARE(result.kind, kind);
    QCOMPARE(result.value, value);
}

void TestTiTxt::image_fromLiteralText_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<Error>("error");
    QTest::addColumn<quint32>("address");
    QTest::addColumn<QByteArray>("data");
    QTest::newRow("gap filled with FF") << QByteArray("@100 01 02 @104 03 q") << Error::None << 0x100u
                                       << hex("0102FFFF03");
    QTest::newRow("CR LF and several blanks") << QByteArray("@100\r\n01   02\r\n@104  03\r\nq\r\n") << Error::None
                                              << 0x100u << hex("0102FFFF03");
    QTest::newRow("address at the end of the data") << QByteArray("@100 01 @101 02 q") << Error::None << 0x100u
                                                    << hex("0102");
    QTest::newRow("no end token") << QByteArray("@100 01 02") << Error::None << 0x100u << hex("0102");
    QTest::newRow("nothing read after the end token") << QByteArray("@100 01 q 0FF @0 zz") << Error::None
                                                      << 0x100u << hex("01");
    QTest::newRow("Q0 ends the data") << QByteArray("@100 01 Q0 02") << Error::None << 0x100u << hex("01");
    QTest::newRow("aq ends the data") << QByteArray("@100 01 aq 02") << Error::None << 0x100u << hex("01");
    QTest::newRow("address line and end token only") << QByteArray("@1000 q") << Error::None << 0x1000u
                                                     << QByteArray();
    QTest::newRow("highest byte") << QByteArray("@FFFFFFFF 5A") << Error::None << 0xFFFFFFFFu << hex("5A");

    QTest::newRow("three-digit token") << QByteArray("@100 01 0FF 02") << Error::BadToken << 0u << QByteArray();
    QTest::newRow("address that does not parse") << QByteArray("@10Q 01") << Error::BadToken << 0u << QByteArray();
    QTest::newRow("second address that does not parse") << QByteArray("@100 01 @2G0 02") << Error::BadToken << 0u
                                                        << QByteArray();
    QTest::newRow("data before the first address") << QByteArray("01 @100 02") << Error::DataBeforeAddress << 0u
                                                   << QByteArray();
    QTest::newRow("no address line") << QByteArray("01 02 q") << Error::DataBeforeAddress << 0u << QByteArray();
    QTest::newRow("empty text") << QByteArray() << Error::NoAddress << 0u << QByteArray();
    QTest::newRow("end token only") << QByteArray("q") << Error::NoAddress << 0u << QByteArray();
    QTest::newRow("address inside the data") << QByteArray("@100 01 02 @101 03") << Error::AddressBelowData << 0u
                                             << QByteArray();
    QTest::newRow("address below the start") << QByteArray("@100 01 @FF 02") << Error::AddressBelowData << 0u
                                             << QByteArray();
    QTest::newRow("gap beyond the size cap") << QByteArray("@0 01 @4000001 02") << Error::ImageTooLarge << 0u
                                             << QByteArray();
    QTest::newRow("gap of four gigabytes") << QByteArray("@0 01 @FFFFFFFF 02") << Error::ImageTooLarge << 0u
                                           << QByteArray();
    QTest::newRow("data past FFFFFFFF") << QByteArray("@FFFFFFFF 01 02") << Error::PastAddressSpace << 0u
                                        << QByteArray();
}

void TestTiTxt::image_fromLiteralText()
{
    QFETCH(QByteArray, text);
    QFETCH(Error, error);
    QFETCH(quint32, address);
    QFETCH(QByteArray, data);
    const TiTxt::ImageResult result = TiTxt::parseImage(text);
    QCOMPARE(result.error, error);
    QCOMPARE(result.image.address, address);
    QCOMPARE(result.image.data, data);
}

void TestTiTxt::image_atTheSizeCap_isTakenAndAboveIsRefused()
{
    QCOMPARE(TiTxt::MaxImageBytes, qsizetype(64 * 1024 * 1024));
    const TiTxt::ImageResult atCap = TiTxt::parseImage("@10 01 @400000F 02");
    QVERIFY(atCap.ok());
    QCOMPARE(atCap.image.data.size(), qsizetype(0x4000000));
    QCOMPARE(atCap.image.data.left(3), hex("01FFFF"));
    QCOMPARE(atCap.image.data.right(2), hex("FF02"));

    QCOMPARE(TiTxt::parseImage("@10 01 @400000F 02 03").error, Error::ImageTooLarge);
    QCOMPARE(TiTxt::parseImage("@10 01 @4000010 02").error, Error::ImageTooLarge);
}

void TestTiTxt::blocks_fromLiteralText_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<Error>("error");
    QTest::addColumn<QStringList>("blocks");
    QTest::newRow("two sections") << QByteArray("@100 01 02 @104 03 q") << Error::None
                                  << QStringList{"100:0102:0e7c", "104:03:d193"};
    QTest::newRow("CR LF and several blanks") << QByteArray("@100\r\n01  02\r\n\r\n@104    03\r\nq\r\n")
                                              << Error::None << QStringList{"100:0102:0e7c", "104:03:d193"};
    QTest::newRow("300 bytes in two blocks")
        << threeHundredBytes() << Error::None
        << QStringList{QStringLiteral("2000:%1:3fbd").arg(QString::fromLatin1(sequence(0, 256).toHex())),
                       QStringLiteral("2100:%1:76a7").arg(QString::fromLatin1(sequence(256, 44).toHex()))};
    QTest::newRow("empty block") << QByteArray("@1000 q") << Error::None << QStringList{"1000::ffff"};
    QTest::newRow("address lines in a row") << QByteArray("@1000 @2000 01") << Error::None
                                            << QStringList{"1000::ffff", "2000:01:f1d1"};
    QTest::newRow("descending sections stay in order") << QByteArray("@200 01 @100 02") << Error::None
                                                       << QStringList{"200:01:f1d1", "100:02:c1b2"};
    QTest::newRow("empty block inside another") << QByteArray("@100 01 02 @101 @200 03") << Error::None
                                                << QStringList{"100:0102:0e7c", "101::ffff", "200:03:d193"};

    QTest::newRow("three-digit token") << QByteArray("@100 0FF") << Error::BadToken << QStringList{};
    QTest::newRow("address that does not parse") << QByteArray("@10Q 01") << Error::BadToken << QStringList{};
    QTest::newRow("data before the first address") << QByteArray("01 @100 02") << Error::DataBeforeAddress
                                                   << QStringList{};
    QTest::newRow("no address line") << QByteArray("   \r\n") << Error::NoAddress << QStringList{};
    QTest::newRow("overlap with the next section") << QByteArray("@100 01 02 @101 03") << Error::OverlappingBlocks
                                                   << QStringList{};
    QTest::newRow("overlap with an earlier section") << QByteArray("@101 03 @100 01 02")
                                                     << Error::OverlappingBlocks << QStringList{};
    QTest::newRow("same address twice") << QByteArray("@100 01 @100 02") << Error::OverlappingBlocks
                                        << QStringList{};
}

void TestTiTxt::blocks_fromLiteralText()
{
    QFETCH(QByteArray, text);
    QFETCH(Error, error);
    QFETCH(QStringList, blocks);
    const TiTxt::BlocksResult result = TiTxt::parseBlocks(text);
    QCOMPARE(result.error, error);
    QCOMPARE(described(result.blocks), blocks);
}

void TestTiTxt::blocks_atTheTopOfTheAddressSpace_data()
{
    QTest::addColumn<QByteArray>("start");
    QTest::addColumn<int>("bytes");
    QTest::addColumn<Error>("error");
    QTest::addColumn<int>("blocks");
    QTest::newRow("last byte") << QByteArray("@FFFFFFFF") << 1 << Error::None << 1;
    QTest::newRow("past the last byte") << QByteArray("@FFFFFFFF") << 2 << Error::PastAddressSpace << 0;
    QTest::newRow("last full block") << QByteArray("@FFFFFF00") << 256 << Error::None << 1;
    QTest::newRow("continued past the top") << QByteArray("@FFFFFF00") << 257 << Error::PastAddressSpace << 0;
    QTest::newRow("block reaching over the top") << QByteArray("@FFFFFFF0") << 17 << Error::PastAddressSpace << 0;
}

void TestTiTxt::blocks_atTheTopOfTheAddressSpace()
{
    QFETCH(QByteArray, start);
    QFETCH(int, bytes);
    QFETCH(Error, error);
    QFETCH(int, blocks);
    QByteArray text = start;
    for (int i = 0; i < bytes; ++i)
        text += " 5A";
    const TiTxt::BlocksResult result = TiTxt::parseBlocks(text);
    QCOMPARE(result.error, error);
    QCOMPARE(result.blocks.size(), blocks);
}

void TestTiTxt::files_areReadInPieces()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    // The file is read 64 KiB at a time: the address token straddles the first boundary.
    QByteArray text(65534, ' ');
    text += "@2000 01 02\r\n@2004 03\r\nq\r\n";
    const QString path = dir.filePath(QStringLiteral("image.txt"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(text);
    file.close();

    const TiTxt::ImageResult image = TiTxt::readImage(path);
    QCOMPARE(image.error, Error::None);
    QCOMPARE(image.image.address, 0x2000u);
    QCOMPARE(image.image.data, hex("0102FFFF03"));

    const TiTxt::BlocksResult blocks = TiTxt::readBlocks(path);
    QCOMPARE(blocks.error, Error::None);
    QCOMPARE(described(blocks.blocks), (QStringList{"2000:0102:0e7c", "2004:03:d193"}));
}

void TestTiTxt::missingFile_cannotBeOpened()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("missing.txt"));
    QCOMPARE(TiTxt::readImage(path).error, Error::CannotOpen);
    QCOMPARE(TiTxt::readBlocks(path).error, Error::CannotOpen);
}

void TestTiTxt::parsers_leaveTheirOutputAloneOnFailure()
{
    QTemporaryDir dir;
    const QString good = dir.filePath(QStringLiteral("good.txt"));
    const QString bad = dir.filePath(QStringLiteral("bad.txt"));
    for (const auto &[path, text] : {std::pair{good, QByteArray("@100 01 02 @104 03 q")},
                                     std::pair{bad, QByteArray("@100 01 0FF q")}}) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(text);
    }

    MSPParser mspParser;
    QList<MSPCommands::DataBlock> list{{hex("AA"), 0x10, 0x1234}};
    QVERIFY(!mspParser.getDataForTXTFile(bad, &list));
    QCOMPARE(mspParser.lastError(), Error::BadToken);
    QCOMPARE(list.size(), 1);
    QVERIFY(mspParser.getDataForTXTFile(good, &list));
    QCOMPARE(list.size(), 3);
    QCOMPARE(list.at(1).startAddress, 0x100u);
    QCOMPARE(list.at(1).data, hex("0102"));
    QCOMPARE(list.at(1).crc, quint16(0x0E7C));
    QCOMPARE(list.at(2).startAddress, 0x104u);

    TIVA::Parser tivaParser;
    TIVA::Commands::DataBlock block{0x10, 1, hex("AA")};
    QVERIFY(!tivaParser.getDataForTXTFile(bad, &block));
    QCOMPARE(tivaParser.lastError(), Error::BadToken);
    QCOMPARE(block.data, hex("AA"));
    QVERIFY(tivaParser.getDataForTXTFile(good, &block));
    QCOMPARE(block.startAddress, 0x100u);
    QCOMPARE(block.length, 5u);
    QCOMPARE(block.data, hex("0102FFFF03"));
}

QTEST_GUILESS_MAIN(TestTiTxt)
#include "tst_titxt.moc"
