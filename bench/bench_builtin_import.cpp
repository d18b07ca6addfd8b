// How long the program takes to import and check its built-in data: the description and all media
// files, each through a freshly built importer (the program builds one per import, so every import
// reads both schemas and gets them compiled or reuses what an earlier importer compiled), the
// description's own rules inside the import, and each medium checked against the description as the
// parameterize page does before it connects.
//
//   bench_builtin_import [runs] [root]     root: the folder holding builtin/ and Resources/
//
// Every run reads the schemas from a fresh copy of Resources/, so its first importer compiles them
// as the program's first import does ("cold"). Prints the median of the runs for the whole set, the
// first import and per file, and where the time goes.

#include "device/Device.h"
#include "device/FileReader.h"
#include "device/Importer.h"
#include "device/Validator.h"

#include <fmt/core.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <system_error>
#include <vector>

using namespace Thg::Tilo::Device;
using Clock = std::chrono::steady_clock;

namespace {

double millisecondsSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// A copy of the schema folder under a name no importer has seen, removed again at the end.
class SchemaCopy {
public:
    explicit SchemaCopy(const std::filesystem::path &scratch, int run) : folder(scratch / fmt::format("run{}", run))
    {
        std::filesystem::create_directories(folder);
        std::filesystem::copy("Resources", folder / "Resources", std::filesystem::copy_options::recursive);
        config = {(folder / "Resources/DeviceDescription.schema.json").string(),
                  (folder / "Resources/DeviceSettings.schema.json").string()};
    }
    ~SchemaCopy()
    {
        std::error_code ignored;
        std::filesystem::remove_all(folder, ignored);
    }
    SchemaCopy(const SchemaCopy &) = delete;
    SchemaCopy &operator=(const SchemaCopy &) = delete;

    Importer::Config config;

private:
    std::filesystem::path folder;
};

struct Run {
    double total = 0;            // everything, as the program does it
    double firstImporter = 0;    // building the first importer: both schemas compiled
    double firstImport = 0;      // that and importing the description with it
    double laterImporters = 0;   // building the other 72 importers
    double description = 0;      // importing the description
    double media = 0;            // importing the 72 media files
    double mediaChecks = 0;      // checking them against the description
    double slowestMedium = 0;
};

// freshImporters: one importer per file, as the program does; otherwise one for the whole set.
Run runOnce(const Importer::Config &schemas, const std::vector<std::filesystem::path> &media, bool freshImporters)
{
    Run run;
    const auto start = Clock::now();

    auto t = Clock::now();
    const Importer descriptionImporter(schemas);
    run.firstImporter = millisecondsSince(t);
    t = Clock::now();
    const Device description = descriptionImporter.importDevice(FileReader("builtin/M7Q4-ZEB.desc.json"));
    run.description = millisecondsSince(t);
    run.firstImport = millisecondsSince(start);

    for (const auto &path : media) {
        const auto fileStart = Clock::now();
        t = Clock::now();
        std::optional<Importer> fresh;
        if (freshImporters)
            fresh.emplace(schemas);
        const Importer &importer = freshImporters ? *fresh : descriptionImporter;
        run.laterImporters += millisecondsSince(t);
        t = Clock::now();
        const DeviceSettings settings = importer.importDeviceSettings(FileReader(path));
        run.media += millisecondsSince(t);
        t = Clock::now();
        ValidationResult result;
        validator().deviceSettingsDeviceRules[0](settings, description, result);
        validator().validate(settings.deviceParameterSets, description.deviceParameterSets, result);
        validator().validate(settings.subdeviceParameterSets, description.subdeviceParameterSets, result);
        run.mediaChecks += millisecondsSince(t);
        if (!result.empty())
            throw std::runtime_error(path.string() + ": " + result.front());
        run.slowestMedium = std::max(run.slowestMedium, millisecondsSince(fileStart));
    }
    run.total = millisecondsSince(start);
    return run;
}

void report(const std::vector<Run> &results, std::size_t mediaCount, bool freshImporters)
{
    const auto medianOf = [&](double Run::*field) {
        std::vector<double> values;
        for (const auto &run : results)
            values.push_back(run.*field);
        return median(values);
    };
    const double files = static_cast<double>(mediaCount + 1);
    const double media = static_cast<double>(mediaCount);
    fmt::print("built-in data: 1 description + {} media files, {}, median of {} runs\n", mediaCount,
               freshImporters ? "a new importer per file (as the program imports)" : "one importer for all files",
               results.size());
    fmt::print("  whole set                      {:8.2f} ms  ({:.3f} ms per file)\n", medianOf(&Run::total),
               medianOf(&Run::total) / files);
    fmt::print("  first import (cold)            {:8.2f} ms  (building its importer {:.2f} ms)\n",
               medianOf(&Run::firstImport), medianOf(&Run::firstImporter));
    if (freshImporters) {
        fmt::print("  building the later importers   {:8.2f} ms  ({:.3f} ms each)\n", medianOf(&Run::laterImporters),
                   medianOf(&Run::laterImporters) / media);
    }
    fmt::print("  description import and rules   {:8.2f} ms\n", medianOf(&Run::description));
    fmt::print("  media imports                  {:8.2f} ms  ({:.3f} ms each)\n", medianOf(&Run::media),
               medianOf(&Run::media) / media);
    fmt::print("  media against the description  {:8.2f} ms  ({:.3f} ms each)\n", medianOf(&Run::mediaChecks),
               medianOf(&Run::mediaChecks) / media);
    fmt::print("  slowest medium, all steps      {:8.2f} ms\n", medianOf(&Run::slowestMedium));
}

} // namespace

int main(int argc, char **argv)
{
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 15;
    std::filesystem::current_path(argc > 2 ? argv[2] : ZEB_SOURCE_DIR);

    std::vector<std::filesystem::path> media;
    for (const auto &entry : std::filesystem::directory_iterator("builtin/ParameterFiles"))
        media.push_back(entry.path());
    std::sort(media.begin(), media.end());

    const std::filesystem::path scratch = std::filesystem::temp_directory_path() /
                                          fmt::format("zeb-bench-{}", Clock::now().time_since_epoch().count());
    int copies = 0;
    int status = 0;
    try {
        for (const bool freshImporters : {true, false}) {
            {
                const SchemaCopy warmUp(scratch, copies++); // the file cache and the allocator
                runOnce(warmUp.config, media, freshImporters);
            }
            std::vector<Run> results;
            for (int i = 0; i < runs; ++i) {
                const SchemaCopy schemas(scratch, copies++);
                results.push_back(runOnce(schemas.config, media, freshImporters));
            }
            report(results, media.size(), freshImporters);
        }
    } catch (const std::exception &e) {
        fmt::print(stderr, "bench_builtin_import: {}\n", e.what());
        status = 1;
    }
    std::error_code ignored;
    std::filesystem::remove_all(scratch, ignored);
    return status;
}
