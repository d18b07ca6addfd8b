#include "protocol/parlink/PARLINK_FieldCodec.h"

#include <QtTest>

using FieldMap = QMap<QString, QVariant>;
using namespace PARLINK_FieldCodec;

namespace {
QByteArray hex(const char *text)
{
    return QByteArray::fromHex(QByteArray(text));
}

// Compares only the listed fields; every other field is checked where a row says so.
void compareFields(const FieldMap &actual, const FieldMap &expected)
{
    for (auto it = expected.cbegin(); it != expected.cend(); ++it) {
        QVERIFY2(actual.contains(it.key()), qPrintable(it.key()));
        QCOMPARE(actual.value(it.key()), it.value());
        QCOMPARE(actual.value(it.key()).metaType(), it.value().metaType());
    }
}
} // namespace

class TestParlinkFieldCodec : public QObject {
    Q_OBJECT
private slots:
    void request_isLaidOutPerCommand_data();
    void request_isLaidOutPerCommand();
    void request131_thatCannotBeLaidOut_isRefused_data();
    void request131_thatCannotBeLaidOut_isRefused();
    void requestFrame_carriesAddressExceptFor137();
    void requestFromWire_isDecoded_data();
    void requestFromWire_isDecoded();
    void response_isLaidOutPerCommand_data();
    void response_isLaidOutPerCommand();
    void responseWithManyVariables_keepsCountInOneByte();
    void responseFromWire_isDecodedWithExactCounts_data();
    void responseFromWire_isDecodedWithExactCounts();
    void responseFrame_takesAddressAndCommandFromFrame();
    void textSlot_endsAtZeroOrAfter16_data();
    void textSlot_endsAtZeroOrAfter16();
    void textSlot_isEncodedAs16Latin1Bytes_data();
    void textSlot_isEncodedAs16Latin1Bytes();
};

void TestParlinkFieldCodec::request_isLaidOutPerCommand_data()
{
    QTest::addColumn<int>("command");
    QTest::addColumn<FieldMap>("fields");
    QTest::addColumn<QByteArray>("payload");

    QTest::newRow("128 default") << 128 << FieldMap{{"Databytes Master", 0}} << hex("00");
    QTest::newRow("129 baud 19200") << 129 << FieldMap{{"Databytes Master", 3}, {"Baudrate", 19200}} << hex("03004b00");
    QTest::newRow("129 baud 115200") << 129 << FieldMap{{"Databytes Master", 3}, {"Baudrate", 115200}}
                                     << hex("0301c200");
    QTest::newRow("130 address and count") << 130
                                           << FieldMap{{"Databytes Master", 3}, {"Address", 0x1234}, {"BytesToRead", 50}}
                                           << hex("03123432");
    QTest::newRow("130 cut to field width") << 130
                                            << FieldMap{{"Databytes Master", 3}, {"Address", 0x12345}, {"BytesToRead", 0x1FF}}
                                            << hex("032345ff");
    QTest::newRow("131 first BytesToWrite bytes")
        << 131 << FieldMap{{"Address", 0x0102}, {"BytesToWrite", 3}, {"Bytes", hex("aabbccdd")}} << hex("050102aabbcc");
    QTest::newRow("131 nothing to write") << 131 << FieldMap{{"Address", 0x0010}, {"BytesToWrite", 0}, {"Bytes", QByteArray()}}
                                          << hex("020010");
    QTest::newRow("131 fifty bytes count 52")
        << 131 << FieldMap{{"Address", 0}, {"BytesToWrite", 50}, {"Bytes", QByteArray(50, '\x5a')}}
        << hex("340000") + QByteArray(50, '\x5a');
    QTest::newRow("132") << 132 << FieldMap{{"Databytes Master", 0}} << hex("00");
    QTest::newRow("133") << 133 << FieldMap{{"Databytes Master", 0}} << hex("00");
    QTest::newRow("134 diag code") << 134 << FieldMap{{"Databytes Master", 1}, {"DiagCode", 7}} << hex("0107");
    QTest::newRow("135") << 135 << FieldMap{{"Databytes Master", 0}} << hex("00");
    QTest::newRow("136") << 136 << FieldMap{{"Databytes Master", 0}} << hex("00");
    QTest::newRow("137") << 137 << FieldMap{{"Databytes Master", 0}} << hex("00");
    QTest::newRow("138") << 138 << FieldMap{{"Databytes Master", 0}} << hex("00");
    QTest::newRow("139") << 139 << FieldMap{{"Databytes Master", 0}} << hex("00");
    QTest::newRow("140") << 140 << FieldMap{{"Databytes Master", 0}} << hex("00");
    QTest::newRow("141") << 141 << FieldMap{{"Databytes Master", 0}} << hex("00");
    QTest::newRow("142") << 142 << FieldMap{{"Databytes Master", 0}} << hex("00");
    QTest::newRow("143 system command") << 143
                                        << FieldMap{{"Databytes Master", 5}, {"Systemcommand", 2}, {"Payload", 0x01020304}}
                                        << hex("050201020304");
    QTest::newRow("143 payload all ones") << 143
                                          << FieldMap{{"Databytes Master", 5}, {"Systemcommand", 1}, {"Payload", 0xFFFFFFFFu}}
                                          << hex("0501ffffffff");
    QTest::newRow("143 missing fields use defaults") << 143 << FieldMap{} << hex("050000000000");
    QTest::newRow("count from Databytes Master as given") << 135 << FieldMap{{"Databytes Master", 4}} << hex("04");
    QTest::newRow("command outside 128..143") << 127 << FieldMap{{"Databytes Master", 3}} << QByteArray();
}

