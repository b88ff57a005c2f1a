#include <cstring>

#include "protocol/io_buffer.h"
#include "transfer/transfer.h"

static std::streamoff BlockPosition() {
    return std::streamoff(TransferJob.nextBlock - TransferJob.firstBlock) * BlockSize;
}

int ReadFileBlock(uint8_t block[256], bool* endOfFile) {
    std::ifstream& file = TransferJob.inputFile;
    *endOfFile = false;
    for (int attempt = 0; attempt < FileBlockAttempts; ++attempt) {
        file.read(reinterpret_cast<char*>(block), BlockSize);
        std::streamsize n = file.gcount();
        if (file.eof()) {
            // End of file is only seen by a read that comes up short; the
            // zero fill completes the block.
            std::memset(block + n, 0, size_t(BlockSize - n));
            *endOfFile = true;
            return BlockFileDone;
        }
        if (n == BlockSize) return BlockFileDone;
        // A failed stream ignores seekg, so the error state goes first, or
        // every further attempt would fail the same way.
        file.clear();
        file.seekg(BlockPosition());
    }
    return BlockFileFailed;
}

int WriteFileBlock() {
    std::ofstream& file = TransferJob.outputFile;
    for (int attempt = 0; attempt < FileBlockAttempts; ++attempt) {
        file.write(reinterpret_cast<const char*>(IoBuffer.frameArea), BlockSize);
        file.flush();
        if (!file.fail()) return BlockFileDone;
        file.clear();
        file.seekp(BlockPosition());
    }
    return BlockFileFailed;
}
