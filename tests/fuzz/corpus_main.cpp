// Replays files through a fuzz target's entry point without libFuzzer, so the
// ordinary build runs every committed corpus and regression input as a test.
// Arguments are files or folders (every regular file inside, in name order).

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size);
extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) __attribute__((weak));

namespace {

namespace fs = std::filesystem;

std::vector<fs::path> InputsOf(const fs::path& argument) {
    std::vector<fs::path> inputs;
    if (!fs::is_directory(argument)) {
        inputs.push_back(argument);
        return inputs;
    }
    for (const auto& entry : fs::directory_iterator(argument)) {
        if (entry.is_regular_file()) inputs.push_back(entry.path());
    }
    std::sort(inputs.begin(), inputs.end());
    return inputs;
}

}  // namespace

int main(int argc, char** argv) {
    if (LLVMFuzzerInitialize != nullptr) LLVMFuzzerInitialize(&argc, &argv);
    // The empty input first: every target must take it.
    LLVMFuzzerTestOneInput(nullptr, 0);
    int count = 0;
    for (int i = 1; i < argc; ++i) {
        if (!fs::exists(argv[i])) {
            std::fprintf(stderr, "no such corpus: %s\n", argv[i]);
            return 1;
        }
        for (const fs::path& input : InputsOf(argv[i])) {
            std::ifstream in(input, std::ios::binary);
            const std::vector<char> bytes((std::istreambuf_iterator<char>(in)),
                                          std::istreambuf_iterator<char>());
            if (!in.eof() && in.fail()) {
                std::fprintf(stderr, "cannot read %s\n", input.c_str());
                return 1;
            }
            std::fprintf(stderr, "%s\n", input.c_str());
            LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
            ++count;
        }
    }
    if (count == 0) {
        std::fprintf(stderr, "no inputs given\n");
        return 1;
    }
    std::printf("%d inputs replayed\n", count);
    return 0;
}
