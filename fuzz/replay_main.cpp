// Runs a fuzz target's entry point once on each file named on the command line, or on each file
// in a folder named there, so that a checked-in corpus is replayed where libFuzzer is absent. A
// fuzz target stops the process on a failed expectation; the file named last is the culprit.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

bool replay(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    const std::vector<char> bytes{std::istreambuf_iterator<char>(in),
                                  std::istreambuf_iterator<char>()};
    if (!in.good() && !in.eof()) {
        std::fprintf(stderr, "can't read %s\n", file.c_str());
        return false;
    }
    std::printf("%s: %zu bytes\n", file.c_str(), bytes.size());
    std::fflush(stdout);
    static const std::uint8_t nothing = 0;  // never a null pointer, as with libFuzzer
    LLVMFuzzerTestOneInput(
        bytes.empty() ? &nothing : reinterpret_cast<const std::uint8_t*>(bytes.data()),
        bytes.size());
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    std::size_t count = 0;
    for (int i = 1; i < argc; ++i) {
        std::vector<std::filesystem::path> files;
        std::error_code error;
        if (std::filesystem::is_directory(argv[i], error)) {
            for (const auto& entry : std::filesystem::directory_iterator(argv[i], error)) {
                files.push_back(entry.path());
            }
            if (error) {
                std::fprintf(stderr, "can't list %s: %s\n", argv[i], error.message().c_str());
                return 1;
            }
            std::sort(files.begin(), files.end());
        } else {
            files.push_back(argv[i]);
        }
        for (const auto& file : files) {
            if (!replay(file)) {
                return 1;
            }
            ++count;
        }
    }
    std::printf("%zu inputs replayed\n", count);
    // No input at all is a mistake in the test's setup, not a pass.
    return count == 0 ? 1 : 0;
}
