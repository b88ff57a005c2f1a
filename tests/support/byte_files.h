// Bytes of the tests against the simulator: random data, whole files, and the
// blocks of a memory image.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

typedef std::vector<uint8_t> Bytes;

// The simulator's whole memory: 4096 blocks of 256 bytes.
extern const size_t ImageSize;

// Reproducible pseudo-random bytes; a few KiB hold every byte value.
Bytes Pattern(size_t n, unsigned seed = 1);
Bytes ReadWhole(const std::string& path);
// The bytes of a text, for a file that holds one.
Bytes BytesOf(const std::string& text);
void WriteWhole(const std::string& path, const Bytes& bytes);
// Blocks [firstBlock, firstBlock + blocks) of a memory image.
Bytes Slice(const Bytes& image, unsigned firstBlock, unsigned blocks);
