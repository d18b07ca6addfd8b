// The one place that knows the schema validator library (valijson). Everything the rest of the
// device model relies on is kept here: one line per real violation with an RFC 6901 pointer, "$ref"
// files fetched by the Loader, and the import's own exceptions whatever the library throws.
#ifndef VALIJSON_USE_EXCEPTIONS
#define VALIJSON_USE_EXCEPTIONS 1 // without it the library aborts the process on a bad schema
#endif

#include "device/JsonValidator.h"

#include "device/ImportException.h"
#include "device/JsonValidationErrorHandler.h"
#include "device/Loader.h"
#include "device/Reader.h"

#include <valijson/adapters/nlohmann_json_adapter.hpp>
#include <valijson/schema.hpp>
#include <valijson/schema_parser.hpp>
#include <valijson/validation_results.hpp>
#include <valijson/validator.hpp>

#include <algorithm>
#include <array>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <limits>
#include <map>
#include <mutex>
#include <set>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace Thg::Tilo::Device {

namespace {

using Json = nlohmann::json;

// valijson reports a failed child a second time at its parent ("Failed to validate item #3 in
// array."), after the child's own line. Only the child's line says what is wrong.
constexpr std::array summaryPrefixes{
    std::string_view("Failed to validate item #"),
    std::string_view("Failed to validate against schema associated with property name '"),
    std::string_view("Failed to validate against schema associated with pattern '"),
    std::string_view("Failed to validate against additional properties schema"),
    std::string_view("Failed to validate against a conditional schema set by if-then-else constraints."),
    std::string_view("Failed to validate against any schemas allowed by anyOf constraint."),
    std::string_view("Failed to validate against any child schemas allowed by oneOf constraint."),
    std::string_view("Failed to validate against dependent schema."),
    std::string_view("Failed to validate against child schema #"),
};

bool isSummary(std::string_view message)
{
    for (const auto prefix : summaryPrefixes) {
        if (message.starts_with(prefix))
            return true;
    }
    return false;
}

// valijson's context is "<root>" followed by one "[token]" per step, the token being a property
// name or an array index.
Json::json_pointer toPointer(const std::vector<std::string> &context)
{
    Json::json_pointer pointer;
    for (std::size_t i = 1; i < context.size(); ++i) {
        const std::string &step = context[i];
        pointer.push_back(step.size() >= 2 ? step.substr(1, step.size() - 2) : step);
    }
    return pointer;
}

const Json &instanceAt(const Json &document, const Json::json_pointer &pointer)
{
    try {
        return document.at(pointer);
    } catch (const Json::exception &) {
        return document;
    }
}

// valijson reads every integer as signed 64-bit, so an unsigned number above that range would be
// checked as a negative one. Such numbers are checked as the largest signed one instead, which keeps
// every verdict of the schemas' ranges (none of them lies above it).
constexpr auto largestSigned = std::numeric_limits<std::int64_t>::max();

bool isHugeUnsigned(const Json &json)
{
    return json.is_number_unsigned() && json.get<std::uint64_t>() > static_cast<std::uint64_t>(largestSigned);
}

bool hasHugeUnsigned(const Json &json)
{
    if (json.is_structured())
        return std::any_of(json.begin(), json.end(), [](const Json &element) { return hasHugeUnsigned(element); });
    return isHugeUnsigned(json);
}

// Sets the huge unsigned numbers of a document to the largest signed one for as long as it lives,
// and then puts them back; the description holds a few, and copying all of it for them would cost
// a good part of its check.
class HugeUnsignedClamp {
public:
    explicit HugeUnsignedClamp(Json &document)
    {
        collect(document);
        for (Json *number : numbers)
            *number = largestSigned;
    }
    ~HugeUnsignedClamp()
    {
        for (std::size_t i = 0; i < numbers.size(); ++i)
            *numbers[i] = originals[i];
    }
    HugeUnsignedClamp(const HugeUnsignedClamp &) = delete;
    HugeUnsignedClamp &operator=(const HugeUnsignedClamp &) = delete;

private:
    void collect(Json &json)
    {
        if (json.is_structured()) {
            for (Json &element : json)
                collect(element);
        } else if (isHugeUnsigned(json)) {
            numbers.push_back(&json);
            originals.push_back(json.get<std::uint64_t>());
        }
    }

    std::vector<Json *> numbers;
    std::vector<std::uint64_t> originals;
};

// The schema documents of one compilation, made ready for the library: formats are never checked,
// references are rebased to the root's directory, and a reference that leads only to itself (which
// would send the library into endless recursion) is refused as unusable.
class SchemaDocuments {
public:
    // `file` is the document's path relative to the root's directory, empty for the root schema.
    void add(const std::string &file, Json &document)
    {
        dropFormats(document);
        if (!file.empty())
            rebaseReferences(document, file);
        documents[file] = &document;
        checkReferences(file, document);
    }

private:
    static void dropFormats(Json &json)
    {
        if (!json.is_structured())
            return;
        if (json.is_object()) {
            if (const auto it = json.find("format"); it != json.end() && it->is_string())
                json.erase(it);
        }
        for (auto it = json.begin(); it != json.end(); ++it) {
            // Values of these keywords are data, not schemas.
            if (json.is_object() && (it.key() == "enum" || it.key() == "const" || it.key() == "default" ||
                                     it.key() == "examples"))
                continue;
            dropFormats(*it);
        }
    }

