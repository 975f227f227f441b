// win32_system.cpp - the system calls of KERNEL32, ADVAPI32 and USER32 that
// are not about files or the registry: folders, version, strings, waiting,
// the debugger output, the shutdown privilege and the restart, and the PCI
// configuration ports.
#include "machine.h"

#include <cstdarg>
#include <cstring>

using namespace sim;

namespace {

// Copy a folder by the Win32 rule: when the buffer is too small, return the
// size needed with the NUL and write nothing; else the length without it.
DWORD GiveFolder(const std::string &folder, LPSTR buffer, DWORD size)
{
    if (folder.size() + 1 > size || !buffer)
        return DWORD(folder.size() + 1);
    std::memcpy(buffer, folder.c_str(), folder.size() + 1);
    return DWORD(folder.size());
}

const uintptr_t kProcessPseudoHandle = uintptr_t(-1);

} // namespace

UINT WINAPI GetWindowsDirectoryA(LPSTR lpBuffer, UINT uSize)
{
    Pc::Impl &pc = CurrentPc();
    if (pc.Enter("GetWindowsDirectoryA", false))
        return 0;
    return GiveFolder(pc.windowsFolder, lpBuffer, uSize);
}

UINT WINAPI GetSystemDirectoryA(LPSTR lpBuffer, UINT uSize)
{
    Pc::Impl &pc = CurrentPc();
    if (pc.Enter("GetSystemDirectoryA", false))
        return 0;
    return GiveFolder(pc.SystemFolder(), lpBuffer, uSize);
}

DWORD WINAPI GetCurrentDirectoryA(DWORD nBufferLength, LPSTR lpBuffer)
{
    Pc::Impl &pc = CurrentPc();
    if (pc.Enter("GetCurrentDirectoryA", false))
        return 0;
    return GiveFolder(pc.currentFolder, lpBuffer, nBufferLength);
}

DWORD WINAPI GetVersion(void)
{
    Pc::Impl &pc = CurrentPc();
    pc.Enter("GetVersion", false);
    switch (pc.version) {
    case Version::Win95: return 0xC3B60004u; // 4.0 build 950, bit 31 set
    case Version::Win98: return 0xC0000A04u; // 4.10, bit 31 set
    case Version::NT: return 0x05650004u;    // 4.0 build 1381
    }
    return 0;
}

DWORD WINAPI GetLastError(void) { return CurrentPc().lastError; }

void WINAPI Sleep(DWORD dwMilliseconds)
{
    Pc::Impl &pc = CurrentPc();
    pc.Enter("Sleep", false);
    pc.simulatedMs += dwMilliseconds; // simulated time: nobody waits
    pc.Record("sleep", "sleep ms=" + std::to_string(dwMilliseconds));
}

HANDLE WINAPI GetCurrentProcess(void)
{
    CurrentPc().Enter("GetCurrentProcess", false);
    return reinterpret_cast<HANDLE>(kProcessPseudoHandle);
}

HMODULE WINAPI GetModuleHandleA(LPCSTR lpModuleName)
{
    Pc::Impl &pc = CurrentPc();
    if (pc.Enter("GetModuleHandleA", false))
        return nullptr;
    if (!lpModuleName)
        return ProgramInstance();
    if (pc.program && EqualNoCase(lpModuleName, std::string(pc.program->name) + ".exe"))
        return ProgramInstance();
    pc.SetLastError(kErrorModNotFound);
    return nullptr;
}

void WINAPI OutputDebugStringA(LPCSTR lpOutputString)
{
    Pc::Impl &pc = CurrentPc();
    pc.Enter("OutputDebugStringA", false);
    pc.Record("debug-output", "debug-output text=" + Quote(lpOutputString));
}

void WINAPI ExitProcess(UINT uExitCode)
{
    CurrentPc().Enter("ExitProcess", false);
    throw ExitProcessSignal{uExitCode};
}

// --- strings ---------------------------------------------------------------

LPSTR WINAPI lstrcpyA(LPSTR lpString1, LPCSTR lpString2)
{
    if (!lpString1 || !lpString2)
        return nullptr;
    return std::strcpy(lpString1, lpString2);
}

