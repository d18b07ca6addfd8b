#include "device/FileReader.h"
#include "device/ImportException.h"
#include "device/Importer.h"
#include "device/JsonValidator.h"

#include "device/DeviceTestFiles.h"

#include <QtTest>

#include <nlohmann/json.hpp>

#include <atomic>
#include <optional>
#include <string>
#include <thread>
#include <vector>

using namespace Thg::Tilo::Device;
using namespace DeviceTestFiles;
using Json = nlohmann::json;

namespace {

using Lines = std::vector<std::string>;

// The lines of the ValidationException that `document` raises against `schema`, or nothing.
std::optional<Lines> violations(const std::string &schema, const std::string &document)
{
    const StringReader schemaReader("/nowhere/Test.schema.json", schema);
    const JsonValidator validator(schemaReader);
    try {
        readAndValidate(StringReader("test.para.json", document), validator);
    } catch (const ValidationException &error) {
        if (std::string(error.what()) != "Import error: Validation failed: test.para.json")
            return Lines{std::string("unexpected text: ") + error.what()};
        return error.getErrors();
    }
    return std::nullopt;
}

// What building an importer fails with.
std::optional<std::string> importerFailure(const Importer::Config &config)
{
    try {
        Importer importer(config);
    } catch (const std::exception &error) {
        return std::string(error.what());
    }
    return std::nullopt;
}

// What building an importer whose description schema is `root` (in `dir`) fails with.
std::optional<std::string> importerFailure(const QTemporaryDir &dir, const std::string &root)
{
    return importerFailure({root, write(dir, "Settings.schema.json", R"({ "type": "object" })")});
}

// A root schema split over three more files, two of them in a subdirectory. Documents are checked
// with {"A": 2, "B": {"C": 2}}, which breaks both limits of 1.
const char *const splitRoot = R"({ "properties": { "A": { "$ref": "Common.schema.json#/definitions/a" },
                                                   "B": { "$ref": "parts/Part.schema.json" } } })";
const char *const splitCommon = R"({ "definitions": { "a": { "maximum": 1 } } })";
const char *const splitPart = R"({ "properties": { "C": { "$ref": "Leaf.schema.json" } } })";
const char *const splitLeaf = R"({ "maximum": 1 })";
const char *const splitDocument = R"({ "A": 2, "B": { "C": 2 } })";

// Writes the split schema into `dir`; returns the root's path.
std::string writeSplitSchema(const QTemporaryDir &dir)
{
    write(dir, "Common.schema.json", splitCommon);
    write(dir, "parts/Part.schema.json", splitPart);
    write(dir, "parts/Leaf.schema.json", splitLeaf);
    return write(dir, "Root.schema.json", splitRoot);
}

// The violation lines of `document` against the schema file at `root`, read afresh from disk.
Lines linesAgainstFile(const std::string &root, const std::string &document)
{
    const JsonValidator validator{FileReader(root)};
    try {
        readAndValidate(StringReader("x.para.json", document), validator);
    } catch (const ValidationException &error) {
        return error.getErrors();
    }
    return {};
}

} // namespace

class TestJsonValidator : public QObject {
    Q_OBJECT
private slots:
    void violations_giveOneLineEach_data();
    void violations_giveOneLineEach();
    void nestedValue_isNamedByItsFullPointer();
    void validDocument_isReturnedWithoutDefaults();
    void unsignedBeyondSigned64_isCheckedAsLarge_data();
    void unsignedBeyondSigned64_isCheckedAsLarge();
    void schemaSplitOverFiles_loadsFromRootDirectory();
    void unusableSchema_failsImporter_data();
    void unusableSchema_failsImporter();
    void schemaChangedOnDisk_appliesToNextValidator_data();
    void schemaChangedOnDisk_appliesToNextValidator();
    void schemaBrokenAfterUse_failsAsOnFirstUse_data();
    void schemaBrokenAfterUse_failsAsOnFirstUse();
    void oneSchema_validatesFromSeveralThreads();
};

