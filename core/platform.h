/*
 * platform.h - the one door to the operating system.
 *
 * The system's code includes this header and nothing else for the OS. It
 * offers the subset of the Win32 API that the programs call, under its Win32
 * names and signatures, and the few helpers whose working differs by
 * platform:
 *
 *   DeleteKeyTree      delete a registry key with every key below it
 *   PciWriteAddress    32-bit write to the PCI address port 0xCF8
 *   PciReadData        32-bit read of the PCI data port 0xCFC
 *
 * In the Windows build the declarations come from <windows.h>. In the host
 * build they are our own, and platform/sim/ implements them over a
 * simulated Windows 9x PC.
 */
#ifndef IDE_PLATFORM_H
#define IDE_PLATFORM_H

#ifdef _WIN32

#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#include <windows.h>

#else /* host build: the simulated PC */

#include <stdint.h>

#define WINAPI
#define CALLBACK
#define WINAPIV

typedef int BOOL;
typedef unsigned char BYTE;
typedef unsigned short WORD;
typedef unsigned int DWORD; /* 32 bits, as on Windows */
typedef int LONG;
typedef unsigned int UINT;
typedef char CHAR;
typedef char *LPSTR;
typedef const char *LPCSTR;
typedef void *LPVOID;
typedef const void *LPCVOID;
typedef BYTE *LPBYTE;
typedef DWORD *LPDWORD;
typedef DWORD *PDWORD;
typedef intptr_t INT_PTR;
typedef uintptr_t UINT_PTR;
typedef intptr_t LONG_PTR;
typedef uintptr_t WPARAM;
typedef intptr_t LPARAM;
typedef intptr_t LRESULT;
typedef DWORD REGSAM;
typedef int HFILE;

typedef void *HANDLE;
typedef HANDLE *PHANDLE;
typedef struct HKEY__ *HKEY;
typedef HKEY *PHKEY;
typedef struct HWND__ *HWND;
typedef struct HINSTANCE__ *HINSTANCE;
typedef HINSTANCE HMODULE;

typedef INT_PTR (CALLBACK *DLGPROC)(HWND, UINT, WPARAM, LPARAM);

typedef struct _FILETIME {
    DWORD dwLowDateTime;
    DWORD dwHighDateTime;
} FILETIME, *PFILETIME;

typedef struct _OFSTRUCT {
    BYTE cBytes;
    BYTE fFixedDisk;
    WORD nErrCode;
    WORD Reserved1;
    WORD Reserved2;
    CHAR szPathName[128];
} OFSTRUCT, *LPOFSTRUCT;

typedef struct _LUID {
    DWORD LowPart;
    LONG HighPart;
} LUID, *PLUID;

typedef struct _LUID_AND_ATTRIBUTES {
    LUID Luid;
    DWORD Attributes;
} LUID_AND_ATTRIBUTES;

typedef struct _TOKEN_PRIVILEGES {
    DWORD PrivilegeCount;
    LUID_AND_ATTRIBUTES Privileges[1];
} TOKEN_PRIVILEGES, *PTOKEN_PRIVILEGES;

typedef void *LPSECURITY_ATTRIBUTES;
typedef void *LPOVERLAPPED;

#ifndef NULL
#define NULL 0
#endif
#define TRUE 1
#define FALSE 0

#define HKEY_CLASSES_ROOT ((HKEY)(uintptr_t)0x80000000u)
#define HKEY_CURRENT_USER ((HKEY)(uintptr_t)0x80000001u)
#define HKEY_LOCAL_MACHINE ((HKEY)(uintptr_t)0x80000002u)
#define HKEY_USERS ((HKEY)(uintptr_t)0x80000003u)
#define HKEY_CURRENT_CONFIG ((HKEY)(uintptr_t)0x80000005u)
#define HKEY_DYN_DATA ((HKEY)(uintptr_t)0x80000006u)
#define KEY_ALL_ACCESS 0xF003F

