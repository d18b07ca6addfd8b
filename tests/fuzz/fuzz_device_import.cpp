// libFuzzer target: the import of a description and of a media file from arbitrary text, through the
// schema check, the mapping and the consistency rules. A failure must be one of the import's
// exceptions or a plain library exception (std::exception); a crash, a hang, anything else thrown or
// a sanitizer report is a finding. Every input is imported as both kinds of file.

#include "device/Importer.h"
#include "device/Reader.h"

#include <cstddef>
#include <cstdint>
#include <exception>
#include <string>

using namespace Thg::Tilo::Device;

namespace {

class TextReader : public Reader {
public:
    TextReader(std::string name, std::string text) : mName(std::move(name)), mText(std::move(text)) {}
    std::string read() const override { return mText; }
    const std::string &getSourceName() const override { return mName; }

private:
    std::string mName;
    std::string mText;
};

const Importer &importer()
{
    static const Importer instance(Importer::Config{ZEB_SOURCE_DIR "/Resources/DeviceDescription.schema.json",
                                                    ZEB_SOURCE_DIR "/Resources/DeviceSettings.schema.json"});
    return instance;
}

template <typename Import>
void importOrFail(Import import)
{
    try {
        import();
    } catch (const std::exception &) {
        // A clear failure: what the import promises for bad input.
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const std::string text(reinterpret_cast<const char *>(data), size);
    const Importer &files = importer();
    importOrFail([&] { files.importDevice(TextReader("fuzz.desc.json", text)); });
    importOrFail([&] { files.importDeviceSettings(TextReader("fuzz.para.json", text)); });
    return 0;
}