void TestParlinkFieldCodec::request_isLaidOutPerCommand()
{
    QFETCH(int, command);
    QFETCH(FieldMap, fields);
    QFETCH(QByteArray, payload);
    const std::optional<QByteArray> encoded = encodeRequest(command, fields);
    QVERIFY(encoded.has_value());
    QCOMPARE(encoded->toHex(' '), payload.toHex(' '));
}

void TestParlinkFieldCodec::request131_thatCannotBeLaidOut_isRefused_data()
{
    QTest::addColumn<FieldMap>("fields");
    QTest::newRow("Bytes shorter than BytesToWrite")
        << FieldMap{{"Address", 0}, {"BytesToWrite", 4}, {"Bytes", hex("010203")}};
    QTest::newRow("count past one byte") << FieldMap{{"Address", 0}, {"BytesToWrite", 254}, {"Bytes", QByteArray(254, 'x')}};
}

void TestParlinkFieldCodec::request131_thatCannotBeLaidOut_isRefused()
{
    QFETCH(FieldMap, fields);
    QVERIFY(!encodeRequest(131, fields).has_value());
    QVERIFY(!encodeRequestFrame(131, hex("0102030405"), fields).has_value());
}

void TestParlinkFieldCodec::requestFrame_carriesAddressExceptFor137()
{
    const QByteArray address = hex("1122334455");
    QCOMPARE(encodeRequestFrame(135, address, FieldMap{{"Databytes Master", 0}})->toHex(' '),
             hex("82112233445587" "00").toHex(' '));
    QCOMPARE(encodeRequestFrame(137, address, FieldMap{{"Databytes Master", 0}})->toHex(' '),
             hex("82000000000089" "00").toHex(' '));
    QCOMPARE(encodeRequestFrame(130, hex("0102"), FieldMap{{"Databytes Master", 3}, {"Address", 0x10}, {"BytesToRead", 2}})
                 ->toHex(' '),
             hex("82010200000082" "03001002").toHex(' '));
}

void TestParlinkFieldCodec::requestFromWire_isDecoded_data()
{
    QTest::addColumn<int>("command");
    QTest::addColumn<QByteArray>("payload");
    QTest::addColumn<FieldMap>("expected");

    QTest::newRow("129 baud") << 129 << hex("03004b00") << FieldMap{{"Baudrate", 19200}};
    QTest::newRow("130 address and count") << 130 << hex("03123404") << FieldMap{{"Address", 0x1234}, {"BytesToRead", 4}};
    QTest::newRow("131 count 7 gives five bytes")
        << 131 << hex("0701021122334455")
        << FieldMap{{"Address", 0x0102}, {"BytesToWrite", 5}, {"Bytes", hex("1122334455")}};
    QTest::newRow("131 count below 2 gives nothing, not 255")
        << 131 << hex("01") << FieldMap{{"BytesToWrite", 0}, {"Bytes", QByteArray()}, {"Address", 0}};
    QTest::newRow("131 count beyond data takes what is there")
        << 131 << hex("07010211 22") << FieldMap{{"Address", 0x0102}, {"BytesToWrite", 2}, {"Bytes", hex("1122")}};
    QTest::newRow("134 diag code") << 134 << hex("0109") << FieldMap{{"DiagCode", 9}};
    QTest::newRow("143 command and payload")
        << 143 << hex("0501deadbeef") << FieldMap{{"Systemcommand", 1}, {"Payload", 0xDEADBEEFu}};
    QTest::newRow("143 truncated keeps default payload") << 143 << hex("0501") << FieldMap{{"Systemcommand", 1}, {"Payload", 0}};
    QTest::newRow("129 truncated keeps default baud") << 129 << hex("0300") << FieldMap{{"Baudrate", 0}};
    QTest::newRow("135 has no request fields") << 135 << hex("00") << FieldMap{{"Version", 0}, {"Subversion", 0}};
    QTest::newRow("empty payload") << 130 << QByteArray() << FieldMap{{"Address", 0}, {"BytesToRead", 0}};
}