LPSTR WINAPI lstrcatA(LPSTR lpString1, LPCSTR lpString2)
{
    if (!lpString1 || !lpString2)
        return nullptr;
    return std::strcat(lpString1, lpString2);
}

int WINAPI lstrlenA(LPCSTR lpString) { return lpString ? int(std::strlen(lpString)) : 0; }

// A missing string compares unequal to every text, the empty one too.
static int CompareMissing(LPCSTR a, LPCSTR b, bool *done)
{
    *done = !a || !b;
    if (!a && !b)
        return 0;
    return !a ? -1 : 1;
}

int WINAPI lstrcmpA(LPCSTR lpString1, LPCSTR lpString2)
{
    bool done;
    int r = CompareMissing(lpString1, lpString2, &done);
    if (done)
        return r;
    r = std::strcmp(lpString1, lpString2);
    return r < 0 ? -1 : r > 0 ? 1 : 0;
}

int WINAPI lstrcmpiA(LPCSTR lpString1, LPCSTR lpString2)
{
    bool done;
    int r = CompareMissing(lpString1, lpString2, &done);
    if (done)
        return r;
    auto fold = [](unsigned char c) { return (c >= 'A' && c <= 'Z') ? c - 'A' + 'a' : int(c); };
    const unsigned char *a = reinterpret_cast<const unsigned char *>(lpString1);
    const unsigned char *b = reinterpret_cast<const unsigned char *>(lpString2);
    for (;; a++, b++) {
        int d = fold(*a) - fold(*b);
        if (d)
            return d < 0 ? -1 : 1;
        if (!*a)
            return 0;
    }
}

// wsprintfA: %d %i %u %x %X %s %c %% with the flags '-' and '0', a width,
// and the size prefixes l and h; at most 1024 characters, as on Windows.
int WINAPIV wsprintfA(LPSTR lpOut, LPCSTR lpFmt, ...)
{
    std::string out;
    va_list ap;
    va_start(ap, lpFmt);
    for (const char *p = lpFmt; *p; p++) {
        if (*p != '%') {
            out += *p;
            continue;
        }
        p++;
        if (*p == '%') {
            out += '%';
            continue;
        }
        bool left = false, zero = false;
        for (; *p == '-' || *p == '0' || *p == '#'; p++) {
            if (*p == '-')
                left = true;
            if (*p == '0')
                zero = true;
        }
        int width = 0;
        for (; *p >= '0' && *p <= '9'; p++)
            width = width * 10 + (*p - '0');
        while (*p == 'l' || *p == 'h')
            p++;
        std::string field;
        bool numeric = true;
        switch (*p) {
        case 'd':
        case 'i': {
            int v = va_arg(ap, int);
            field = std::to_string(v);
            break;
        }
        case 'u':
            field = std::to_string(va_arg(ap, unsigned int));
            break;
        case 'x':
        case 'X': {
            unsigned int v = va_arg(ap, unsigned int);
            const char *digits = *p == 'x' ? "0123456789abcdef" : "0123456789ABCDEF";
            do {
                field.insert(field.begin(), digits[v & 15]);
                v >>= 4;
            } while (v);
            break;
        }
        case 's': {
            const char *s = va_arg(ap, const char *);
            field = s ? s : "(null)";
            numeric = false;
            break;
        }
        case 'c':
            field = std::string(1, char(va_arg(ap, int)));
            numeric = false;
            break;
        case '\0':
            p--;
            continue;
        default: // unknown conversion: written as it stands
            field = std::string(1, *p);
            numeric = false;
        }
        if (int(field.size()) < width) {
            size_t pad = width - field.size();
            if (left)
                field.append(pad, ' ');
            else if (zero && numeric) {
                size_t at = (!field.empty() && field[0] == '-') ? 1 : 0;
                field.insert(at, pad, '0');
            } else
                field.insert(0, pad, ' ');
        }
        out += field;
    }
    va_end(ap);
    if (out.size() > 1023)
        out.resize(1023);
    std::memcpy(lpOut, out.c_str(), out.size() + 1);
    return int(out.size());
}

// --- the shutdown privilege and the restart --------------------------------

