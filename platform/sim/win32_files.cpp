// win32_files.cpp - the file calls of KERNEL32 over the simulated drives.
#include "machine.h"

#include <cstring>

using namespace sim;

namespace {

// Absolute form of a path as the program wrote it, for the change list.
std::string AsWritten(const Pc::Impl &pc, const std::string &path)
{
    if (path.size() >= 3 && path[1] == ':' && (path[2] == '\\' || path[2] == '/'))
        return path;
    PathParts p;
    pc.Parse(path, p);
    std::string out = std::string(1, p.drive) + ":";
    for (const std::string &part : p.parts)
        out += "\\" + part;
    return p.parts.empty() ? out + "\\" : out;
}

// Resolve the folder that is to hold a file; sets the last error and
// returns nullptr when it is missing.
FsNode *ParentFolder(Pc::Impl &pc, const char *path, PathParts &parts)
{
    if (!path || !pc.Parse(path, parts) || parts.parts.empty()) {
        pc.SetLastError(path ? ERROR_PATH_NOT_FOUND : ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    FsNode *folder = pc.LookupParent(parts);
    if (!folder)
        pc.SetLastError(ERROR_PATH_NOT_FOUND);
    return folder;
}

HANDLE ToHandle(uintptr_t h) { return reinterpret_cast<HANDLE>(h); }

OpenFileHandle *FindHandle(Pc::Impl &pc, HANDLE h)
{
    auto it = pc.fileHandles.find(reinterpret_cast<uintptr_t>(h));
    if (it == pc.fileHandles.end() || it->second.probe)
        return nullptr;
    return &it->second;
}

constexpr DWORD kCreateNew = 1, kOpenAlways = 4, kTruncateExisting = 5;

} // namespace

HANDLE WINAPI CreateFileA(LPCSTR lpFileName, DWORD dwDesiredAccess, DWORD dwShareMode,
                          LPSECURITY_ATTRIBUTES lpSecurityAttributes, DWORD dwCreationDisposition,
                          DWORD dwFlagsAndAttributes, HANDLE hTemplateFile)
{
    Pc::Impl &pc = CurrentPc();
    if (pc.Enter("CreateFileA", true))
        return INVALID_HANDLE_VALUE;
    PathParts parts;
    FsNode *folder = ParentFolder(pc, lpFileName, parts);
    if (!folder)
        return INVALID_HANDLE_VALUE;
    FsNode *file = folder->Find(parts.parts.back());
    if (file && file->folder) {
        pc.SetLastError(ERROR_ACCESS_DENIED);
        return INVALID_HANDLE_VALUE;
    }
    DWORD d = dwCreationDisposition;
    if (d != CREATE_ALWAYS && d != OPEN_EXISTING && d != kCreateNew && d != kOpenAlways &&
        d != kTruncateExisting) {
        pc.SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    if (!file && (d == OPEN_EXISTING || d == kTruncateExisting)) {
        pc.SetLastError(ERROR_FILE_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    if (file && d == kCreateNew) {
        pc.SetLastError(ERROR_FILE_EXISTS);
        return INVALID_HANDLE_VALUE;
    }
    DWORD error = ERROR_SUCCESS;
    if (file) {
        if (d == CREATE_ALWAYS || d == kOpenAlways)
            error = kErrorAlreadyExists;
        if (d == CREATE_ALWAYS || d == kTruncateExisting)
            file->data->clear();
    } else {
        file = folder->AddChild(parts.parts.back(), false);
        file->createdAs = AsWritten(pc, lpFileName);
    }
    OpenFileHandle h;
    h.data = file->data;
    h.canRead = (dwDesiredAccess & GENERIC_READ) != 0;
    h.canWrite = (dwDesiredAccess & GENERIC_WRITE) != 0;
    uintptr_t id = pc.NewHandle();
    pc.fileHandles[id] = h;
    pc.SetLastError(error);
    return ToHandle(id);
}

BOOL WINAPI ReadFile(HANDLE hFile, LPVOID lpBuffer, DWORD nNumberOfBytesToRead,
                     LPDWORD lpNumberOfBytesRead, LPOVERLAPPED lpOverlapped)
{
    Pc::Impl &pc = CurrentPc();
    if (lpNumberOfBytesRead)
        *lpNumberOfBytesRead = 0;
    if (pc.Enter("ReadFile", true))
        return FALSE;
    OpenFileHandle *h = FindHandle(pc, hFile);
    if (!h) {
        pc.SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (!h->canRead) {
        pc.SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    size_t n = 0;
    if (h->pos < h->data->size())
        n = std::min<size_t>(nNumberOfBytesToRead, h->data->size() - h->pos);
    if (n)
        std::memcpy(lpBuffer, h->data->data() + h->pos, n);
    h->pos += n;
    if (lpNumberOfBytesRead)
        *lpNumberOfBytesRead = DWORD(n);
    return TRUE;
}

BOOL WINAPI WriteFile(HANDLE hFile, LPCVOID lpBuffer, DWORD nNumberOfBytesToWrite,
                      LPDWORD lpNumberOfBytesWritten, LPOVERLAPPED lpOverlapped)
{
    Pc::Impl &pc = CurrentPc();
    if (lpNumberOfBytesWritten)
        *lpNumberOfBytesWritten = 0;
    if (pc.Enter("WriteFile", true))
        return FALSE;
    OpenFileHandle *h = FindHandle(pc, hFile);
    if (!h) {
        pc.SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (!h->canWrite) {
        pc.SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    std::string &d = *h->data;
    if (d.size() < h->pos)
        d.resize(h->pos, '\0');
    d.replace(h->pos, std::min<size_t>(nNumberOfBytesToWrite, d.size() - h->pos),
              static_cast<const char *>(lpBuffer), nNumberOfBytesToWrite);
    h->pos += nNumberOfBytesToWrite;
    if (lpNumberOfBytesWritten)
        *lpNumberOfBytesWritten = nNumberOfBytesToWrite;
    return TRUE;
}

BOOL WINAPI CloseHandle(HANDLE hObject)
{
    Pc::Impl &pc = CurrentPc();
    if (pc.Enter("CloseHandle", true))
        return FALSE;
    uintptr_t id = reinterpret_cast<uintptr_t>(hObject);
    if (FindHandle(pc, hObject)) {
        pc.fileHandles.erase(id);
        return TRUE;
    }
    if (pc.tokenHandles.erase(id))
        return TRUE;
    pc.SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
}

BOOL WINAPI CopyFileA(LPCSTR lpExistingFileName, LPCSTR lpNewFileName, BOOL bFailIfExists)
{
    Pc::Impl &pc = CurrentPc();
    if (pc.Enter("CopyFileA", true))
        return FALSE;
    PathParts from, to;
    FsNode *fromFolder = ParentFolder(pc, lpExistingFileName, from);
    if (!fromFolder)
        return FALSE;
    FsNode *source = fromFolder->Find(from.parts.back());
    if (!source) {
        pc.SetLastError(ERROR_FILE_NOT_FOUND);
        return FALSE;
    }
    if (source->folder) {
        pc.SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    FsNode *toFolder = ParentFolder(pc, lpNewFileName, to);
    if (!toFolder)
        return FALSE;
    FsNode *target = toFolder->Find(to.parts.back());
    if (target && target->folder) {
        pc.SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    if (target && bFailIfExists) {
        pc.SetLastError(ERROR_FILE_EXISTS);
        return FALSE;
    }
    if (target == source)
        return TRUE;
    if (target && pc.FileIsOpen(target->data)) {
        pc.SetLastError(kErrorSharingViolation);
        return FALSE;
    }
    if (!target) {
        target = toFolder->AddChild(to.parts.back(), false);
        target->createdAs = AsWritten(pc, lpNewFileName);
    }
    *target->data = *source->data;
    return TRUE;
}

BOOL WINAPI DeleteFileA(LPCSTR lpFileName)
{
    Pc::Impl &pc = CurrentPc();
    if (pc.Enter("DeleteFileA", true))
        return FALSE;
    PathParts parts;
    FsNode *folder = ParentFolder(pc, lpFileName, parts);
    if (!folder)
        return FALSE;
    FsNode *file = folder->Find(parts.parts.back());
    if (!file) {
        pc.SetLastError(ERROR_FILE_NOT_FOUND);
        return FALSE;
    }
    if (file->folder) {
        pc.SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    if (pc.FileIsOpen(file->data)) {
        pc.SetLastError(kErrorSharingViolation);
        return FALSE;
    }
    folder->RemoveChild(file);
    return TRUE;
}

HFILE WINAPI OpenFile(LPCSTR lpFileName, LPOFSTRUCT lpReOpenBuff, UINT uStyle)
{
    Pc::Impl &pc = CurrentPc();
    if (lpReOpenBuff) {
        std::memset(lpReOpenBuff, 0, sizeof *lpReOpenBuff);
        lpReOpenBuff->cBytes = BYTE(sizeof *lpReOpenBuff);
    }
    auto fail = [&](DWORD e) {
        pc.SetLastError(e);
        if (lpReOpenBuff)
            lpReOpenBuff->nErrCode = WORD(e);
        return HFILE_ERROR;
    };
    if (pc.Enter("OpenFile", true))
        return fail(pc.lastError);
    PathParts parts;
    FsNode *folder = ParentFolder(pc, lpFileName, parts);
    if (!folder)
        return fail(pc.lastError);
    FsNode *file = folder->Find(parts.parts.back());
    if (!file)
        return fail(ERROR_FILE_NOT_FOUND);
    if (file->folder)
        return fail(ERROR_ACCESS_DENIED);
    if (lpReOpenBuff) {
        std::string full = file->Path();
        std::strncpy(lpReOpenBuff->szPathName, full.c_str(), sizeof lpReOpenBuff->szPathName - 1);
        lpReOpenBuff->fFixedDisk = full[0] != 'A' && full[0] != 'B';
    }
    OpenFileHandle h;
    h.data = file->data;
    h.canRead = true;
    h.probe = (uStyle & OF_EXIST) != 0; // the file is opened and closed at once
    uintptr_t id = pc.NewHandle();
    if (h.probe)
        return HFILE(id); // already closed, as Windows does: _lclose of it fails
    pc.fileHandles[id] = h;
    return HFILE(id);
}

HFILE WINAPI _lclose(HFILE hFile)
{
    Pc::Impl &pc = CurrentPc();
    pc.Enter("_lclose", false);
    if (pc.fileHandles.erase(uintptr_t(hFile)))
        return 0;
    pc.SetLastError(ERROR_INVALID_HANDLE);
    return HFILE_ERROR;
}