    // The library resolves a reference inside a fetched file as if it stood in the root schema: a
    // file name against the root's directory, and "#/..." under a cache key that every file shares.
    // So each reference of a fetched file is rewritten to name its file relative to the root's
    // directory.
    static void rebaseReferences(Json &json, const std::filesystem::path &file)
    {
        if (json.is_object()) {
            if (const auto it = json.find("$ref"); it != json.end() && it->is_string()) {
                const std::string reference = it->get<std::string>();
                const auto hash = reference.find('#');
                const std::string target = reference.substr(0, hash);
                const std::string pointer = hash == std::string::npos ? std::string() : reference.substr(hash);
                if (target.empty())
                    *it = file.generic_string() + pointer;
                else if (target.find("://") == std::string::npos && !target.starts_with('/'))
                    *it = (file.parent_path() / target).lexically_normal().generic_string() + pointer;
            }
        }
        if (json.is_structured()) {
            for (Json &element : json)
                rebaseReferences(element, file);
        }
    }

    void checkReferences(const std::string &file, const Json &json) const
    {
        if (json.is_object() && json.contains("$ref"))
            follow(file, json);
        if (json.is_structured()) {
            for (const Json &element : json)
                checkReferences(file, element);
        }
    }

    // Follows a chain of schemas that are nothing but a reference, as far as the documents known so
    // far reach. A cycle closes in the last of its documents to be loaded, so it is found there.
    void follow(std::string file, const Json &start) const
    {
        std::set<std::string> visited;
        const Json *node = &start;
        while (node->is_object()) {
            const auto it = node->find("$ref");
            if (it == node->end() || !it->is_string())
                return;
            const std::string reference = it->get<std::string>();
            const auto hash = reference.find('#');
            if (hash != 0)
                file = reference.substr(0, hash);
            const std::string pointer = hash == std::string::npos ? std::string() : reference.substr(hash + 1);
            if (!visited.insert(file + '#' + pointer).second)
                throw std::invalid_argument("Schema reference '" + reference + "' refers to itself");

            const auto document = documents.find(file);
            if (document == documents.end())
                return;
            try {
                node = &document->second->at(Json::json_pointer(pointer));
            } catch (const Json::exception &) {
                return; // the library names a reference that leads nowhere itself
            }
        }
    }

    std::map<std::string, const Json *> documents;
};

// Compiles `root`; every file fetched for it is appended to `files`.
std::unique_ptr<valijson::Schema> compile(Json &root, const Loader &loader, std::vector<Loader::File> &files)
{
    SchemaDocuments documents;
    documents.add(std::string(), root);

    auto schema = std::make_unique<valijson::Schema>();
    const auto fetch = [&loader, &documents, &files](const std::string &uri) -> const Json * {
        auto document = std::make_unique<Json>();
        files.push_back(loader.load(uri, *document));
        documents.add(Loader::relativePath(uri).generic_string(), *document);
        return document.release();
    };
    const auto release = [](const Json *document) { delete document; };

    valijson::SchemaParser parser(valijson::SchemaParser::kDraft7);
    const valijson::adapters::NlohmannJsonAdapter adapter(root);
    try {
        parser.populateSchema(adapter, *schema, valijson::SchemaParser::FunctionPtrs<
                                                    valijson::adapters::NlohmannJsonAdapter>::FetchDoc(fetch),
                              valijson::SchemaParser::FunctionPtrs<
                                  valijson::adapters::NlohmannJsonAdapter>::FreeDoc(release));
    } catch (const Json::exception &) {
        throw;
    } catch (const std::invalid_argument &) {
        throw;
    } catch (const IoException &) {
        throw;
    } catch (const std::exception &error) {
        // The library's own refusals (std::runtime_error, std::logic_error) mean the schema cannot
        // be used, as a reference that cannot be loaded does.
        throw std::invalid_argument(error.what());
    }
    return schema;
}

// Whether the file at `path`, read as FileReader reads it, holds exactly `expected`. Anything that
// keeps it from being read counts as a difference.
bool holds(const std::filesystem::path &path, std::string_view expected)
{
    std::ifstream stream(path);
    if (!stream.is_open())
        return false;
    std::array<char, 4096> buffer{};
    std::size_t offset = 0;
    while (stream) {
        stream.read(buffer.data(), buffer.size());
        const auto count = static_cast<std::size_t>(stream.gcount());
        if (count > expected.size() - offset || expected.substr(offset, count) != std::string_view(buffer.data(), count))
            return false;
        offset += count;
    }
    return !stream.bad() && offset == expected.size();
}

// The program builds a new importer, and so compiles both schemas, for every import; compiling is
// most of the time an import takes. Compiled schemas are therefore kept for the process, one per
// root schema name, and handed out again while the root text and the bytes of every file the
// compilation fetched are unchanged. Comparing bytes, not sizes and times, also catches a file
// rewritten within one tick of the file system's clock. Only what compiled is kept, so every
// failure comes from compiling afresh and reads as it always did.
class CompiledSchemas {
public:
    static CompiledSchemas &instance()
    {
        static CompiledSchemas schemas;
        return schemas;
    }

