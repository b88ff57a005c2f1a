#include "support/byte_files.h"

#include <fstream>
#include <iterator>

#include "protocol/regions.h"

const size_t ImageSize = size_t(DeviceBlockCount) * BlockSize;

Bytes Pattern(size_t n, unsigned seed) {
    Bytes bytes(n);
    unsigned x = seed;
    for (auto& b : bytes) {
        x = x * 1103515245u + 12345u;
        b = uint8_t(x >> 16);
    }
    return bytes;
}

Bytes ReadWhole(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteWhole(const std::string& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

Bytes Slice(const Bytes& image, unsigned firstBlock, unsigned blocks) {
    return Bytes(image.begin() + size_t(firstBlock) * BlockSize,
                 image.begin() + size_t(firstBlock + blocks) * BlockSize);
}

Bytes BytesOf(const std::string& text) { return Bytes(text.begin(), text.end()); }
