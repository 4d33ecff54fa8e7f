// A Windows helper of the Wine tests, cross-compiled beside them: prints the console's input and
// output code pages, which nothing that comes with Wine shows (chcp shows the input one only).
#include <windows.h>

#include <cstdio>

int main() {
    std::printf("input %u, output %u\n", GetConsoleCP(), GetConsoleOutputCP());
    return 0;
}