#define REG_NONE 0
#define REG_SZ 1
#define REG_EXPAND_SZ 2
#define REG_BINARY 3
#define REG_DWORD 4
#define REG_MULTI_SZ 7

#define ERROR_SUCCESS 0L
#define ERROR_FILE_NOT_FOUND 2L
#define ERROR_PATH_NOT_FOUND 3L
#define ERROR_ACCESS_DENIED 5L
#define ERROR_INVALID_HANDLE 6L
#define ERROR_NOT_ENOUGH_MEMORY 8L
#define ERROR_WRITE_FAULT 29L
#define ERROR_READ_FAULT 30L
#define ERROR_FILE_EXISTS 80L
#define ERROR_INVALID_PARAMETER 87L
#define ERROR_MORE_DATA 234L
#define ERROR_NO_MORE_ITEMS 259L
#define ERROR_RESOURCE_NAME_NOT_FOUND 1814L
#define ERROR_NO_TOKEN 1008L
#define ERROR_NOT_ALL_ASSIGNED 1300L
#define ERROR_PRIVILEGE_NOT_HELD 1314L

#define MB_OK 0x0000
#define MB_YESNO 0x0004
#define IDOK 1
#define IDCANCEL 2
#define IDYES 6
#define IDNO 7

#define WM_INITDIALOG 0x0110
#define WM_COMMAND 0x0111
#define BN_CLICKED 0
#define LOWORD(l) ((WORD)(((UINT_PTR)(l)) & 0xffff))
#define HIWORD(l) ((WORD)((((UINT_PTR)(l)) >> 16) & 0xffff))

#define EWX_REBOOT 0x00000002
#define TOKEN_ADJUST_PRIVILEGES 0x0020
#define TOKEN_QUERY 0x0008
#define SE_PRIVILEGE_ENABLED 0x00000002L
#define SE_SHUTDOWN_NAME "SeShutdownPrivilege"

#define OF_EXIST 0x00004000
#define HFILE_ERROR ((HFILE)-1)

#define GENERIC_READ 0x80000000u
#define GENERIC_WRITE 0x40000000u
#define FILE_SHARE_READ 0x00000001
#define CREATE_ALWAYS 2
#define OPEN_EXISTING 3
#define FILE_ATTRIBUTE_NORMAL 0x00000080
#define INVALID_HANDLE_VALUE ((HANDLE)(intptr_t)-1)
#define MAX_PATH 260

/* Registry (ADVAPI32) */
LONG WINAPI RegOpenKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD ulOptions, REGSAM samDesired,
                          PHKEY phkResult);
LONG WINAPI RegEnumKeyExA(HKEY hKey, DWORD dwIndex, LPSTR lpName, LPDWORD lpcchName,
                          LPDWORD lpReserved, LPSTR lpClass, LPDWORD lpcchClass,
                          PFILETIME lpftLastWriteTime);
LONG WINAPI RegQueryValueExA(HKEY hKey, LPCSTR lpValueName, LPDWORD lpReserved, LPDWORD lpType,
                             LPBYTE lpData, LPDWORD lpcbData);
LONG WINAPI RegDeleteKeyA(HKEY hKey, LPCSTR lpSubKey);
LONG WINAPI RegCloseKey(HKEY hKey);

/* Tokens and privileges (ADVAPI32) */
BOOL WINAPI OpenProcessToken(HANDLE ProcessHandle, DWORD DesiredAccess, PHANDLE TokenHandle);
BOOL WINAPI LookupPrivilegeValueA(LPCSTR lpSystemName, LPCSTR lpName, PLUID lpLuid);
BOOL WINAPI AdjustTokenPrivileges(HANDLE TokenHandle, BOOL DisableAllPrivileges,
                                  PTOKEN_PRIVILEGES NewState, DWORD BufferLength,
                                  PTOKEN_PRIVILEGES PreviousState, PDWORD ReturnLength);

