#pragma once

#include <nlohmann/json.hpp>

#include <memory>

namespace valijson {
class Schema;
}

namespace Thg::Tilo::Device {

class JsonValidationErrorHandler;
class Reader;

// A compiled JSON schema (draft-07) together with every schema file it references. Built once,
// then only read; several threads may validate with one validator at the same time.
class JsonValidator {
public:
    // Reads, parses and compiles the root schema; referenced files are fetched by a Loader from the
    // root schema's directory. A root or referenced schema that is not JSON fails with
    // FormatMismatchException naming the root schema. IoException and std::invalid_argument (a file
    // that is missing, a reference that cannot be loaded, a schema the validator refuses) pass
    // through.
    //
    // The compiled schema is shared with earlier validators of the same root schema as long as the
    // root text and every referenced file still hold the bytes it was compiled from; the root is
    // read every time, and any difference or failure compiles afresh, with the failures above.
    explicit JsonValidator(const Reader &schemaReader);
    ~JsonValidator();
    JsonValidator(JsonValidator &&) noexcept;
    JsonValidator &operator=(JsonValidator &&) noexcept;

    // Reports every violation of `document`, in the validator's order, one call each. Default values
    // that the schema declares are never inserted, and formats are not checked.
    void validate(const nlohmann::json &document, JsonValidationErrorHandler &handler) const;

private:
    // Checks a document whose numbers all fit the library's signed 64-bit reading.
    void check(const nlohmann::json &document, JsonValidationErrorHandler &handler) const;
    friend nlohmann::json readAndValidate(const Reader &reader, const JsonValidator &validator);

    std::shared_ptr<const valijson::Schema> schema;
};

// Reads and parses the source's text and checks it against `validator`. Violations end in a
// ValidationException with one line per violation; read errors (IoException) and the JSON library's
// parse error pass through.
nlohmann::json readAndValidate(const Reader &reader, const JsonValidator &validator);

} // namespace Thg::Tilo::Device
