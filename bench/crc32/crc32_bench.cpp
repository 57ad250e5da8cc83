// Checksums one in-memory buffer many times with the tool's CRC-32 or with
// zlib's, and prints the checksum and the throughput.
//   crc32_bench vantrel|zlib [MiB]
#include "platform/crc32.h"

#include <zlib.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    if (argc < 2) return 2;
    const std::string which = argv[1];
    const std::size_t mib = argc > 2 ? std::stoul(argv[2]) : 512;
    std::vector<unsigned char> buffer(1 << 20);  // one view of the module checksum
    for (std::size_t i = 0; i < buffer.size(); ++i) buffer[i] = static_cast<unsigned char>((i * 2654435761u) >> 13);

    auto start = std::chrono::steady_clock::now();
    std::uint32_t crc = 0;
    for (std::size_t round = 0; round < mib; ++round) {
        if (which == "zlib") {
            crc = static_cast<std::uint32_t>(::crc32(crc, buffer.data(), static_cast<uInt>(buffer.size())));
        } else {
            crc = vantrel::Crc32Update(crc, buffer.data(), buffer.size());
        }
    }
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("%s crc=%08x %.0f MiB/s\n", which.c_str(), crc, mib / seconds);
    return 0;
}