BOOL WINAPI OpenProcessToken(HANDLE ProcessHandle, DWORD DesiredAccess, PHANDLE TokenHandle)
{
    Pc::Impl &pc = CurrentPc();
    if (pc.Enter("OpenProcessToken", false))
        return FALSE;
    if (!TokenHandle || reinterpret_cast<uintptr_t>(ProcessHandle) != kProcessPseudoHandle) {
        pc.SetLastError(TokenHandle ? ERROR_INVALID_HANDLE : ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    uintptr_t id = pc.NewHandle();
    pc.tokenHandles.insert(id);
    pc.tokenAccess[id] = DesiredAccess;
    *TokenHandle = reinterpret_cast<HANDLE>(id);
    return TRUE;
}

BOOL WINAPI LookupPrivilegeValueA(LPCSTR lpSystemName, LPCSTR lpName, PLUID lpLuid)
{
    Pc::Impl &pc = CurrentPc();
    if (pc.Enter("LookupPrivilegeValueA", false))
        return FALSE;
    if (!lpName || !lpLuid || lstrcmpiA(lpName, SE_SHUTDOWN_NAME) != 0) {
        pc.SetLastError(kErrorNoSuchPrivilege);
        return FALSE;
    }
    lpLuid->LowPart = 19; // the shutdown privilege's number on NT
    lpLuid->HighPart = 0;
    return TRUE;
}

BOOL WINAPI AdjustTokenPrivileges(HANDLE TokenHandle, BOOL DisableAllPrivileges,
                                  PTOKEN_PRIVILEGES NewState, DWORD BufferLength,
                                  PTOKEN_PRIVILEGES PreviousState, PDWORD ReturnLength)
{
    Pc::Impl &pc = CurrentPc();
    if (pc.Enter("AdjustTokenPrivileges", false))
        return FALSE;
    uintptr_t id = reinterpret_cast<uintptr_t>(TokenHandle);
    if (!pc.tokenHandles.count(id)) {
        pc.SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    // As on NT: adjusting needs a token opened for it.
    if (!(pc.tokenAccess[id] & TOKEN_ADJUST_PRIVILEGES)) {
        pc.SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    // A privilege the token does not hold is not assigned, and NT still
    // answers TRUE, with ERROR_NOT_ALL_ASSIGNED as the last error.
    DWORD error = ERROR_SUCCESS;
    if (DisableAllPrivileges) {
        pc.shutdownPrivilege = false;
    } else if (NewState) {
        for (DWORD i = 0; i < NewState->PrivilegeCount && i < 1; i++) {
            const LUID_AND_ATTRIBUTES &p = NewState->Privileges[i];
            if (p.Luid.LowPart == 19 && p.Luid.HighPart == 0)
                pc.shutdownPrivilege = (p.Attributes & SE_PRIVILEGE_ENABLED) != 0;
            else
                error = ERROR_NOT_ALL_ASSIGNED;
        }
    }
    pc.SetLastError(error);
    return TRUE;
}

BOOL WINAPI ExitWindowsEx(UINT uFlags, DWORD dwReason)
{
    Pc::Impl &pc = CurrentPc();
    bool failed = pc.Enter("ExitWindowsEx", false);
    // The NT family restarts only for a process that holds the shutdown
    // privilege; Windows 95/98 knows no privileges.
    if (!failed && pc.version == Version::NT && !pc.shutdownPrivilege) {
        pc.SetLastError(ERROR_PRIVILEGE_NOT_HELD);
        failed = true;
    }
    pc.Record("restart", "restart flags=" + std::to_string(uFlags) + " result=" + (failed ? "0" : "1"));
    return failed ? FALSE : TRUE;
}

// --- PCI configuration mechanism #1 ----------------------------------------

void PciWriteAddress(DWORD address)
{
    Pc::Impl &pc = CurrentPc();
    pc.pciWrites++;
    pc.lastPciAddress = address;
}

DWORD PciReadData(void)
{
    Pc::Impl &pc = CurrentPc();
    pc.pciReads++;
    DWORD a = pc.lastPciAddress;
    if (!(a & 0x80000000u) || (a & 0xFCu) != 0)
        return 0xFFFFFFFFu;
    auto it = pc.pci.find(a & 0x80FFFF00u);
    return it == pc.pci.end() ? 0xFFFFFFFFu : it->second;
}