/* Folders, files and process (KERNEL32) */
UINT WINAPI GetWindowsDirectoryA(LPSTR lpBuffer, UINT uSize);
UINT WINAPI GetSystemDirectoryA(LPSTR lpBuffer, UINT uSize);
DWORD WINAPI GetCurrentDirectoryA(DWORD nBufferLength, LPSTR lpBuffer);
BOOL WINAPI CopyFileA(LPCSTR lpExistingFileName, LPCSTR lpNewFileName, BOOL bFailIfExists);
BOOL WINAPI DeleteFileA(LPCSTR lpFileName);
HFILE WINAPI OpenFile(LPCSTR lpFileName, LPOFSTRUCT lpReOpenBuff, UINT uStyle);
HFILE WINAPI _lclose(HFILE hFile);
HANDLE WINAPI CreateFileA(LPCSTR lpFileName, DWORD dwDesiredAccess, DWORD dwShareMode,
                          LPSECURITY_ATTRIBUTES lpSecurityAttributes,
                          DWORD dwCreationDisposition, DWORD dwFlagsAndAttributes,
                          HANDLE hTemplateFile);
BOOL WINAPI ReadFile(HANDLE hFile, LPVOID lpBuffer, DWORD nNumberOfBytesToRead,
                     LPDWORD lpNumberOfBytesRead, LPOVERLAPPED lpOverlapped);
BOOL WINAPI WriteFile(HANDLE hFile, LPCVOID lpBuffer, DWORD nNumberOfBytesToWrite,
                      LPDWORD lpNumberOfBytesWritten, LPOVERLAPPED lpOverlapped);
BOOL WINAPI CloseHandle(HANDLE hObject);
DWORD WINAPI GetVersion(void);
DWORD WINAPI GetLastError(void);
void WINAPI Sleep(DWORD dwMilliseconds);
HANDLE WINAPI GetCurrentProcess(void);
HMODULE WINAPI GetModuleHandleA(LPCSTR lpModuleName);
void WINAPI OutputDebugStringA(LPCSTR lpOutputString);
[[noreturn]] void WINAPI ExitProcess(UINT uExitCode);

LPSTR WINAPI lstrcpyA(LPSTR lpString1, LPCSTR lpString2);
LPSTR WINAPI lstrcatA(LPSTR lpString1, LPCSTR lpString2);
int WINAPI lstrlenA(LPCSTR lpString);
int WINAPI lstrcmpA(LPCSTR lpString1, LPCSTR lpString2);
int WINAPI lstrcmpiA(LPCSTR lpString1, LPCSTR lpString2);

/* Windows and dialogs (USER32) */
int WINAPI MessageBoxA(HWND hWnd, LPCSTR lpText, LPCSTR lpCaption, UINT uType);
INT_PTR WINAPI DialogBoxParamA(HINSTANCE hInstance, LPCSTR lpTemplateName, HWND hWndParent,
                               DLGPROC lpDialogFunc, LPARAM dwInitParam);
BOOL WINAPI CheckRadioButton(HWND hDlg, int nIDFirstButton, int nIDLastButton,
                             int nIDCheckButton);
BOOL WINAPI EndDialog(HWND hDlg, INT_PTR nResult);
BOOL WINAPI ExitWindowsEx(UINT uFlags, DWORD dwReason);
int WINAPIV wsprintfA(LPSTR lpOut, LPCSTR lpFmt, ...);

#endif /* _WIN32 */

/* Helpers whose working differs by platform. */

/* Delete the key lpSubKey below hKey together with every key below it, as
 * RegDeleteKeyA does on Windows 95/98. On the NT family, where
 * RegDeleteKeyA refuses a key that has subkeys, the subkeys go first. */
LONG DeleteKeyTree(HKEY hKey, LPCSTR lpSubKey);

/* PCI configuration mechanism #1: the address port and the data port. */
void PciWriteAddress(DWORD address);
DWORD PciReadData(void);

#endif /* IDE_PLATFORM_H */