void TestJsonValidator::violations_giveOneLineEach_data()
{
    QTest::addColumn<QString>("schema");
    QTest::addColumn<QString>("document");
    QTest::addColumn<QStringList>("lines");

    QTest::newRow("document itself")
        << R"({ "type": "object", "required": [ "Identity" ] })" << R"({})"
        << QStringList{": Missing required property 'Identity'."};
    QTest::newRow("two violations")
        << R"({ "type": "object", "properties": { "A": { "type": "string" }, "B": { "type": "boolean" } } })"
        << R"({ "A": 1, "B": 2 })"
        << QStringList{"/A: Value type not permitted by 'type' constraint.",
                       "/B: Value type not permitted by 'type' constraint."};
    QTest::newRow("escaped keys")
        << R"({ "properties": { "a/b": { "type": "string" }, "c~d": { "type": "string" } } })"
        << R"({ "a/b": 1, "c~d": 2 })"
        << QStringList{"/a~1b: Value type not permitted by 'type' constraint.",
                       "/c~0d: Value type not permitted by 'type' constraint."};
    QTest::newRow("array items, no summary lines")
        << R"({ "type": "array", "items": { "type": "number", "maximum": 9 } })" << R"([ 1, 10, 2, 11 ])"
        << QStringList{"/1: Expected number less than or equal to 9.000000",
                       "/3: Expected number less than or equal to 9.000000"};
    QTest::newRow("conditional, no summary line")
        << R"({ "if": { "required": [ "T" ] }, "then": { "properties": { "V": { "maximum": 1 } } } })"
        << R"({ "T": 0, "V": 2 })" << QStringList{"/V: Expected number less than or equal to 1.000000"};
    QTest::newRow("all of, no summary line")
        << R"({ "allOf": [ { "properties": { "V": { "maximum": 1 } }, "required": [ "W" ] } ] })"
        << R"({ "V": 2 })"
        << QStringList{"/V: Expected number less than or equal to 1.000000", ": Missing required property 'W'."};
    QTest::newRow("valid") << R"({ "type": "object" })" << R"({ "A": 1 })" << QStringList{};
    QTest::newRow("formats are not checked")
        << R"({ "properties": { "D": { "format": "date" }, "T": { "type": "string", "format": "time" } } })"
        << R"({ "D": 5, "T": "noon" })" << QStringList{};
}

void TestJsonValidator::violations_giveOneLineEach()
{
    QFETCH(QString, schema);
    QFETCH(QString, document);
    QFETCH(QStringList, lines);

    const auto found = violations(schema.toStdString(), document.toStdString());
    QStringList foundLines;
    for (const std::string &line : found.value_or(Lines{}))
        foundLines.append(QString::fromStdString(line));
    QCOMPARE(foundLines.join('\n'), lines.join('\n'));
    QCOMPARE(found.has_value(), !lines.isEmpty());
}

void TestJsonValidator::nestedValue_isNamedByItsFullPointer()
{
    const auto found = violations(R"({ "properties": { "DeviceParameterSets": { "items": { "properties": {
        "Parameters": { "items": { "properties": { "Address": { "type": "number", "maximum": 65535 } } } } } } } } })",
                                  R"({ "DeviceParameterSets": [ { "Parameters": [
        { "Address": 1 }, { "Address": 2 }, { "Address": 3 }, { "Address": 65536 } ] } ] })");
    QCOMPARE(found.value_or(Lines{}),
             Lines{"/DeviceParameterSets/0/Parameters/3/Address: Expected number less than or equal to 65535.000000"});
}

void TestJsonValidator::validDocument_isReturnedWithoutDefaults()
{
    const JsonValidator validator(StringReader("/nowhere/Test.schema.json",
                                               R"({ "properties": { "A": { "type": "number", "default": 5 } } })"));
    const Json document = readAndValidate(StringReader("x.para.json", R"({ "B": true })"), validator);
    QCOMPARE(document, Json::parse(R"({ "B": true })"));
}

void TestJsonValidator::unsignedBeyondSigned64_isCheckedAsLarge_data()
{
    QTest::addColumn<QString>("value");
    QTest::addColumn<bool>("valid");
    QTest::newRow("largest unsigned 64-bit") << "18446744073709551615" << true;
    QTest::newRow("above signed 64-bit") << "9223372036854775808" << true;
    QTest::newRow("minus one") << "-1" << false;
    QTest::newRow("two to the 64") << "18446744073709551616" << false;
}

void TestJsonValidator::unsignedBeyondSigned64_isCheckedAsLarge()
{
    QFETCH(QString, value);
    QFETCH(bool, valid);
    const std::string schema =
        R"({ "properties": { "V": { "type": "number", "exclusiveMinimum": -1, "exclusiveMaximum": 18446744073709551616 } } })";
    const std::string document = R"({ "V": )" + value.toStdString() + " }";
    const auto found = violations(schema, document);
    QCOMPARE(!found.has_value(), valid);
    if (!valid)
        return;
    // The document comes back with the number it was given, not the one it was checked as.
    const JsonValidator validator(StringReader("/nowhere/Test.schema.json", schema));
    const Json checked = readAndValidate(StringReader("x.para.json", document), validator);
    QCOMPARE(QString::fromStdString(checked.dump()), R"({"V":)" + value + "}");
}

