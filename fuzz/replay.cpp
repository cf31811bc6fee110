// Runs one fuzz target over files, without libFuzzer: the regression inputs
// in the test suite and the corpora in the coverage measurement.
//
//   tarvil_fuzz_replay TARGET PATH...   (a PATH may be a directory of inputs)
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>
#include <vector>

#include "scratch_directory.h"
#include "targets.h"

namespace {

std::vector<std::filesystem::path> InputsUnder(const std::filesystem::path& path) {
    std::vector<std::filesystem::path> inputs;
    if (std::filesystem::is_directory(path)) {
        for (const auto& entry : std::filesystem::recursive_directory_iterator(path)) {
            if (entry.is_regular_file()) inputs.push_back(entry.path());
        }
        std::sort(inputs.begin(), inputs.end());
    } else {
        inputs.push_back(path);
    }
    return inputs;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s TARGET PATH...\n", argv[0]);
        return 2;
    }
    const auto target = tarvil::fuzz::FindFuzzTarget(argv[1]);
    if (target == nullptr) {
        std::fprintf(stderr, "unknown fuzz target '%s'\n", argv[1]);
        return 2;
    }
    std::vector<std::filesystem::path> inputs;
    for (int i = 2; i < argc; ++i) {
        const auto found = InputsUnder(std::filesystem::absolute(argv[i]));
        inputs.insert(inputs.end(), found.begin(), found.end());
    }
    if (inputs.empty()) {
        std::fprintf(stderr, "no inputs\n");
        return 2;
    }
    const std::filesystem::path scratch = tarvil::fuzz::EnterScratchDirectory();
    for (const auto& input : inputs) {
        std::ifstream stream(input, std::ios::binary);
        const std::vector<uint8_t> bytes{std::istreambuf_iterator<char>(stream),
                                         std::istreambuf_iterator<char>()};
        if (!stream.good() && !stream.eof()) {
            std::fprintf(stderr, "cannot read %s\n", input.c_str());
            return 2;
        }
        target(bytes.data(), bytes.size());
    }
    std::filesystem::current_path(scratch.parent_path());
    std::error_code ignored;
    std::filesystem::remove_all(scratch, ignored);
    std::printf("%zu inputs replayed through %s\n", inputs.size(), argv[1]);
    return 0;
}
