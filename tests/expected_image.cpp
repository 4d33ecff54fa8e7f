#include "expected_image.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>

namespace swug::testing {

namespace {

void put_le32(bytes& header, std::size_t offset, std::uint32_t value) {
    header.replace(offset, 4, le32(value));
}

}  // namespace

bytes hex_bytes(const std::string& digits) {
    bytes data;
    std::string pair;
    for (const char c : digits) {
        if (c == ' ') {
            continue;
        }
        pair += c;
        if (pair.size() == 2) {
            data += static_cast<char>(std::stoul(pair, nullptr, 16));
            pair.clear();
        }
    }
    if (!pair.empty()) {
        throw std::invalid_argument("an odd number of hex digits: " + digits);
    }
    return data;
}

bytes le32(std::uint32_t value) {
    return {static_cast<char>(value & 0xFF), static_cast<char>((value >> 8) & 0xFF),
            static_cast<char>((value >> 16) & 0xFF), static_cast<char>((value >> 24) & 0xFF)};
}

std::uint32_t byte_sum(const bytes& part) {
    std::uint32_t total = 0;
    for (const char c : part) {
        total += static_cast<unsigned char>(c);
    }
    return total;
}

bytes upgrade_image(const bytes& software, const std::optional<bytes>& mcu) {
    bytes header(header_size, '\0');
    header.replace(0, 16, "ZQ-TR5200 Image\0", 16);
    put_le32(header, 16, static_cast<std::uint32_t>(software.size()));
    put_le32(header, 20, byte_sum(software));
    if (mcu) {
        put_le32(header, 64, 1);
        put_le32(header, 68, static_cast<std::uint32_t>(header_size + software.size()));
        put_le32(header, 72, static_cast<std::uint32_t>(mcu->size()));
        put_le32(header, 76, byte_sum(*mcu));
    }
    return header + software + mcu.value_or("");
}

bytes source_file(const std::string& relative_path) {
    std::ifstream file(std::string(SWUG_SOURCE_DIR) + "/" + relative_path, std::ios::binary);
    if (!file) {
        throw std::runtime_error("can't read " + relative_path + " of the source tree");
    }
    return bytes(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

std::vector<std::string> source_folder_names(const std::string& relative_path) {
    std::vector<std::string> names;
    for (const auto& entry :
         std::filesystem::directory_iterator(std::string(SWUG_SOURCE_DIR) + "/" + relative_path)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace swug::testing