void TestJsonValidator::schemaSplitOverFiles_loadsFromRootDirectory()
{
    QTemporaryDir schemas;
    QTemporaryDir elsewhere;
    QVERIFY(schemas.isValid() && elsewhere.isValid());
    const std::string root = write(schemas, "Root.schema.json", R"({
        "properties": { "A": { "$ref": "Common.schema.json#/definitions/small" },
                        "B": { "$ref": "parts/Part.schema.json" } } })");
    write(schemas, "Common.schema.json", R"({ "definitions": { "small": { "type": "number", "maximum": 1 } } })");
    // A reference inside a referenced file is looked up beside that file.
    write(schemas, "parts/Part.schema.json", R"({ "properties": { "C": { "$ref": "Leaf.schema.json" },
        "D": { "$ref": "#/definitions/text" } }, "definitions": { "text": { "type": "string" } } })");
    write(schemas, "parts/Leaf.schema.json", R"({ "type": "boolean" })");
    // Files of the same names in the working directory must not be taken.
    write(elsewhere, "Common.schema.json", R"({ "definitions": { "small": { "type": "string" } } })");

    std::optional<JsonValidator> validator;
    {
        const WorkingDirectory cwd(elsewhere.path());
        validator.emplace(FileReader(root));
    }
    try {
        readAndValidate(StringReader("x.para.json", R"({ "A": 2, "B": { "C": 1, "D": 2 } })"), *validator);
        QFAIL("three violations expected");
    } catch (const ValidationException &error) {
        QCOMPARE(error.getErrors(), (Lines{"/A: Expected number less than or equal to 1.000000",
                                           "/B/C: Value type not permitted by 'type' constraint.",
                                           "/B/D: Value type not permitted by 'type' constraint."}));
    }
}

