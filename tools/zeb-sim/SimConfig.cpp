#include "tools/zeb-sim/SimConfig.h"

#include <QCommandLineParser>
#include <QRegularExpression>

#include <tuple>

namespace ZebSim {

namespace {

std::optional<int> parseCount(const QString &text)
{
    bool ok = false;
    const int value = text.toInt(&ok, 0);
    if (!ok || value < 0)
        return std::nullopt;
    return value;
}

// "N:M" with both numbers not negative.
std::optional<std::pair<int, int>> parsePair(const QString &text)
{
    const QStringList parts = text.split(u':');
    if (parts.size() != 2)
        return std::nullopt;
    const auto first = parseCount(parts[0]);
    const auto second = parseCount(parts[1]);
    if (!first || !second)
        return std::nullopt;
    return std::pair{*first, *second};
}

std::optional<QByteArray> parseAddress(const QString &text)
{
    const QStringList parts = text.split(u',');
    if (parts.size() != 5)
        return std::nullopt;
    QByteArray address;
    for (const QString &part : parts) {
        const auto value = parseCount(part.trimmed());
        if (!value || *value > 255)
            return std::nullopt;
        address.append(char(*value));
    }
    return address;
}

} // namespace

std::optional<std::pair<int, int>> parseVersion(const QString &text)
{
    static const QRegularExpression pattern(QStringLiteral("^V(\\d{2})\\.(\\d{2})$"));
    const auto match = pattern.match(text);
    if (!match.hasMatch())
        return std::nullopt;
    return std::pair{match.captured(1).toInt(), match.captured(2).toInt()};
}

std::optional<std::array<int, 3>> parseRevision(const QString &text)
{
    static const QRegularExpression pattern(QStringLiteral("^(\\d{2})(\\d{2})(\\d{2})$"));
    const auto match = pattern.match(text);
    if (!match.hasMatch())
        return std::nullopt;
    return std::array{match.captured(1).toInt(), match.captured(2).toInt(), match.captured(3).toInt()};
}

ParsedOptions parseOptions(const QStringList &arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Simulated ZEB device. Opens a pseudo-terminal pair, prints the path of the side a program opens "
        "as a serial port, and answers PARLINK commands 128 to 143 there as the device of the built-in "
        "description does. Runs until it is interrupted."));
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Show this help and exit."));
    const QCommandLineOption bootLoader(QStringLiteral("bootloader"),
        QStringLiteral("Start the boot loader of <family> (tiva or msp432) when command 133 is acknowledged; "
                       "the line then carries it, with the echo of every byte, until it is told to restart, "
                       "and PARLINK again after that."),
        QStringLiteral("family"));
    parser.addOption(bootLoader);
    const QCommandLineOption link(QStringLiteral("link"),
        QStringLiteral("Also place a symbolic link to the serial side at <path> (replaced if it is a link)."),
        QStringLiteral("path"));
    const QCommandLineOption log(QStringLiteral("log"),
        QStringLiteral("Append one line per frame received and sent (time, direction, command, address, "
                       "fields) to <file>."),
        QStringLiteral("file"));
    const QCommandLineOption singleWire(QStringLiteral("single-wire"),
        QStringLiteral("Play a single-wire (half-duplex) line: echo every byte the program writes."));
    const QCommandLineOption address(QStringLiteral("address"),
        QStringLiteral("The device's five address bytes (vendor, device id high/low, sub-device id "
                       "high/low). Default 19,0,4,0,1."),
        QStringLiteral("a,b,c,d,e"));
    const QCommandLineOption version(QStringLiteral("version"),
        QStringLiteral("Device firmware version. Default V02.11."), QStringLiteral("Vxx.yy"));
    const QCommandLineOption subVersion(QStringLiteral("sub-version"),
        QStringLiteral("Sub-device firmware version. Default V02.00."), QStringLiteral("Vxx.yy"));
    const QCommandLineOption name(QStringLiteral("name"),
        QStringLiteral("Device type name (at most 16 characters). Default M7Q4-ZEB."), QStringLiteral("text"));
    const QCommandLineOption subName(QStringLiteral("sub-name"),
        QStringLiteral("Sub-device type name (at most 16 characters). Default ZEB-SENSOR."),
        QStringLiteral("text"));
    const QCommandLineOption revision(QStringLiteral("revision"),
        QStringLiteral("Device revision date. Default 240307."), QStringLiteral("YYMMDD"));
    const QCommandLineOption subRevision(QStringLiteral("sub-revision"),
        QStringLiteral("Sub-device revision date. Default 230915."), QStringLiteral("YYMMDD"));
    const QCommandLineOption baudMask(QStringLiteral("baud-mask"),
        QStringLiteral("Baud rates offered by command 128, bit 0 = 1200 ... bit 9 = 460800. "
                       "Default 0x00FF (up to 115200)."),
        QStringLiteral("mask"));
    const QCommandLineOption wrongChecksum(QStringLiteral("wrong-checksum"),
        QStringLiteral("Fault: send the <n>th frame (replies and burst frames, counted from 1) with a "
                       "wrong checksum."),
        QStringLiteral("n"));
    const QCommandLineOption silentAfter(QStringLiteral("silent-after"),
        QStringLiteral("Fault: send nothing after <n> frames (0 sends nothing at all)."), QStringLiteral("n"));
    const QCommandLineOption wrongReadBack(QStringLiteral("wrong-read-back"),
        QStringLiteral("Fault: answer the first <k> reads (130) of every address range with altered bytes."),
        QStringLiteral("k"));
    const QCommandLineOption dropBytes(QStringLiteral("drop-bytes"),
        QStringLiteral("Fault: leave <count> bytes out of the <n>th frame sent, from its status bytes on."),
        QStringLiteral("n:count"));
    const QCommandLineOption statusLow(QStringLiteral("status-low"),
        QStringLiteral("Fault: answer command <cmd> with the non-zero \"Status Low\" <value>; may be given "
                       "more than once."),
        QStringLiteral("cmd:value"));
    const QCommandLineOption sample(QStringLiteral("sample"),
        QStringLiteral("Answer the next 138 or 139 with these values and the status byte (\"Status High\") "
                       "before the slash, e.g. 0x05/1:12.5,41:1.5 (a value may be nan); may be given more "
                       "than once, the last one is repeated. Default: a varying flow, volume and "
                       "temperature."),
        QStringLiteral("[status/]unit:value,..."));
    const QCommandLineOption statusText(QStringLiteral("status-text"),
        QStringLiteral("Status text <n> (1 to 8) of command 140: a level digit and the text, at most 16 "
                       "characters; may be given more than once. Default: text 1 is 3Overflow."),
        QStringLiteral("n:text"));
    const QCommandLineOption extraVariable(QStringLiteral("extra-variable"),
        QStringLiteral("Fault: add one more record to every 138 and 139 answer on the line, beyond the "
                       "eight that a device may send."),
        QStringLiteral("unit:value"));
    parser.addOptions({help, link, log, singleWire, address, version, subVersion, name, subName, revision,
                       subRevision, baudMask, wrongChecksum, silentAfter, wrongReadBack, dropBytes, statusLow,
                       sample, statusText, extraVariable});
    const QCommandLineOption paced(QStringLiteral("paced"),
        QStringLiteral("Play the line's speed, 11 bits per character at the baud rate the program has set: "
                       "the echo comes at once, a reply starts no earlier than the request's end on the wire "
                       "and arrives at that speed."));
    parser.addOption(paced);
    const QCommandLineOption shortRead(QStringLiteral("short-read"),
        QStringLiteral("Fault: answer every read (130) with <n> bytes fewer than asked, in an otherwise "
                       "well-formed reply."),
        QStringLiteral("n"));
    parser.addOption(shortRead);
    const QCommandLineOption tivaStatusPackets(QStringLiteral("tiva-status-packets"),
        QStringLiteral("The Tiva boot loader answers GetStatus in its own form: the acknowledge 00 CC, then a "
                       "status packet (03, checksum, status)."));
    const QCommandLineOption tivaRefuseDownload(QStringLiteral("tiva-refuse-download"),
        QStringLiteral("Fault: the Tiva boot loader acknowledges Download but does not carry it out; "
                       "GetStatus reports 0x43 (invalid address)."));
    const QCommandLineOption tivaFlashFails(QStringLiteral("tiva-flash-fails"),
        QStringLiteral("Fault: the Tiva boot loader does not write the <n>th SendData (counted from 1); "
                       "GetStatus reports 0x44 (flash failed)."),
        QStringLiteral("n"));
    parser.addOptions({tivaStatusPackets, tivaRefuseDownload, tivaFlashFails});

    ParsedOptions result;
    if (!parser.parse(arguments)) {
        result.error = parser.errorText();
        return result;
    }
    if (parser.isSet(help)) {
        result.helpText = parser.helpText();
        return result;
    }
    if (!parser.positionalArguments().isEmpty()) {
        result.error = QStringLiteral("Unexpected argument: %1").arg(parser.positionalArguments().first());
        return result;
    }

    SimConfig config;
    auto fail = [&result](const QString &option, const QString &value) {
        result.error = QStringLiteral("Invalid value for --%1: '%2'").arg(option, value);
        return result;
    };
    if (parser.isSet(address)) {
        const auto parsed = parseAddress(parser.value(address));
        if (!parsed)
            return fail(QStringLiteral("address"), parser.value(address));
        config.address = *parsed;
    }
    // Texts are kept as given once they pass their check.
    using TextCheck = bool (*)(const QString &);
    const TextCheck isVersion = [](const QString &text) { return parseVersion(text).has_value(); };
    const TextCheck isRevision = [](const QString &text) { return parseRevision(text).has_value(); };
    const TextCheck isName = [](const QString &text) { return text.size() <= 16 && text.toLatin1() == text.toUtf8(); };
    const std::tuple<const QCommandLineOption *, QString *, TextCheck> texts[] = {
        {&version, &config.version, isVersion},    {&subVersion, &config.subVersion, isVersion},
        {&revision, &config.revision, isRevision}, {&subRevision, &config.subRevision, isRevision},
        {&name, &config.name, isName},             {&subName, &config.subName, isName}};
    for (const auto &[option, target, valid] : texts) {
        if (parser.isSet(*option)) {
            const QString text = parser.value(*option);
            if (!valid(text))
                return fail(option->names().first(), text);
            *target = text;
        }
    }
    if (parser.isSet(baudMask)) {
        const auto mask = parseCount(parser.value(baudMask));
        if (!mask || *mask > 0xFFFF)
            return fail(QStringLiteral("baud-mask"), parser.value(baudMask));
        config.baudRateMask = std::uint16_t(*mask);
    }
    config.singleWire = parser.isSet(singleWire);
    config.linkPath = parser.value(link);
    config.logPath = parser.value(log);
    if (parser.isSet(bootLoader)) {
        const QString family = parser.value(bootLoader);
        if (family == QLatin1String("tiva"))
            config.bootLoader.family = BootLoaderPlan::Family::Tiva;
        else if (family == QLatin1String("msp432"))
            config.bootLoader.family = BootLoaderPlan::Family::Msp432;
        else
            return fail(QStringLiteral("bootloader"), family);
    }
    config.bootLoader.tivaStatusPackets = parser.isSet(tivaStatusPackets);
    config.bootLoader.tivaFaults.refuseDownload = parser.isSet(tivaRefuseDownload);
    if (parser.isSet(tivaFlashFails)) {
        const auto n = parseCount(parser.value(tivaFlashFails));
        if (!n || *n == 0)
            return fail(QStringLiteral("tiva-flash-fails"), parser.value(tivaFlashFails));
        config.bootLoader.tivaFaults.flashFailsOnData = *n;
    }

    FaultPlan &faults = config.faults;
    if (parser.isSet(wrongChecksum)) {
        const auto n = parseCount(parser.value(wrongChecksum));
        if (!n || *n == 0)
            return fail(QStringLiteral("wrong-checksum"), parser.value(wrongChecksum));
        faults.wrongChecksumOnReply = *n;
    }
    if (parser.isSet(silentAfter)) {
        const auto n = parseCount(parser.value(silentAfter));
        if (!n)
            return fail(QStringLiteral("silent-after"), parser.value(silentAfter));
        faults.silentAfterFrames = *n;
    }
    if (parser.isSet(wrongReadBack)) {
        const auto k = parseCount(parser.value(wrongReadBack));
        if (!k)
            return fail(QStringLiteral("wrong-read-back"), parser.value(wrongReadBack));
        faults.wrongReadBacks = *k;
    }
    if (parser.isSet(dropBytes)) {
        const auto pair = parsePair(parser.value(dropBytes));
        if (!pair || pair->first == 0 || pair->second == 0)
            return fail(QStringLiteral("drop-bytes"), parser.value(dropBytes));
        faults.dropBytesOnReply = pair->first;
        faults.dropByteCount = pair->second;
    }
    for (const QString &value : parser.values(statusLow)) {
        const auto pair = parsePair(value);
        if (!pair || pair->first < 128 || pair->first > 143 || pair->second == 0 || pair->second > 255)
            return fail(QStringLiteral("status-low"), value);
        faults.statusLowFor.insert(pair->first, pair->second);
    }
    config.paced = parser.isSet(paced);
    if (parser.isSet(shortRead)) {
        const auto n = parseCount(parser.value(shortRead));
        if (!n || *n == 0 || *n > 255)
            return fail(QStringLiteral("short-read"), parser.value(shortRead));
        faults.shortReads = *n;
    }
    for (const QString &value : parser.values(sample)) {
        const auto parsed = parseSample(value);
        if (!parsed)
            return fail(QStringLiteral("sample"), value);
        config.measured.samples.append(*parsed);
    }
    for (const QString &value : parser.values(statusText)) {
        const auto parsed = parseStatusText(value);
        if (!parsed)
            return fail(QStringLiteral("status-text"), value);
        config.measured.statusTexts.insert(parsed->first, parsed->second);
    }
    if (parser.isSet(extraVariable)) {
        const auto parsed = parseVariable(parser.value(extraVariable));
        if (!parsed)
            return fail(QStringLiteral("extra-variable"), parser.value(extraVariable));
        config.measured.extraVariable = *parsed;
    }
    result.config = config;
    return result;
}

} // namespace ZebSim
