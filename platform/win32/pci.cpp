/*
 * pci.cpp - PCI configuration mechanism #1: the address port 0xCF8 and the
 * data port 0xCFC.
 *
 * Windows 95 and 98 let a user-mode program use the two ports itself, and
 * there the program does exactly that. The NT family faults on a user-mode
 * port instruction, so there no port instruction is ever executed: the
 * address is latched, and the read answers from the device list of the
 * Setup API (each PCI device's hardware ID, bus number and address). Only
 * register 0, the vendor and device ID dword, can be had that way; every
 * other read, and every read when the Setup API is not to be had, answers
 * all ones, as an empty slot does. The program then reports that no
 * controller was found instead of crashing.
 *
 * SETUPAPI.DLL is loaded at run time: Windows 95 has none, and a static
 * import would keep the program from starting there.
 */
#include "platform.h"
#include "win9x.h"
#include <setupapi.h>

#define PCI_ADDRESS_PORT 0xCF8
#define PCI_DATA_PORT 0xCFC
#define PCI_ENABLE 0x80000000u
#define PCI_NOTHING 0xFFFFFFFFu

/* Far more PCI functions than any machine holds. */
#define MAX_PCI_FUNCTIONS 256

/* Enough for the REG_MULTI_SZ list of a PCI device's hardware IDs. */
#define HARDWARE_ID_SIZE 1024

/* One PCI function as the Setup API lists it. Location packs bus, device
 * and function as bits 23-8 of a configuration address do:
 * bus << 8 | device << 3 | function. */
struct PciFunction {
    DWORD Location;
    DWORD Ids; /* vendor | device << 16, the dword of register 0 */
};

static DWORD LatchedAddress;
static DWORD LastReadAddress;
static int TableLoaded;
static int FunctionCount;
static PciFunction Functions[MAX_PCI_FUNCTIONS];

typedef HDEVINFO(WINAPI *GetClassDevsFn)(const GUID *, PCSTR, HWND, DWORD);
typedef BOOL(WINAPI *EnumDeviceInfoFn)(HDEVINFO, DWORD, PSP_DEVINFO_DATA);
typedef BOOL(WINAPI *GetDeviceRegistryPropertyFn)(HDEVINFO, PSP_DEVINFO_DATA, DWORD, PDWORD,
                                                  PBYTE, DWORD, PDWORD);
typedef BOOL(WINAPI *DestroyDeviceInfoListFn)(HDEVINFO);

struct SetupApi {
    GetClassDevsFn GetClassDevs;
    EnumDeviceInfoFn EnumDeviceInfo;
    GetDeviceRegistryPropertyFn GetProperty;
    DestroyDeviceInfoListFn DestroyList;
};

static void OutPort32(WORD port, DWORD value)
{
    __asm__ __volatile__("outl %0, %w1" : : "a"(value), "Nd"(port));
}

static DWORD InPort32(WORD port)
{
    DWORD value;
    __asm__ __volatile__("inl %w1, %0" : "=a"(value) : "Nd"(port));
    return value;
}

static int HexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

static char Upper(char c)
{
    return (c >= 'a' && c <= 'z') ? (char)(c - 'a' + 'A') : c;
}

/* Whether text starts with prefix, ignoring case. */
static int StartsWith(const char *text, const char *prefix)
{
    while (*prefix) {
        if (Upper(*text) != *prefix)
            return 0;
        text++;
        prefix++;
    }
    return 1;
}

/* The four hex digits after tag ("VEN_" or "DEV_") somewhere in id. */
static int FindHexField(const char *id, const char *tag, DWORD *value)
{
    int i, digit;

    for (; *id; id++) {
        if (!StartsWith(id, tag))
            continue;
        id += 4;
        *value = 0;
        for (i = 0; i < 4; i++) {
            digit = HexDigit(id[i]);
            if (digit < 0)
                return 0;
            *value = *value << 4 | (DWORD)digit;
        }
        return 1;
    }
    return 0;
}

/* "PCI\VEN_xxxx&DEV_yyyy..." as the register 0 dword. */
static int ParseHardwareId(const char *id, DWORD *ids)
{
    DWORD vendor, device;

    if (!StartsWith(id, "PCI\\") || !FindHexField(id, "VEN_", &vendor) ||
        !FindHexField(id, "DEV_", &device))
        return 0;
    *ids = vendor | device << 16;
    return 1;
}

