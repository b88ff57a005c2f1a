#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include "cli/system/held_file.h"

namespace {

// Shared for reading and deleting, so the file can be renamed into place
// while it is held; never through a reparse point.
FileOutcome Held(HeldFile* file, const std::string& path, DWORD disposition) {
    HANDLE handle =
        CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE,
                    NULL, disposition, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, NULL);
    if (handle == INVALID_HANDLE_VALUE) return RecordFileError(GetLastError());
    if (GetFileType(handle) != FILE_TYPE_DISK) {
        CloseHandle(handle);
        return RecordFileError(ERROR_INVALID_PARAMETER);
    }
    BY_HANDLE_FILE_INFORMATION info;
    if (GetFileInformationByHandle(handle, &info) &&
        (info.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY))) {
        CloseHandle(handle);
        return RecordFileError(ERROR_INVALID_PARAMETER);
    }
    int descriptor = _open_osfhandle(intptr_t(handle), _O_RDWR | _O_BINARY);
    if (descriptor < 0) {
        CloseHandle(handle);
        return RecordFileError(ERROR_INVALID_HANDLE);
    }
    HoldDescriptor(file, path, descriptor);
    return FileOperationDone;
}

bool IdentityOf(HANDLE handle, BY_HANDLE_FILE_INFORMATION* info) {
    return handle != INVALID_HANDLE_VALUE && GetFileInformationByHandle(handle, info);
}

}  // namespace

FileOutcome CreateHeldFile(const std::string& path, HeldFile* file) {
    return Held(file, path, CREATE_NEW);
}

FileOutcome OpenHeldFile(const std::string& path, HeldFile* file) {
    return Held(file, path, OPEN_EXISTING);
}

bool IsHeldAt(const HeldFile& file, const std::string& path) {
    if (file.descriptor < 0) return false;
    BY_HANDLE_FILE_INFORMATION held, named;
    if (!IdentityOf(HANDLE(_get_osfhandle(file.descriptor)), &held)) return false;
    HANDLE other =
        CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, NULL,
                    OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, NULL);
    bool known = IdentityOf(other, &named);
    if (other != INVALID_HANDLE_VALUE) CloseHandle(other);
    return known && !(named.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) &&
           held.dwVolumeSerialNumber == named.dwVolumeSerialNumber &&
           held.nFileIndexHigh == named.nFileIndexHigh && held.nFileIndexLow == named.nFileIndexLow;
}

// Windows keeps no permission bits of this kind; a read-only file is refused
// before anything is read.
void TakePermissionsOf(const HeldFile&, const std::string&) {}
