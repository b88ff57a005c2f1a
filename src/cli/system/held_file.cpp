#include "cli/system/held_file.h"

#include <cerrno>
#include <ext/stdio_filebuf.h>
#include <iostream>
#include <iterator>

long long HeldFileSize(HeldFile& file) {
    if (!file.stream) return -1;
    file.stream->flush();
    file.stream->clear();
    std::streampos end = file.stream->seekg(0, std::ios::end).tellg();
    return end < 0 ? -1 : (long long)end;
}

FileOutcome ReadHeldFile(HeldFile& file, std::string* bytes) {
    if (HeldFileSize(file) < 0) return FileOperationFailed;
    file.stream->seekg(0);
    bytes->assign(std::istreambuf_iterator<char>(*file.stream), std::istreambuf_iterator<char>());
    bool read = !file.stream->bad();
    file.stream->clear();
    return read ? FileOperationDone : FileOperationFailed;
}

FileOutcome WriteHeldFile(HeldFile& file, const std::string& text) {
    if (!file.stream) return FileOperationFailed;
    errno = 0;
    file.stream->clear();
    file.stream->seekp(0);
    file.stream->write(text.data(), std::streamsize(text.size()));
    file.stream->flush();
    return file.stream->fail() ? FileOperationFailed : FileOperationDone;
}

void CloseHeldFile(HeldFile* file) {
    if (file->stream) file->stream->flush();
    file->stream.reset();
    file->buffer.reset();  // closes the descriptor
    file->descriptor = -1;
}

void HoldDescriptor(HeldFile* file, const std::string& path, int descriptor) {
    file->path = path;
    file->descriptor = descriptor;
    file->buffer.reset(new __gnu_cxx::stdio_filebuf<char>(
        descriptor, std::ios::in | std::ios::out | std::ios::binary));
    file->stream.reset(new std::iostream(file->buffer.get()));
}
