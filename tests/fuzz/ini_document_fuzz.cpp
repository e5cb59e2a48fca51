// The Linux settings file, any bytes, with a section, key and value to store
// and another entry to watch, all taken from the input. Storing a value must
// read back exactly; everything else must read the same after the rewrite;
// and a rewritten file must come back unchanged from another round.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz_check.h"
#include "platform/linux/ini_document.h"
#include "schedule/text.h"

using namespace tolvane;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    const std::string section = input.ConsumeRandomLengthString(40);
    const std::string key = input.ConsumeRandomLengthString(40);
    const std::string value = input.ConsumeRandomLengthString(200);
    const std::string watchedSection = input.ConsumeRandomLengthString(40);
    const std::string watchedKey = input.ConsumeRandomLengthString(40);
    const std::string file = input.ConsumeRemainingBytesAsString();

    IniDocument document(file);
    const auto watched = document.Get(watchedSection, watchedKey);

    // Written out untouched, the file reads the same.
    const std::string untouched = document.Text();
    FUZZ_CHECK(IniDocument(untouched).Get(watchedSection, watchedKey) == watched);
    FUZZ_CHECK(IniDocument(untouched).Text() == untouched);

    document.Set(section, key, value);
    const std::string rewritten = document.Text();
    const IniDocument reread(rewritten);
    FUZZ_CHECK(reread.Get(section, key) == value);
    const bool sameEntry = text::ToLower(section) == text::ToLower(watchedSection) &&
                           text::ToLower(key) == text::ToLower(watchedKey);
    if (!sameEntry) FUZZ_CHECK(reread.Get(watchedSection, watchedKey) == watched);
    FUZZ_CHECK(reread.Text() == rewritten);
    return 0;
}
