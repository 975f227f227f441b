/*
 * record.cpp - find where Windows keeps the probed controller: its device
 * keys under the enumeration branches, the driver key each one points to,
 * and the OEM INF its driver was installed from; and delete those keys.
 *
 * Both programs share this code. The remover reads "PortDriver" and
 * "InfPath" into larger buffers and refuses to go on when the installed
 * port driver is not one of ours (the port-driver gate); ProgramState.Program
 * tells the two apart.
 */
#include "record.h"
#include "text.h"
#include "textfile.h"

const char ChipDeviceIds[2][CHIP_TEXT_SIZE] = {"6407", "6417"};
const char ChipDriverFiles[2][CHIP_TEXT_SIZE] = {"k6407.mpd", "k6417.mpd"};

#define CLASS_BRANCH "System\\CurrentControlSet\\Services\\Class"
#define SETUP_VALUE_SIZE 128   /* "Driver", and the installer's "InfPath" */
#define REMOVE_VALUE_SIZE 260  /* the remover's "PortDriver" and "InfPath" */
#define DRIVER_PIECE_SIZE 256  /* a piece of an INF line: 255 characters */

/*
 * Read a value, whatever its type, as text: the registry may hand at most
 * size bytes, and text has room for one more so that a value without a
 * terminating NUL ends after the bytes read. 0 when the value is missing
 * or longer than size bytes (text empty).
 */
static int ReadValueText(HKEY key, const char *name, char *text, DWORD size)
{
    DWORD type, count = size;

    ZeroBytes(text, (int)size + 1);
    if (RegQueryValueExA(key, name, NULL, &type, (LPBYTE)text, &count) != ERROR_SUCCESS) {
        text[0] = '\0';
        return 0;
    }
    text[count < size ? count : size] = '\0';
    return 1;
}

static void DropTrailingBlanks(char *text)
{
    int n = lstrlenA(text);

    while (n > 0 && text[n - 1] == ' ')
        text[--n] = '\0';
}

/* OF_EXIST opens the file and closes it again: the handle it returns is
 * closed already and must not be closed a second time (that could close a
 * handle the value was given to since, and a debugger reports it). */
static int FileExists(const char *path)
{
    OFSTRUCT scratch;

    return OpenFile(path, &scratch, OF_EXIST) != HFILE_ERROR;
}

void CollectInstalledDriver(InstalledDriverRecord *record, ChipIndex chip)
{
    char instance[REG_PATH_SIZE];

    ZeroBytes(record, sizeof *record);

    /* The PCI device key holds instance keys; the first one has "Driver". */
    if (FindDeviceKey(&record->Slots[0], chip, "Enum\\PCI"))
        if (FindFirstSubkey(record->Slots[0].DeviceKey, instance, sizeof instance))
            ReadDriverKey(&record->Slots[0], instance);

    if (FindDeviceKey(&record->Slots[1], chip, "Enum\\MF\\CHILD0000"))
        ReadDriverKey(&record->Slots[1], record->Slots[1].DeviceKey);

    if (FindDeviceKey(&record->Slots[2], chip, "Enum\\MF\\CHILD0001"))
        ReadDriverKey(&record->Slots[2], record->Slots[2].DeviceKey);

    FindDriverInf(record);
}

/*
 * The first subkey of the branch whose name holds the chip's device ID
 * anywhere. A name too long for the buffer ends the enumeration there, as
 * any other registry failure does.
 */
int FindDeviceKey(DeviceSlot *slot, ChipIndex chip, const char *branch)
{
    HKEY key;
    char name[REG_PATH_SIZE];
    DWORD size, index;
    int found = 0;

    slot->DeviceKey[0] = '\0';
    slot->DriverKey[0] = '\0';
    slot->Found = 0;

    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, branch, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS)
        return 0;
    for (index = 0;; index++) {
        size = sizeof name;
        if (RegEnumKeyExA(key, index, name, &size, NULL, NULL, NULL, NULL) != ERROR_SUCCESS)
            break;
        if (ContainsText(name, ChipDeviceIds[chip])) {
            found = 1;
            break;
        }
    }
    RegCloseKey(key);

    if (!found || !JoinPath(slot->DeviceKey, sizeof slot->DeviceKey, branch, name))
        return 0;
    slot->Found = 1;
    return 1;
}

int FindFirstSubkey(const char *path, char *out, int size)
{
    HKEY key;
    char name[REG_PATH_SIZE];
    DWORD length = sizeof name;
    int ok;

    if (size > 0)
        out[0] = '\0';
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS)
        return 0;
    ok = RegEnumKeyExA(key, 0, name, &length, NULL, NULL, NULL, NULL) == ERROR_SUCCESS &&
         JoinPath(out, size, path, name);
    RegCloseKey(key);
    return ok;
}

/*
 * The driver key is the class branch and the "Driver" value. A value that
 * would not fit the 128-character path (more than 87 characters) is
 * refused rather than cut, and so is one of nothing but backslashes: it
 * names no key below the class branch, and deleting what it resolves to
 * would take the class branch itself.
 */
