// Writes the credits tune as an XM module: xmcompose OUT.xm
#include "Composition.h"

#include <cstdio>
#include <exception>
#include <fstream>

int main(int argc, char *argv[])
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: xmcompose OUT.xm\n");
        return 2;
    }
    try {
        const std::vector<uint8_t> bytes = xm::encode(composeCreditsTune());
        std::ofstream out(argv[1], std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char *>(bytes.data()), std::streamsize(bytes.size()));
        out.close();
        if (!out) {
            std::fprintf(stderr, "xmcompose: cannot write %s\n", argv[1]);
            return 1;
        }
    } catch (const std::exception &e) {
        std::fprintf(stderr, "xmcompose: %s\n", e.what());
        return 1;
    }
    return 0;
}
