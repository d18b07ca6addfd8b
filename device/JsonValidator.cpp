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

#include <array>
#include <cstdint>
#include <filesystem>
#include <limits>
#include <map>
#include <optional>
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
bool hasHugeUnsigned(const Json &json)
{
    switch (json.type()) {
    case Json::value_t::number_unsigned:
        return json.get<std::uint64_t>() > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max());
    case Json::value_t::object:
    case Json::value_t::array:
        for (const Json &element : json) {
            if (hasHugeUnsigned(element))
                return true;
        }
        return false;
    default:
        return false;
    }
}

void clampHugeUnsigned(Json &json)
{
    if (json.is_number_unsigned()) {
        if (hasHugeUnsigned(json))
            json = std::numeric_limits<std::int64_t>::max();
    } else if (json.is_structured()) {
        for (Json &element : json)
            clampHugeUnsigned(element);
    }
}

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

std::unique_ptr<valijson::Schema> compile(Json &root, const Loader &loader)
{
    SchemaDocuments documents;
    documents.add(std::string(), root);

    auto schema = std::make_unique<valijson::Schema>();
    const auto fetch = [&loader, &documents](const std::string &uri) -> const Json * {
        auto document = std::make_unique<Json>();
        loader(uri, *document);
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

} // namespace

JsonValidator::JsonValidator(const Reader &schemaReader)
{
    const Loader loader(std::filesystem::path(schemaReader.getSourceName()).parent_path());
    try {
        Json root = Json::parse(schemaReader.read());
        schema = compile(root, loader);
    } catch (const Json::exception &error) {
        throw FormatMismatchException(schemaReader.getSourceName(), error.what());
    }
}

JsonValidator::~JsonValidator() = default;
JsonValidator::JsonValidator(JsonValidator &&) noexcept = default;
JsonValidator &JsonValidator::operator=(JsonValidator &&) noexcept = default;

void JsonValidator::validate(const Json &document, JsonValidationErrorHandler &handler) const
{
    std::optional<Json> clamped;
    if (hasHugeUnsigned(document)) {
        clamped = document;
        clampHugeUnsigned(*clamped);
    }

    valijson::Validator validator(valijson::Validator::kStrongTypes);
    valijson::ValidationResults results;
    validator.validate(*schema, valijson::adapters::NlohmannJsonAdapter(clamped ? *clamped : document), &results);

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
    validator.validate(document, handler);
    if (handler)
        throw ValidationException(reader.getSourceName(), handler.takeErrors());
    return document;
}

} // namespace Thg::Tilo::Device
