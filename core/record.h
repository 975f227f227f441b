/*
 * record.h - where Windows keeps the probed controller: its device keys,
 * their driver keys and the INF its driver came from.
 */
#ifndef IDE_RECORD_H
#define IDE_RECORD_H

#include "state.h"

#define CHIP_TEXT_SIZE 32
#define REG_PATH_SIZE 128

extern const char ChipDeviceIds[2][CHIP_TEXT_SIZE];
extern const char ChipDriverFiles[2][CHIP_TEXT_SIZE];

struct DeviceSlot {
    char DeviceKey[REG_PATH_SIZE];
    char DriverKey[REG_PATH_SIZE];
    int Found;
};

struct InstalledDriverRecord {
    DeviceSlot Slots[3]; /* Enum\PCI, Enum\MF\CHILD0000, Enum\MF\CHILD0001 */
    char InfFile[REG_PATH_SIZE];
};

void CollectInstalledDriver(InstalledDriverRecord *record, ChipIndex chip);
int FindDeviceKey(DeviceSlot *slot, ChipIndex chip, const char *branch);
int FindFirstSubkey(const char *path, char *out, int size);
int ReadDriverKey(DeviceSlot *slot, const char *path);
void FindDriverInf(InstalledDriverRecord *record);
int InfNamesDriver(const char *file, ChipIndex chip);
void DeleteDeviceKeys(const InstalledDriverRecord *record);

#endif /* IDE_RECORD_H */
