/*
 * cleanup.cpp - clearing the device enumeration.
 *
 * Before the restart both programs delete what Windows has recorded about
 * its hard-disk controllers: the children of the multi-function
 * enumerator, the PCI device keys of class "hdc", the SCSI branch and the
 * driver keys of the class "hdc". Windows then detects the controllers
 * afresh and installs them from the class INF as it now stands.
 *
 * Every step collects the names of the keys to go into a fixed list and
 * deletes them only after its enumeration has stopped, so that a delete
 * never shifts the index of a read still to come. A list that fills up
 * does not end the work: the step deletes what it holds and goes on with
 * another pass, starting at the first index that the deletes did not clear.
 * The result is that of one unlimited list: every key that qualifies goes,
 * and a name that does not fit in 128 characters still ends the
 * enumeration, leaving it and every later key in place.
 */
#include "cleanup.h"
#include "text.h"

#define NAME_SIZE 128
#define PATH_SIZE 128
#define CHILD_LIST 10   /* subkeys of a CHILD000n key, and of the class key */
#define DEVICE_LIST 21  /* device keys read under Enum\PCI in one pass */
#define MATCH_LIST 19   /* matching device keys deleted in one pass */

#define PCI_KEY "Enum\\PCI"
#define CLASS_KEY "System\\CurrentControlSet\\Services\\Class\\hdc"

/*
 * Read the subkey names of key from index first on into names, at most
 * capacity of them. Stops at the first read that fails: no more subkeys,
 * or a name that does not fit. Returns the number of names read.
 */
static int CollectSubkeys(HKEY key, int first, char names[][NAME_SIZE], int capacity)
{
    DWORD size;
    int count;

    for (count = 0; count < capacity; count++) {
        size = NAME_SIZE;
        if (RegEnumKeyExA(key, (DWORD)(first + count), names[count], &size, NULL, NULL, NULL,
                          NULL) != ERROR_SUCCESS)
            break;
    }
    return count;
}

/* Delete the named subkeys of key in order; returns how many went. */
static int DeleteSubkeys(HKEY key, char names[][NAME_SIZE], int count)
{
    int i, deleted = 0;

    for (i = 0; i < count; i++)
        if (DeleteKeyTree(key, names[i]) == ERROR_SUCCESS)
            deleted++;
    return deleted;
}

/*
 * Delete every subkey of key, with everything below it, in passes of
 * CHILD_LIST names. A key whose delete failed stays in front of the ones
 * not read yet, so the next pass starts past all of them.
 */
static void ClearSubkeys(HKEY key)
{
    char names[CHILD_LIST][NAME_SIZE];
    int first = 0, count;

    do {
        count = CollectSubkeys(key, first, names, CHILD_LIST);
        first += count - DeleteSubkeys(key, names, count);
    } while (count == CHILD_LIST);
}

/* Open a key below HKEY_LOCAL_MACHINE, clear its subkeys, close it. */
static void ClearSubkeysOf(const char *path)
{
    HKEY key;

    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS)
        return;
    ClearSubkeys(key);
    RegCloseKey(key);
}

void ClearMfChildren(void)
{
    ClearSubkeysOf("Enum\\MF\\CHILD0000");
    ClearSubkeysOf("Enum\\MF\\CHILD0001");
}

/*
 * 1 when the first instance of the device key device under Enum\PCI has
 * the "Class" value "hdc" (case-sensitive). A device that can't be opened,
 * has no instance, whose path does not fit, or whose "Class" is missing or
 * longer than 128 bytes, does not match.
 */
static int IsHdcDevice(const char *device)
{
    char path[PATH_SIZE];
    char instance[NAME_SIZE];
    char value[NAME_SIZE + 1]; /* one more byte: the text always ends */
    HKEY deviceKey, instanceKey;
    DWORD size;
    LONG found;
    int match = 0;

    if (!CopyText(path, sizeof path, PCI_KEY "\\") || !AppendText(path, sizeof path, device))
        return 0;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, KEY_ALL_ACCESS, &deviceKey) != ERROR_SUCCESS)
        return 0;
    size = sizeof instance;
    found = RegEnumKeyExA(deviceKey, 0, instance, &size, NULL, NULL, NULL, NULL);
    if (found == ERROR_SUCCESS && AppendText(path, sizeof path, "\\") &&
        AppendText(path, sizeof path, instance) &&
        RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, KEY_ALL_ACCESS, &instanceKey) == ERROR_SUCCESS) {
        ZeroBytes(value, sizeof value);
        size = NAME_SIZE;
        if (RegQueryValueExA(instanceKey, "Class", NULL, NULL, (LPBYTE)value, &size) ==
                ERROR_SUCCESS &&
            lstrcmpA(value, "hdc") == 0)
            match = 1;
        RegCloseKey(instanceKey);
    }
    RegCloseKey(deviceKey);
    return match;
}

/*
 * One pass over the device keys of the open Enum\PCI key from index first:
 * read up to DEVICE_LIST names, pick the matching ones (up to MATCH_LIST;
 * a device that finds the list full waits for the next pass), then delete
 * them. Sets *checked to the number of devices decided and returns the
 * number deleted; *more is 0 once the enumeration has ended.
 */
static int ClearPciPass(HKEY pci, int first, int *checked, int *more)
{
    char devices[DEVICE_LIST][NAME_SIZE];
    char matches[MATCH_LIST][NAME_SIZE];
    int count, matched = 0, i;

    count = CollectSubkeys(pci, first, devices, DEVICE_LIST);
    for (i = 0; i < count; i++) {
        if (IsHdcDevice(devices[i])) {
            if (matched == MATCH_LIST)
                break;
            CopyText(matches[matched++], NAME_SIZE, devices[i]);
        }
    }
    *checked = i;
    *more = count == DEVICE_LIST || i < count;
    return DeleteSubkeys(pci, matches, matched);
}

void ClearPciHdcDevices(void)
{
    HKEY pci;
    int first = 0, checked, more, deleted;

    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, PCI_KEY, 0, KEY_ALL_ACCESS, &pci) != ERROR_SUCCESS)
        return;
    do {
        deleted = ClearPciPass(pci, first, &checked, &more);
        /* The devices this pass kept now sit in front of the unread ones. */
        first += checked - deleted;
    } while (more);
    RegCloseKey(pci);
}

void ClearScsiBranch(void)
{
    HKEY key;

    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Enum", 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS)
        return;
    DeleteKeyTree(key, "SCSI");
    RegCloseKey(key);
}

void ClearHdcClassKeys(void)
{
    ClearSubkeysOf(CLASS_KEY);
}

void ClearDeviceEnumeration(void)
{
    ClearMfChildren();
    ClearPciHdcDevices();
    ClearScsiBranch();
    ClearHdcClassKeys();
}
