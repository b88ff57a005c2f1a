#include <cstring>
#include <string>

#include "protocol/io_buffer.h"
#include "transfer/file_probe.h"
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

// The path the read's target was opened with, for the cut.
static std::string TargetPath;

int OpenTargetFile(const char* path) {
    std::ofstream& file = TransferJob.outputFile;
    if (file.is_open()) file.close();
    file.clear();
    TargetPath = path;
    // An existing file is opened where it stands (in and out: no truncation);
    // only a new one is created.
    std::ios::openmode mode = std::ios::out | std::ios::binary;
    mode |= ProbeFile(path) != FileMissing ? std::ios::in : std::ios::trunc;
    file.open(path, mode);
    return file.is_open() && !file.fail() ? BlockFileDone : BlockFileFailed;
}

int CutTargetFile() {
    std::ofstream& file = TransferJob.outputFile;
    file.close();
    file.clear();
    file.open(TargetPath, std::ios::out | std::ios::binary | std::ios::trunc);
    return file.is_open() && !file.fail() ? BlockFileDone : BlockFileFailed;
}
