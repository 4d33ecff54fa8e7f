#include "expected_image.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <numeric>
#include <random>
#include <sstream>
#include <stdexcept>

namespace swug::testing {

bytes le32(std::uint32_t value) {
    return {static_cast<char>(value), static_cast<char>(value >> 8),
            static_cast<char>(value >> 16), static_cast<char>(value >> 24)};
}

std::uint32_t byte_sum(const bytes& part) {
    return std::accumulate(part.begin(), part.end(), 0u,
                           [](std::uint32_t total, char c) { return total + std::uint8_t(c); });
}

bytes upgrade_image(const bytes& software, const std::optional<bytes>& mcu) {
    bytes header = bytes("ZQ-TR5200 Image\0", 16) + le32(std::uint32_t(software.size())) +
                   le32(byte_sum(software)) + bytes(40, '\0');
    if (mcu) {
        header += le32(1) + le32(std::uint32_t(header_size + software.size())) +
                  le32(std::uint32_t(mcu->size())) + le32(byte_sum(*mcu));
    }
    return header + bytes(header_size - header.size(), '\0') + software + mcu.value_or("");
}

bytes some_bytes(std::size_t size, unsigned seed) {
    std::mt19937 generator(seed);
    bytes data(size, '\0');
    std::generate(data.begin(), data.end(), [&] { return static_cast<char>(generator()); });
    return data;
}

bytes source_file(const std::string& relative_path) {
    std::ifstream file(std::string(SWUG_SOURCE_DIR) + "/" + relative_path, std::ios::binary);
    if (!file) {
        throw std::runtime_error("can't read " + relative_path + " of the source tree");
    }
    return bytes(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

std::vector<std::pair<std::string, std::vector<std::string>>> golden_verdicts() {
    std::istringstream lines(source_file("tests/golden/VERDICTS"));
    std::vector<std::pair<std::string, std::vector<std::string>>> verdicts;
    for (std::string line; std::getline(lines, line);) {
        std::istringstream words(line);
        std::string file;
        words >> file;
        verdicts.emplace_back(file, std::vector<std::string>{
                                        std::istream_iterator<std::string>(words), {}});
    }
    for (const auto& entry : std::filesystem::directory_iterator(SWUG_SOURCE_DIR "/tests/golden")) {
        const std::string name = entry.path().filename().string();
        if (name != "VERDICTS" && std::none_of(verdicts.begin(), verdicts.end(),
                                               [&](const auto& v) { return v.first == name; })) {
            throw std::runtime_error("tests/golden/VERDICTS does not list " + name);
        }
    }
    return verdicts;
}

}  // namespace swug::testing
