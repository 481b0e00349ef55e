// The key store file: the bytes are the file, the values under the names the
// program uses are read, and one is written. Writing one value must keep every
// other value that could be read before, whatever else the file held.

#include <cstdint>
#include <string>

#include "platform/key_store.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

using namespace q731;

constexpr const char* kKey = "SOFTWARE\\GamingKeyboardQ731ControlCenter";

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::SilenceLog();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    const std::filesystem::path file = fuzz::FreshScratchFolder() / "store.reg";
    fuzz::WriteFile(file, fuzz::AsText(data, size));
    KeyStore store(file);
    const auto language = store.GetDword(kKey, "LANGUAGE");
    const auto languageText = store.GetString(kKey, "LANGUAGE");
    const auto other = store.GetString("x", "y");
    if (!store.SetString(kKey, "DisplayVersion", "1.0.1.4")) return 0;
    if (store.GetString(kKey, "DisplayVersion") != "1.0.1.4")
        fuzz::Fail("the value written does not read back");
    if (store.GetDword(kKey, "LANGUAGE") != language ||
        store.GetString(kKey, "LANGUAGE") != languageText || store.GetString("x", "y") != other) {
        fuzz::Fail("writing one value changed another");
    }
    return 0;
}