    std::shared_ptr<const valijson::Schema> find(const std::string &rootName, const std::string &rootText)
    {
        std::shared_ptr<const Entry> entry;
        {
            const std::lock_guard lock(mutex);
            const auto it = entries.find(rootName);
            if (it == entries.end())
                return nullptr;
            it->second.lastUse = ++uses;
            entry = it->second.entry;
        }
        // The files are compared outside the lock; the entry itself never changes.
        if (entry->rootText != rootText)
            return nullptr;
        for (const Loader::File &file : entry->files) {
            if (!holds(file.path, file.text))
                return nullptr;
        }
        return entry->schema;
    }

    void store(const std::string &rootName, std::string rootText, std::vector<Loader::File> files,
               std::shared_ptr<const valijson::Schema> schema)
    {
        auto entry = std::make_shared<const Entry>(Entry{std::move(rootText), std::move(files), std::move(schema)});
        // A replaced or evicted schema is freed after the lock is released; freeing one takes a while.
        std::shared_ptr<const Entry> dropped;
        const std::lock_guard lock(mutex);
        Slot &slot = entries[rootName];
        dropped = std::exchange(slot.entry, std::move(entry));
        slot.lastUse = ++uses;
        if (entries.size() > capacity) {
            const auto oldest = std::min_element(entries.begin(), entries.end(), [](const auto &a, const auto &b) {
                return a.second.lastUse < b.second.lastUse;
            });
            dropped = std::move(oldest->second.entry);
            entries.erase(oldest);
        }
    }

private:
    struct Entry {
        std::string rootText;
        std::vector<Loader::File> files;
        std::shared_ptr<const valijson::Schema> schema;
    };
    struct Slot {
        std::shared_ptr<const Entry> entry;
        std::uint64_t lastUse = 0;
    };

    // The program uses two root schemas; the rest is room for tests and tools.
    static constexpr std::size_t capacity = 16;

    std::mutex mutex;
    std::map<std::string, Slot> entries;
    std::uint64_t uses = 0;
};

} // namespace

JsonValidator::JsonValidator(const Reader &schemaReader)
{
    const std::string &name = schemaReader.getSourceName();
    const Loader loader(std::filesystem::path(name).parent_path());
    try {
        std::string text = schemaReader.read();
        CompiledSchemas &compiled = CompiledSchemas::instance();
        schema = compiled.find(name, text);
        if (schema)
            return;

        Json root = Json::parse(text);
        std::vector<Loader::File> files;
        schema = compile(root, loader, files);
        compiled.store(name, std::move(text), std::move(files), schema);
    } catch (const Json::exception &error) {
        throw FormatMismatchException(name, error.what());
    }
}

JsonValidator::~JsonValidator() = default;
JsonValidator::JsonValidator(JsonValidator &&) noexcept = default;
JsonValidator &JsonValidator::operator=(JsonValidator &&) noexcept = default;

void JsonValidator::validate(const Json &document, JsonValidationErrorHandler &handler) const
{
    if (!hasHugeUnsigned(document)) {
        check(document, handler);
        return;
    }
    Json copy = document;
    const HugeUnsignedClamp clamp(copy);
    check(copy, handler);
}

void JsonValidator::check(const Json &document, JsonValidationErrorHandler &handler) const
{
    // One library validator per call: its cache of regular expressions is the only state that
    // validating writes, so one compiled schema serves any number of threads.
    valijson::Validator validator(valijson::Validator::kStrongTypes);
    valijson::ValidationResults results;
    validator.validate(*schema, valijson::adapters::NlohmannJsonAdapter(document), &results);

    for (const auto &result : results) {
        if (isSummary(result.description))
            continue;
        const Json::json_pointer pointer = toPointer(result.context);
        handler.error(pointer, instanceAt(document, pointer), result.description);
    }
}

Json readAndValidate(const Reader &reader, const JsonValidator &validator)
{
    Json document = Json::parse(reader.read());
    JsonValidationErrorHandler handler;
    {
        const HugeUnsignedClamp clamp(document);
        validator.check(document, handler);
    }
    if (handler)
        throw ValidationException(reader.getSourceName(), handler.takeErrors());
    return document;
}

} // namespace Thg::Tilo::Device