void TestParlinkFieldCodec::requestFromWire_isDecoded()
{
    QFETCH(int, command);
    QFETCH(QByteArray, payload);
    QFETCH(FieldMap, expected);
    const FieldMap decoded = decodeRequest(command, payload);
    compareFields(decoded, expected);
    QCOMPARE(decoded.value("Universal Error"), QVariant(0));
}

void TestParlinkFieldCodec::response_isLaidOutPerCommand_data()
{
    QTest::addColumn<int>("command");
    QTest::addColumn<FieldMap>("reply");
    QTest::addColumn<FieldMap>("request");
    QTest::addColumn<QByteArray>("payload");

    QTest::newRow("128 bitmask") << 128 << FieldMap{{"Databytes Slave", 4}, {"BaudrateBitmask", 0x01FF}} << FieldMap{}
                                 << hex("04000001ff");
    QTest::newRow("129") << 129 << FieldMap{{"Databytes Slave", 2}} << FieldMap{} << hex("020000");
    QTest::newRow("130 short reply sends zeros")
        << 130 << FieldMap{{"Bytes", hex("aabb")}} << FieldMap{{"BytesToRead", 4}} << hex("060000" "00000000");
    QTest::newRow("130 longer reply sends first bytes")
        << 130 << FieldMap{{"Bytes", hex("010203040506")}} << FieldMap{{"BytesToRead", 4}} << hex("060000" "01020304");
    QTest::newRow("130 status follows reply") << 130 << FieldMap{{"Bytes", hex("01")}, {"Status High", 0x40}, {"Status Low", 1}}
                                              << FieldMap{{"BytesToRead", 1}} << hex("034001" "01");
    QTest::newRow("131") << 131 << FieldMap{{"Databytes Slave", 2}} << FieldMap{} << hex("020000");
    QTest::newRow("132") << 132 << FieldMap{{"Databytes Slave", 2}} << FieldMap{} << hex("020000");
    QTest::newRow("133 status bytes") << 133 << FieldMap{{"Databytes Slave", 2}, {"Status High", 0x12}, {"Status Low", 0x34}}
                                      << FieldMap{} << hex("021234");
    QTest::newRow("134 diag value") << 134 << FieldMap{{"Databytes Slave", 6}, {"DiagValue", 0x01020304}} << FieldMap{}
                                    << hex("060000" "01020304");
    QTest::newRow("135 version") << 135 << FieldMap{{"Databytes Slave", 4}, {"Version", 2}, {"Subversion", 11}} << FieldMap{}
                                 << hex("040000" "020b");
    QTest::newRow("136 revision") << 136
                                  << FieldMap{{"Databytes Slave", 5}, {"Revision Year", 24}, {"Revision Month", 7}, {"Revision Day", 28}}
                                  << FieldMap{} << hex("050000" "18071c");
    QTest::newRow("137") << 137 << FieldMap{{"Databytes Slave", 2}} << FieldMap{} << hex("020000");
    QTest::newRow("138 one variable 1.0")
        << 138 << FieldMap{{"Number of Devicevariables", 1}, {"Devicevariable 1 Unit", 7}, {"Devicevariable 1", 1.0F}}
        << FieldMap{} << hex("080000" "01" "07" "3f800000");
    QTest::newRow("138 two variables")
        << 138
        << FieldMap{{"Number of Devicevariables", 2}, {"Devicevariable 1 Unit", 1}, {"Devicevariable 1", -2.0F},
                    {"Devicevariable 2 Unit", 2}, {"Devicevariable 2", 0.5F}}
        << FieldMap{} << hex("0d0000" "02" "01" "c0000000" "02" "3f000000");
    QTest::newRow("139 no variables") << 139 << FieldMap{{"Number of Burstvariables", 0}} << FieldMap{} << hex("030000" "00");
    QTest::newRow("139 missing value sent as default")
        << 139 << FieldMap{{"Number of Burstvariables", 1}, {"Burstvariable 1 Unit", 3}} << FieldMap{}
        << hex("080000" "01" "03" "00000000");
    QTest::newRow("141 device type") << 141 << FieldMap{{"Databytes Slave", 18}, {"Devicetypestring", "M7Q4-ZEB"}} << FieldMap{}
                                     << hex("120000" "4d3751342d5a4542" "0000000000000000");
    QTest::newRow("142") << 142 << FieldMap{{"Databytes Slave", 2}} << FieldMap{} << hex("020000");
    QTest::newRow("143") << 143 << FieldMap{{"Databytes Slave", 2}} << FieldMap{} << hex("020000");
    QByteArray statusStrings = hex("820000");
    for (int i = 0; i < 8; ++i)
        statusStrings += hex("20000000000000000000000000000000");
    QTest::newRow("140 default blanks") << 140 << FieldMap{{"Databytes Slave", 130}} << FieldMap{} << statusStrings;
    QTest::newRow("127 unknown: count 2 and status") << 127 << FieldMap{{"Status High", 1}, {"Status Low", 2}}
                                                      << FieldMap{} << hex("020102");
    QTest::newRow("144 unknown: no data whatever is set")
        << 144 << FieldMap{{"Databytes Slave", 9}, {"Bytes", QByteArray("ab")}} << FieldMap{{"BytesToRead", 2}}
        << hex("020000");
}

