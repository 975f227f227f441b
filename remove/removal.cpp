/*
 * removal.cpp - the remover's deletions: the driver's INF, files and keys,
 * and the product key.
 */
#include "remove.h"
#include "probe.h"
#include "record.h"
#include "text.h"

/* folder (fetched by get) + "\" + sub + "\" + name; 0 when it does not fit. */
static int FolderPath(char *path, UINT (WINAPI *get)(LPSTR, UINT), const char *sub,
                      const char *name)
{
    char folder[260];

    ZeroBytes(folder, sizeof folder);
    if (get(folder, sizeof folder) >= sizeof folder)
        return 0;
    return JoinPath(path, 260, folder, sub) && JoinPath(path, 260, path, name);
}

static void DeleteInFolder(UINT (WINAPI *get)(LPSTR, UINT), const char *sub, const char *name)
{
    char path[260];

    if (FolderPath(path, get, sub, name))
        DeleteFileA(path);
}

void DeleteInstalledDriver(const InstalledDriverRecord *record, ChipIndex chip)
{
    const char *chipFile = ChipDriverFiles[chip];

    if (record->InfFile[0] != '\0' && InfNamesDriver(record->InfFile, chip))
        DeleteFileA(record->InfFile);

    DeleteInFolder(GetSystemDirectoryA, "iosubsys",
                   ProgramState.Variant == KQNEO ? "kqide.mpd" : chipFile);
    /* The installer put idevsd.vxd beside the driver file; it goes with it. */
    DeleteInFolder(GetSystemDirectoryA, "iosubsys", "idevsd.vxd");
    DeleteInFolder(GetWindowsDirectoryA, "inf\\other", "MicrosoftMSHDC.INF");

    if (ProgramState.Preload) {
        DeleteInFolder(GetWindowsDirectoryA, "options\\cabs", "orvhdd.inf");
        DeleteInFolder(GetWindowsDirectoryA, "options\\cabs", chipFile);
    }

    DeleteDeviceKeys(record);
}

int RemoveDriver(void)
{
    InstalledDriverRecord record;
    ChipIndex chip = ProbeController();

    if (chip == CHIP_NONE) {
        ShowError(ProgramState.NotFoundMessage, "Remove Error");
        return 0;
    }
    ZeroBytes(&record, sizeof record);
    CollectInstalledDriver(&record, chip);
    DeleteInstalledDriver(&record, chip);
    return 1;
}

void RemoveProductKey(void)
{
    const char *parent, *product;
    HKEY key;

    if (ProgramState.Variant == K6417) {
        parent = "SOFTWARE\\ORV";
        product = "K6417";
    } else if (ProgramState.Variant == KQNEO) {
        parent = "SOFTWARE";
        product = "KQNEO";
    } else {
        return;
    }
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, parent, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS)
        return;
    DeleteKeyTree(key, product);
    RegCloseKey(key);
}