void TestJsonValidator::unusableSchema_failsImporter_data()
{
    QTest::addColumn<QString>("rootSchema");
    // Further schema files: name, content, name, content ...
    QTest::addColumn<QStringList>("referenced");
    // "<dir>" stands for the schema directory, "<root>" for the root schema's path.
    QTest::addColumn<QString>("message");
    QTest::addColumn<bool>("exact");

    const QString refToCommon = R"({ "properties": { "A": { "$ref": "Common.schema.json#/definitions/a" } } })";
    QTest::newRow("referenced schema not JSON")
        << refToCommon << QStringList{"Common.schema.json", "{ definitions"}
        << "Import error: Format mismatch: <root>, detailed error: [json.exception.parse_error.101]" << false;
    QTest::newRow("referenced schema missing")
        << refToCommon << QStringList{}
        << "Import error: Could not read schema file: <dir>/Common.schema.json does not exist" << true;
    QTest::newRow("referenced schema empty")
        << refToCommon << QStringList{"Common.schema.json", ""}
        << "Import error: Could not read schema file: Could not read <dir>/Common.schema.json" << true;
    QTest::newRow("reference to a directory")
        << R"({ "properties": { "A": { "$ref": "sub/" } } })" << QStringList{"sub/x.json", "{}"}
        << "Import error: Could not read schema file: Schema reference 'sub/' names no file" << true;
    QTest::newRow("empty reference")
        << R"({ "properties": { "A": { "$ref": "" } } })" << QStringList{}
        << "Import error: Could not read schema file: Schema reference '' names no file" << true;
    QTest::newRow("reference out of the directory")
        << R"({ "properties": { "A": { "$ref": "../Outside.schema.json" } } })" << QStringList{}
        << "Import error: Could not read schema file: Schema reference '../Outside.schema.json' leads out of the schema directory"
        << true;
    QTest::newRow("pointer to nothing")
        << R"({ "properties": { "A": { "$ref": "#/definitions/none" } } })" << QStringList{}
        << "Import error: Could not read schema file: " << false;
    QTest::newRow("keyword the validator refuses")
        << R"({ "properties": { "A": { "maximum": "high" } } })" << QStringList{}
        << "Import error: Could not read schema file: " << false;
    QTest::newRow("root schema not JSON")
        << "[ 1," << QStringList{} << "Import error: Format mismatch: <root>, detailed error: [json.exception.parse_error.101]"
        << false;
    QTest::newRow("reference to itself")
        << R"({ "definitions": { "a": { "$ref": "#/definitions/a" } }, "properties": { "A": { "$ref": "#/definitions/a" } } })"
        << QStringList{} << "Import error: Could not read schema file: Schema reference '#/definitions/a' refers to itself"
        << true;
    QTest::newRow("references in a circle over two files")
        << R"({ "properties": { "A": { "$ref": "A.schema.json#/definitions/x" } } })"
        << QStringList{"A.schema.json", R"({ "definitions": { "x": { "$ref": "B.schema.json#/definitions/y" } } })",
                       "B.schema.json", R"({ "definitions": { "y": { "$ref": "A.schema.json#/definitions/x" } } })"}
        << "Import error: Could not read schema file: Schema reference 'A.schema.json#/definitions/x' refers to itself"
        << true;
    QTest::newRow("root schema empty") << "" << QStringList{}
                                       << "Import error: Could not read schema file: Could not read <root>" << true;
}

void TestJsonValidator::unusableSchema_failsImporter()
{
    QFETCH(QString, rootSchema);
    QFETCH(QStringList, referenced);
    QFETCH(QString, message);
    QFETCH(bool, exact);

    QTemporaryDir top;
    QVERIFY(top.isValid());
    // The file exists, but lies beside the schema directory, not below it.
    write(top, "schemas/Outside.schema.json", "{}");
    const QString dir = top.filePath("schemas");
    QTemporaryDir schemas(dir + "/XXXXXX");
    const std::string root = write(schemas, "Root.schema.json", rootSchema.toStdString());
    for (qsizetype i = 0; i + 1 < referenced.size(); i += 2)
        write(schemas, referenced[i], referenced[i + 1].toStdString());

    message.replace("<root>", QString::fromStdString(root)).replace("<dir>", QDir::cleanPath(schemas.path()));
    const auto failure = importerFailure(schemas, root);
    QVERIFY(failure.has_value());
    if (exact)
        QCOMPARE(QString::fromStdString(*failure), message);
    else
        QVERIFY2(QString::fromStdString(*failure).startsWith(message), failure->c_str());
}

void TestJsonValidator::schemaChangedOnDisk_appliesToNextValidator_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("content");
    QTest::addColumn<QStringList>("lines");

    // Each change keeps the file's size, and comes right after the file was read: a check of size
    // and time stamp alone would miss it.
    QTest::newRow("root schema")
        << "Root.schema.json"
        << R"({ "properties": { "B": { "$ref": "Common.schema.json#/definitions/a" },
                                                   "A": { "$ref": "parts/Part.schema.json" } } })"
        << QStringList{};
    QTest::newRow("file the root refers to")
        << "Common.schema.json" << R"({ "definitions": { "a": { "maximum": 2 } } })"
        << QStringList{"/B/C: Expected number less than or equal to 1.000000"};
    QTest::newRow("file a referenced file refers to")
        << "parts/Leaf.schema.json" << R"({ "maximum": 2 })"
        << QStringList{"/A: Expected number less than or equal to 1.000000"};
    QTest::newRow("referenced file that now refers further")
        << "parts/Leaf.schema.json" << R"({ "$ref":"T.js"})"
        << QStringList{"/A: Expected number less than or equal to 1.000000",
                       "/B/C: Value type not permitted by 'type' constraint."};
}

void TestJsonValidator::schemaChangedOnDisk_appliesToNextValidator()
{
    QFETCH(QString, file);
    QFETCH(QString, content);
    QFETCH(QStringList, lines);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const std::string root = writeSplitSchema(dir);
    write(dir, "parts/T.js", R"({ "type": "string" })");
    const Lines before{"/A: Expected number less than or equal to 1.000000",
                       "/B/C: Expected number less than or equal to 1.000000"};
    QCOMPARE(linesAgainstFile(root, splitDocument), before);
    QCOMPARE(linesAgainstFile(root, splitDocument), before);

    write(dir, file, content.toStdString());
    Lines expected;
    for (const QString &line : lines)
        expected.push_back(line.toStdString());
    QCOMPARE(linesAgainstFile(root, splitDocument), expected);
    QCOMPARE(linesAgainstFile(root, splitDocument), expected);
}