int ReadDriverKey(DeviceSlot *slot, const char *path)
{
    HKEY key;
    char driver[SETUP_VALUE_SIZE + 1];
    char scratch[2];
    int ok;

    slot->DriverKey[0] = '\0';
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS)
        return 0;
    ok = ReadValueText(key, "Driver", driver, SETUP_VALUE_SIZE);
    RegCloseKey(key);
    if (!ok)
        return 0;
    DropTrailingBlanks(driver);
    if (NextToken(driver, "\\", scratch, sizeof scratch) == NULL)
        return 0;
    return JoinPath(slot->DriverKey, sizeof slot->DriverKey, CLASS_BRANCH, driver);
}

/* The remover goes on only when the installed port driver is one of ours. */
static int IsOurPortDriver(HKEY key)
{
    char port[REMOVE_VALUE_SIZE + 1];

    if (!ReadValueText(key, "PortDriver", port, REMOVE_VALUE_SIZE))
        return 0;
    return lstrcmpiA(port, "k6407.mpd") == 0 || lstrcmpiA(port, "k6417.mpd") == 0 ||
           lstrcmpiA(port, "kqide.mpd") == 0;
}

/*
 * "InfPath" is a file name inside the Windows INF folders. Anything that
 * could point elsewhere is refused, so that nothing outside those folders
 * is ever tested or deleted.
 */
static int IsBareFileName(const char *name)
{
    return name[0] != '\0' && !ContainsChar(name, '\\') && !ContainsChar(name, '/') &&
           !ContainsChar(name, ':');
}

/*
 * Compose the Windows folder, the INF subfolder and the name into out
 * (REG_PATH_SIZE characters); 1 when that file exists. A composition that
 * does not fit is refused.
 */
static int FindInfIn(char *out, const char *windows, const char *subfolder, const char *name)
{
    if (!JoinPath(out, REG_PATH_SIZE, windows, subfolder) ||
        !JoinPath(out, REG_PATH_SIZE, out, name) || !FileExists(out)) {
        out[0] = '\0';
        return 0;
    }
    return 1;
}

/* Find the INF of the name in inf, else in inf\other; InfFile empty when in neither. */
static void LocateInf(InstalledDriverRecord *record, const char *name)
{
    char windows[REG_PATH_SIZE];
    UINT length;

    /* Windows' own class INF for hard-disk controllers is never recorded. */
    if (!IsBareFileName(name) || lstrcmpiA(name, "mshdc.inf") == 0)
        return;
    length = GetWindowsDirectoryA(windows, sizeof windows);
    if (length == 0 || length >= sizeof windows)
        return;
    if (!FindInfIn(record->InfFile, windows, "inf", name))
        FindInfIn(record->InfFile, windows, "inf\\other", name);
}

/*
 * Only the CHILD0000 device's driver key is consulted. In the remover the
 * port-driver gate may end the process here.
 */
void FindDriverInf(InstalledDriverRecord *record)
{
    HKEY key;
    char name[REMOVE_VALUE_SIZE + 1];
    int remover = ProgramState.Program == PROGRAM_REMOVE;
    int ok;

    record->InfFile[0] = '\0';
    if (record->Slots[1].DriverKey[0] == '\0')
        return;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, record->Slots[1].DriverKey, 0, KEY_ALL_ACCESS, &key) !=
        ERROR_SUCCESS)
        return;

    if (remover && !IsOurPortDriver(key)) {
        RegCloseKey(key);
        ShowError(ProgramState.NothingToRemoveMessage, "Setup Error!");
        ExitProcess(0);
    }

    ok = ReadValueText(key, "InfPath", name, remover ? REMOVE_VALUE_SIZE : SETUP_VALUE_SIZE);
    if (ok)
        LocateInf(record, name);
    RegCloseKey(key);
}

/* Pieces of at most 255 characters: a name split across two is not seen. */
int InfNamesDriver(const char *file, ChipIndex chip)
{
    TextFile f;
    char piece[DRIVER_PIECE_SIZE];
    int named = 0;

    if (!TextOpenRead(&f, file))
        return 0;
    while (!named && TextReadLine(&f, piece, sizeof piece))
        named = ContainsText(piece, ChipDriverFiles[chip]);
    TextClose(&f);
    return named;
}

/* Each key goes with everything below it: slot 0 takes its instance keys. */
void DeleteDeviceKeys(const InstalledDriverRecord *record)
{
    int i;

    for (i = 0; i < 3; i++) {
        if (!record->Slots[i].Found)
            continue;
        DeleteKeyTree(HKEY_LOCAL_MACHINE, record->Slots[i].DeviceKey);
        if (record->Slots[i].DriverKey[0] != '\0')
            DeleteKeyTree(HKEY_LOCAL_MACHINE, record->Slots[i].DriverKey);
    }
}