static int LoadSetupApi(HMODULE library, SetupApi *api)
{
    api->GetClassDevs = (GetClassDevsFn)(void *)GetProcAddress(library, "SetupDiGetClassDevsA");
    api->EnumDeviceInfo =
        (EnumDeviceInfoFn)(void *)GetProcAddress(library, "SetupDiEnumDeviceInfo");
    api->GetProperty = (GetDeviceRegistryPropertyFn)(void *)GetProcAddress(
        library, "SetupDiGetDeviceRegistryPropertyA");
    api->DestroyList =
        (DestroyDeviceInfoListFn)(void *)GetProcAddress(library, "SetupDiDestroyDeviceInfoList");
    return api->GetClassDevs && api->EnumDeviceInfo && api->GetProperty && api->DestroyList;
}

static int GetDwordProperty(SetupApi *api, HDEVINFO list, SP_DEVINFO_DATA *device,
                            DWORD property, DWORD *value)
{
    return api->GetProperty(list, device, property, NULL, (PBYTE)value, sizeof *value, NULL);
}

/* Add one listed device to the table; devices without a PCI hardware ID,
 * bus number or address are left out. */
static void AddFunction(SetupApi *api, HDEVINFO list, SP_DEVINFO_DATA *device)
{
    char hardwareId[HARDWARE_ID_SIZE];
    DWORD bus, address, ids;

    hardwareId[0] = 0;
    if (!api->GetProperty(list, device, SPDRP_HARDWAREID, NULL, (PBYTE)hardwareId,
                          HARDWARE_ID_SIZE - 2, NULL))
        return;
    hardwareId[HARDWARE_ID_SIZE - 2] = 0;
    if (!ParseHardwareId(hardwareId, &ids) ||
        !GetDwordProperty(api, list, device, SPDRP_BUSNUMBER, &bus) ||
        !GetDwordProperty(api, list, device, SPDRP_ADDRESS, &address))
        return;
    if (FunctionCount >= MAX_PCI_FUNCTIONS)
        return;
    /* A PCI device's address is device << 16 | function. */
    Functions[FunctionCount].Location =
        (bus & 0xFF) << 8 | ((address >> 16) & 0x1F) << 3 | (address & 0x7);
    Functions[FunctionCount].Ids = ids;
    FunctionCount++;
}

/* Fill the table from the present devices of the PCI enumerator. An
 * empty table, when the Setup API is missing, makes every read all ones. */
static void LoadFunctionTable(void)
{
    HMODULE library;
    SetupApi api;
    HDEVINFO list;
    SP_DEVINFO_DATA device;
    DWORD index;

    FunctionCount = 0;
    TableLoaded = 1;
    library = LoadLibraryA("SETUPAPI.DLL");
    if (!library)
        return;
    if (LoadSetupApi(library, &api)) {
        list = api.GetClassDevs(NULL, "PCI", NULL, DIGCF_ALLCLASSES | DIGCF_PRESENT);
        if (list != INVALID_HANDLE_VALUE) {
            for (index = 0;; index++) {
                device.cbSize = sizeof device;
                if (!api.EnumDeviceInfo(list, index, &device))
                    break;
                AddFunction(&api, list, &device);
            }
            api.DestroyList(list);
        }
    }
    FreeLibrary(library);
}

/* A probe scans the device numbers upwards; an address that does not go
 * beyond the last one read starts a new scan, which reads the device list
 * afresh. Within one scan the list is read once. */
static DWORD ReadFromDeviceList(DWORD address)
{
    DWORD location;
    int i;

    if (!TableLoaded || address <= LastReadAddress)
        LoadFunctionTable();
    LastReadAddress = address;
    if (!(address & PCI_ENABLE) || (address & 0xFC) != 0)
        return PCI_NOTHING;
    location = (address >> 8) & 0xFFFF;
    for (i = 0; i < FunctionCount; i++) {
        if (Functions[i].Location == location)
            return Functions[i].Ids;
    }
    return PCI_NOTHING;
}

void PciWriteAddress(DWORD address)
{
    if (OnWindows9x())
        OutPort32(PCI_ADDRESS_PORT, address);
    else
        LatchedAddress = address;
}

DWORD PciReadData(void)
{
    if (OnWindows9x())
        return InPort32(PCI_DATA_PORT);
    return ReadFromDeviceList(LatchedAddress);
}