void TestJsonValidator::schemaBrokenAfterUse_failsAsOnFirstUse_data()
{
    QTest::addColumn<QString>("file");
    // "remove", "empty", "directory" or the new content.
    QTest::addColumn<QString>("change");
    // "<dir>" stands for the schema directory, "<root>" for the description schema's path.
    QTest::addColumn<QString>("message");
    QTest::addColumn<bool>("exact");

    QTest::newRow("settings schema removed")
        << "Settings.schema.json" << "remove"
        << "Import error: Could not read schema file: <dir>/Settings.schema.json does not exist" << true;
    QTest::newRow("description schema removed")
        << "Root.schema.json" << "remove"
        << "Import error: Could not read schema file: <dir>/Root.schema.json does not exist" << true;
    QTest::newRow("referenced schema removed")
        << "Common.schema.json" << "remove"
        << "Import error: Could not read schema file: <dir>/Common.schema.json does not exist" << true;
    QTest::newRow("schema referenced by a referenced one removed")
        << "parts/Leaf.schema.json" << "remove"
        << "Import error: Could not read schema file: <dir>/parts/Leaf.schema.json does not exist" << true;
    QTest::newRow("description schema emptied")
        << "Root.schema.json" << "empty" << "Import error: Could not read schema file: Could not read <root>" << true;
    QTest::newRow("referenced schema emptied")
        << "parts/Part.schema.json" << "empty"
        << "Import error: Could not read schema file: Could not read <dir>/parts/Part.schema.json" << true;
    QTest::newRow("referenced schema now a directory")
        << "Common.schema.json" << "directory"
        << "Import error: Could not read schema file: <dir>/Common.schema.json must be a file" << true;
    QTest::newRow("referenced schema no longer JSON")
        << "Common.schema.json" << "{ definitions"
        << "Import error: Format mismatch: <root>, detailed error: [json.exception.parse_error.101]" << false;
}

void TestJsonValidator::schemaBrokenAfterUse_failsAsOnFirstUse()
{
    QFETCH(QString, file);
    QFETCH(QString, change);
    QFETCH(QString, message);
    QFETCH(bool, exact);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const Importer::Config config{writeSplitSchema(dir), write(dir, "Settings.schema.json", R"({ "type": "object" })")};
    const std::string &root = config.deviceDescriptionSchema;
    QCOMPARE(importerFailure(config), std::optional<std::string>());
    QCOMPARE(importerFailure(config), std::optional<std::string>());

    const QString path = dir.filePath(file);
    const QByteArray saved = [&] {
        QFile original(path);
        return original.open(QIODevice::ReadOnly) ? original.readAll() : QByteArray();
    }();
    QVERIFY(QFile::remove(path));
    if (change == "empty")
        write(dir, file, "");
    else if (change == "directory")
        QVERIFY(QDir().mkpath(path));
    else if (change != "remove")
        write(dir, file, change.toStdString());

    message.replace("<root>", QString::fromStdString(root)).replace("<dir>", QDir::cleanPath(dir.path()));
    const auto failure = importerFailure(config);
    QVERIFY(failure.has_value());
    if (exact)
        QCOMPARE(QString::fromStdString(*failure), message);
    else
        QVERIFY2(QString::fromStdString(*failure).startsWith(message), failure->c_str());

    // Once the file is back, the importer is built again.
    QDir(path).removeRecursively();
    QFile::remove(path);
    write(dir, file, saved.toStdString());
    QCOMPARE(importerFailure(config), std::optional<std::string>());
}

void TestJsonValidator::oneSchema_validatesFromSeveralThreads()
{
    QTemporaryDir dir;
    QTemporaryDir other;
    QVERIFY(dir.isValid() && other.isValid());
    const std::string root = writeSplitSchema(dir);
    // Not compiled yet when the threads start: they race to compile and keep it.
    const std::string otherRoot = writeSplitSchema(other);
    const Lines expected{"/A: Expected number less than or equal to 1.000000",
                         "/B/C: Expected number less than or equal to 1.000000"};
    const JsonValidator shared{FileReader(root)};

    std::atomic<int> wrong = 0;
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&] {
            for (int i = 0; i < 25; ++i) {
                const std::optional<JsonValidator> own =
                    i % 2 ? std::optional<JsonValidator>(FileReader(otherRoot)) : std::nullopt;
                try {
                    readAndValidate(StringReader("x.para.json", splitDocument), own ? *own : shared);
                    ++wrong;
                } catch (const ValidationException &error) {
                    if (error.getErrors() != expected)
                        ++wrong;
                } catch (const std::exception &) {
                    ++wrong;
                }
            }
        });
    }
    for (auto &thread : threads)
        thread.join();
    QCOMPARE(wrong.load(), 0);
}

QTEST_GUILESS_MAIN(TestJsonValidator)
#include "tst_jsonvalidator.moc"
