/*
 * stale.cpp - delete an earlier driver for the probed controller: its OEM
 * INF, its driver file in iosubsys and its device and driver keys, so that
 * Windows finds the controller as a new device at the next start.
 *
 * The names come from the probed chip, never from the variant on the
 * command line.
 */
#include "stale.h"
#include "probe.h"
#include "text.h"

/* The chip's driver file in the system folder's iosubsys, in 128 characters. */
static int ComposeIosubsysDriver(char *path, ChipIndex chip)
{
    char system[REG_PATH_SIZE];
    UINT length;

    path[0] = '\0';
    length = GetSystemDirectoryA(system, sizeof system);
    if (length == 0 || length >= sizeof system)
        return 0;
    return JoinPath(path, REG_PATH_SIZE, system, "iosubsys") &&
           JoinPath(path, REG_PATH_SIZE, path, ChipDriverFiles[chip]);
}

/*
 * The INF and the driver file go together or not at all: only an INF that
 * names the chip's driver file is the earlier driver's, and when the driver
 * file's path cannot be composed the INF stays as well.
 */
static void DeleteStaleFiles(const InstalledDriverRecord *record, ChipIndex chip)
{
    char driver[REG_PATH_SIZE];

    if (record->InfFile[0] == '\0' || !InfNamesDriver(record->InfFile, chip))
        return;
    if (!ComposeIosubsysDriver(driver, chip))
        return;
    DeleteFileA(record->InfFile);
    DeleteFileA(driver);
}

void DeleteStaleDriver(const InstalledDriverRecord *record, ChipIndex chip)
{
    DeleteStaleFiles(record, chip);
    DeleteDeviceKeys(record);
}

int RemoveStaleDriver(void)
{
    InstalledDriverRecord record;
    ChipIndex chip = ProbeController();

    if (chip == CHIP_NONE) {
        ShowError(ProgramState.NotFoundMessage, "Setup Error");
        return 0;
    }
    CollectInstalledDriver(&record, chip);
    DeleteStaleDriver(&record, chip);
    return 1;
}
