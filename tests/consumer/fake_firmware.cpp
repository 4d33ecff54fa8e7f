// Writes a firmware file of eight known bytes, among them those a text-mode stream would change
// (0x0a, 0x0d, 0x1a) and the extremes 0x00 and 0xff: fake_firmware FILE
#include <cstdio>

int main(int argc, char** argv) {
    static const unsigned char firmware[] = {0x00, 0x01, 0x0a, 0x0d, 0x1a, 0x7f, 0x80, 0xff};
    if (argc != 2) {
        std::fputs("usage: fake_firmware FILE\n", stderr);
        return 2;
    }
    std::FILE* file = std::fopen(argv[1], "wb");
    if (file == nullptr) {
        std::perror(argv[1]);
        return 1;
    }
    const bool written = std::fwrite(firmware, 1, sizeof firmware, file) == sizeof firmware;
    if (std::fclose(file) != 0 || !written) {
        std::perror(argv[1]);
        return 1;
    }
    return 0;
}