void TestParlinkFieldCodec::response_isLaidOutPerCommand()
{
    QFETCH(int, command);
    QFETCH(FieldMap, reply);
    QFETCH(FieldMap, request);
    QFETCH(QByteArray, payload);
    QCOMPARE(encodeResponse(command, reply, request).toHex(' '), payload.toHex(' '));
}

void TestParlinkFieldCodec::responseWithManyVariables_keepsCountInOneByte()
{
    // 200 variables would need the count 1003; the count byte must agree with the records sent.
    const QByteArray payload = encodeResponse(138, FieldMap{{"Number of Devicevariables", 200}});
    QCOMPARE(quint8(payload[0]), quint8(253));
    QCOMPARE(quint8(payload[3]), quint8(50));
    QCOMPARE(payload.size(), 1 + 253);

    const QByteArray frame = encodeResponseFrame(130, hex("0102030405"), FieldMap{{"Bytes", QByteArray(300, 'x')}},
                                                 FieldMap{{"BytesToRead", 255}});
    QCOMPARE(quint8(frame[7]), quint8(255));
    QCOMPARE(frame.size(), 8 + 2 + 253);
}

void TestParlinkFieldCodec::responseFromWire_isDecodedWithExactCounts_data()
{
    QTest::addColumn<int>("command");
    QTest::addColumn<QByteArray>("payload");
    QTest::addColumn<FieldMap>("expected");

    QTest::newRow("128 bitmask") << 128 << hex("040000" "1234") << FieldMap{{"BaudrateBitmask", 0x1234}, {"Universal Error", 0}};
    QTest::newRow("128 count 3") << 128 << hex("030000" "12") << FieldMap{{"BaudrateBitmask", 0}, {"Universal Error", 1}};
    QTest::newRow("129 done") << 129 << hex("020000") << FieldMap{{"Universal Error", 0}};
    QTest::newRow("129 not carried out") << 129 << hex("020001") << FieldMap{{"Universal Error", 255}, {"Status Low", 1}};
    QTest::newRow("130 count 2 empty bytes") << 130 << hex("020000") << FieldMap{{"Bytes", QByteArray()}, {"Universal Error", 0}};
    QTest::newRow("130 three bytes") << 130 << hex("050000" "aabbcc") << FieldMap{{"Bytes", hex("aabbcc")}, {"Universal Error", 0}};
    QTest::newRow("130 count 100 accepted") << 130 << hex("640000") + QByteArray(98, '\x11')
                                            << FieldMap{{"Bytes", QByteArray(98, '\x11')}, {"Universal Error", 0}};
    QTest::newRow("130 count 102 too many") << 130 << hex("660000") + QByteArray(100, '\x11')
                                            << FieldMap{{"Bytes", QByteArray()}, {"Universal Error", 2}};
    QTest::newRow("130 count 1 too few") << 130 << hex("0100" "00") << FieldMap{{"Universal Error", 1}};
    QTest::newRow("131 done") << 131 << hex("020000") << FieldMap{{"Universal Error", 0}};
    QTest::newRow("132 count 3 too many") << 132 << hex("030000" "00") << FieldMap{{"Universal Error", 2}};
    QTest::newRow("133 done") << 133 << hex("020000") << FieldMap{{"Universal Error", 0}};
    QTest::newRow("134 unsigned diag value") << 134 << hex("060000" "fffffffe")
                                             << FieldMap{{"DiagValue", 0xFFFFFFFEu}, {"Universal Error", 0}};
    QTest::newRow("135 version") << 135 << hex("040000" "020b")
                                 << FieldMap{{"Version", 2}, {"Subversion", 11}, {"Universal Error", 0}, {"Status High", 0}};
    QTest::newRow("135 count 5 too many") << 135 << hex("050000" "020b00")
                                          << FieldMap{{"Version", 0}, {"Subversion", 0}, {"Universal Error", 2}};
    QTest::newRow("135 count 3 too few") << 135 << hex("030000" "02") << FieldMap{{"Version", 0}, {"Universal Error", 1}};
    QTest::newRow("status low 1 whatever the count")
        << 135 << hex("058001" "020b00")
        << FieldMap{{"Version", 0}, {"Universal Error", 255}, {"Status High", 0x80}, {"Status Low", 1}};
    QTest::newRow("136 revision") << 136 << hex("050000" "18071c")
                                  << FieldMap{{"Revision Year", 24}, {"Revision Month", 7}, {"Revision Day", 28}};
    QTest::newRow("138 two variables, rest default")
        << 138 << hex("0d0000" "02" "01" "3f800000" "02" "c0000000")
        << FieldMap{{"Number of Devicevariables", 2}, {"Devicevariable 1 Unit", 1}, {"Devicevariable 1", 1.0F},
                    {"Devicevariable 2 Unit", 2}, {"Devicevariable 2", -2.0F}, {"Devicevariable 3 Unit", 0},
                    {"Devicevariable 3", 0.0F}, {"Devicevariable 8", 0.0F}, {"Universal Error", 0}};
    QTest::newRow("138 count disagrees with N") << 138 << hex("0d0000" "01" "01" "3f800000" "02" "c0000000")
                                                << FieldMap{{"Number of Devicevariables", 0}, {"Universal Error", 2}};
    // 3 + 5 x 52 = 263, which an 8-bit sum would wrap to 7.
    QTest::newRow("138 N 52 with count 7 is not wrapped")
        << 138 << hex("070000" "34" "01020304") << FieldMap{{"Number of Devicevariables", 0}, {"Universal Error", 1}};
    QTest::newRow("138 no count byte for N") << 138 << hex("020000") << FieldMap{{"Universal Error", 1}};
    QTest::newRow("139 burst variable") << 139 << hex("080000" "01" "05" "41200000")
                                        << FieldMap{{"Number of Burstvariables", 1}, {"Burstvariable 1 Unit", 5},
                                                    {"Burstvariable 1", 10.0F}};
    QByteArray nine = hex("300000" "09");
    for (int i = 1; i <= 9; ++i)
        nine += QByteArray(1, char(i)) + hex("3f800000");
    QTest::newRow("139 nine variables keep eight") << 139 << nine
                                                   << FieldMap{{"Number of Burstvariables", 9}, {"Burstvariable 8 Unit", 8},
                                                               {"Burstvariable 8", 1.0F}, {"Universal Error", 0}};
    QByteArray status = hex("820000");
    status += QByteArray("ABC") + QByteArray(13, '\0');
    status += QByteArray("0123456789ABCDEF");
    for (int i = 3; i <= 8; ++i)
        status += QByteArray(16, '\0');
    QTest::newRow("140 status strings")
        << 140 << status
        << FieldMap{{"Statusstring 1", "ABC"}, {"Statusstring 2", "0123456789ABCDEF"}, {"Statusstring 3", ""},
                    {"Universal Error", 0}};
    QTest::newRow("141 device type") << 141 << hex("120000" "4d3751342d5a4542" "0000000000000000")
                                     << FieldMap{{"Devicetypestring", "M7Q4-ZEB"}};
    QTest::newRow("141 count beyond the bytes given") << 141 << hex("120000" "4d3751342d5a4542")
                                                      << FieldMap{{"Devicetypestring", " "}, {"Universal Error", 1}};
    QTest::newRow("142 done") << 142 << hex("020000") << FieldMap{{"Universal Error", 0}};
    QTest::newRow("143 done") << 143 << hex("020000") << FieldMap{{"Universal Error", 0}};
    QTest::newRow("143 count 0 too few") << 143 << hex("000000") << FieldMap{{"Universal Error", 1}};
    QTest::newRow("empty payload") << 135 << QByteArray() << FieldMap{{"Universal Error", 1}, {"Status Low", 0}};
    QTest::newRow("no status low byte") << 135 << hex("0400") << FieldMap{{"Universal Error", 1}};
}

