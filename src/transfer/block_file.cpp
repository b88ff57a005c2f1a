#include <cerrno>
#include <cstring>
#include <string>

#include "protocol/io_buffer.h"
#include "transfer/file_probe.h"
#include "transfer/transfer_internal.h"

namespace {

std::streamoff BlockPosition() {
    return std::streamoff(TransferJob.nextBlock - TransferJob.firstBlock) * BlockSize;
}

// The paths the transfer's files were opened with, for the cut and for the
// failures that name them.
std::string SourcePath;
std::string TargetPath;
int lastFileError = 0;
// A file the caller holds open and hands over for the transfer, or null:
// then the transfer's own streams are used, opened by path.
std::iostream* callersFile = nullptr;

// Keeps what the system said about the failed operation (errno, which the
// streams leave set); a failure without one keeps 0.
BlockFileOutcome Failed(int error) {
    lastFileError = error;
    return BlockFileFailed;
}

}  // namespace

unsigned long FileSystemError() { return static_cast<unsigned long>(lastFileError); }

std::istream& SourceFile() {
    return callersFile != nullptr ? *callersFile
                                  : static_cast<std::istream&>(TransferJob.inputFile);
}

std::ostream& TargetFile() {
    return callersFile != nullptr ? *callersFile
                                  : static_cast<std::ostream&>(TransferJob.outputFile);
}

bool IsSourceOpen() { return callersFile != nullptr || TransferJob.inputFile.is_open(); }

void CloseSourceFile() {
    if (callersFile != nullptr)
        callersFile = nullptr;
    else
        TransferJob.inputFile.close();
}

void CloseTargetFile() {
    if (callersFile != nullptr) {
        callersFile->flush();
        callersFile = nullptr;
    } else {
        TransferJob.outputFile.close();
    }
}

void ReleaseTransferFiles() {
    callersFile = nullptr;
    TransferJob.inputFile.close();
    TransferJob.outputFile.close();
}

void UseCallersFile(std::iostream* file, const char* path) {
    callersFile = file;
    if (file == nullptr) return;
    file->clear();
    SourcePath = TargetPath = path;
}

const char* TransferFilePath() {
    return TransferJob.action == ActionReadFromDevice ? TargetPath.c_str() : SourcePath.c_str();
}

BlockFileOutcome ReadFileBlock(uint8_t block[BlockSize], unsigned* fileBytes) {
    std::istream& file = SourceFile();
    *fileBytes = BlockSize;
    int error = 0;
    for (int attempt = 0; attempt < FileBlockAttempts; ++attempt) {
        errno = 0;
        file.read(reinterpret_cast<char*>(block), BlockSize);
        std::streamsize n = file.gcount();
        if (file.eof()) {
            // End of file is only seen by a read that comes up short; the
            // zero fill completes the block.
            std::memset(block + n, 0, size_t(BlockSize - n));
            *fileBytes = unsigned(n);
            return BlockFileDone;
        }
        if (n == BlockSize) return BlockFileDone;
        if (errno != 0) error = errno;
        // A failed stream ignores seekg, so the error state goes first, or
        // every further attempt would fail the same way.
        file.clear();
        file.seekg(BlockPosition());
    }
    return Failed(error);
}

BlockFileOutcome WriteFileBlock() {
    std::ostream& file = TargetFile();
    int error = 0;
    for (int attempt = 0; attempt < FileBlockAttempts; ++attempt) {
        errno = 0;
        file.write(reinterpret_cast<const char*>(IoBuffer.frameArea), BlockSize);
        file.flush();
        if (!file.fail()) return BlockFileDone;
        // A retry may fail inside the stream without asking the system (a
        // seek that cannot flush leaves it failed): the reason an earlier
        // attempt got stays.
        if (errno != 0) error = errno;
        file.clear();
        file.seekp(BlockPosition());
    }
    return Failed(error);
}

void PositionFileAtBlock() {
    if (TransferJob.action == ActionReadFromDevice) {
        TargetFile().clear();
        TargetFile().seekp(BlockPosition());
    } else {
        // A stream that met the end of its file ignores seekg until cleared.
        SourceFile().clear();
        SourceFile().seekg(BlockPosition());
    }
}

BlockFileOutcome OpenSourceFile(const char* path) {
    std::ifstream& file = TransferJob.inputFile;
    if (file.is_open()) file.close();
    file.clear();
    SourcePath = path;
    errno = 0;
    file.open(path, std::ios::in | std::ios::binary);
    return file.is_open() && !file.fail() ? BlockFileDone : Failed(errno);
}

BlockFileOutcome OpenTargetFile(const char* path) {
    std::ofstream& file = TransferJob.outputFile;
    if (file.is_open()) file.close();
    file.clear();
    TargetPath = path;
    // An existing file is opened where it stands (in and out: no truncation);
    // only a new one is created.
    std::ios::openmode mode = std::ios::out | std::ios::binary;
    mode |= ProbeFile(path) != FileMissing ? std::ios::in : std::ios::trunc;
    errno = 0;
    file.open(path, mode);
    return file.is_open() && !file.fail() ? BlockFileDone : Failed(errno);
}

BlockFileOutcome CutTargetFile() {
    // A read that goes on after blocks an earlier one kept keeps them, and
    // writes from its first block on (a partial block after them is
    // overwritten). A file the caller hands over was made empty by it.
    if (TransferJob.nextBlock != TransferJob.firstBlock || callersFile != nullptr) {
        TargetFile().clear();
        TargetFile().seekp(BlockPosition());
        return TargetFile().fail() ? Failed(errno) : BlockFileDone;
    }
    std::ofstream& file = TransferJob.outputFile;
    file.close();
    file.clear();
    errno = 0;
    file.open(TargetPath, std::ios::out | std::ios::binary | std::ios::trunc);
    return file.is_open() && !file.fail() ? BlockFileDone : Failed(errno);
}