void TestParlinkFieldCodec::responseFromWire_isDecodedWithExactCounts()
{
    QFETCH(int, command);
    QFETCH(QByteArray, payload);
    QFETCH(FieldMap, expected);
    const FieldMap decoded = decodeResponse(command, payload);
    compareFields(decoded, expected);
    QCOMPARE(decoded.value("Error"), QVariant(0));
}

void TestParlinkFieldCodec::responseFrame_takesAddressAndCommandFromFrame()
{
    const FieldMap identity = decodeResponseFrame(hex("86" "1122334455" "89" "020000"));
    compareFields(identity, FieldMap{{"Address Vendor ID", 0x11}, {"Address Slave", 0x2233}, {"Address Subslave", 0x4455},
                                     {"Universal Error", 0}});

    const FieldMap version = decodeResponseFrame(hex("86" "0102030405" "87" "040000" "0305"));
    compareFields(version, FieldMap{{"Version", 3}, {"Subversion", 5}});

    // Too short to name a command: only the common fields, reported as too few bytes.
    const FieldMap stub = decodeResponseFrame(hex("861122"));
    QCOMPARE(stub.size(), 3);
}

void TestParlinkFieldCodec::textSlot_endsAtZeroOrAfter16_data()
{
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<int>("offset");
    QTest::addColumn<QString>("text");
    QTest::newRow("16 non-zero bytes") << QByteArray("ABCDEFGHIJKLMNOP") << 0 << QString("ABCDEFGHIJKLMNOP");
    QTest::newRow("slot ends before next slot") << QByteArray("ABCDEFGHIJKLMNOPQRS") << 0 << QString("ABCDEFGHIJKLMNOP");
    QTest::newRow("ABC then zeros") << QByteArray("ABC") + QByteArray(13, '\0') << 0 << QString("ABC");
    QTest::newRow("zero first") << QByteArray(16, '\0') << 0 << QString("");
    QTest::newRow("latin-1") << hex("4772fc6e") + QByteArray(12, '\0') << 0 << QString::fromUtf8("Gr\u00fcn");
    QTest::newRow("at offset") << QByteArray("xxXY") << 2 << QString("XY");
    QTest::newRow("past the end") << QByteArray("AB") << 2 << QString();
}

void TestParlinkFieldCodec::textSlot_endsAtZeroOrAfter16()
{
    QFETCH(QByteArray, data);
    QFETCH(int, offset);
    QFETCH(QString, text);
    QCOMPARE(decodeTextSlot(data, offset), text);
}

void TestParlinkFieldCodec::textSlot_isEncodedAs16Latin1Bytes_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("slot");
    QTest::newRow("blank") << QString(" ") << hex("20") + QByteArray(15, '\0');
    QTest::newRow("empty") << QString() << QByteArray(16, '\0');
    QTest::newRow("latin-1") << QString::fromUtf8("\u00e4") << hex("e4") + QByteArray(15, '\0');
    QTest::newRow("cut after 16") << QString("0123456789ABCDEFGH") << QByteArray("0123456789ABCDEF");
}

void TestParlinkFieldCodec::textSlot_isEncodedAs16Latin1Bytes()
{
    QFETCH(QString, text);
    QFETCH(QByteArray, slot);
    QCOMPARE(encodeTextSlot(text).toHex(' '), slot.toHex(' '));
}

QTEST_GUILESS_MAIN(TestParlinkFieldCodec)
#include "tst_parlink_fieldcodec.moc"
