/*
 * regtree.cpp - deleting a registry key with everything below it.
 *
 * RegDeleteKeyA on Windows 95/98 takes the whole tree; on the NT family it
 * refuses a key that still has subkeys, so there the subkeys go first,
 * deepest first.
 */
#include "platform.h"
#include "win9x.h"

/* Registry keys nest far less deeply than this in practice; the bound
 * only keeps a damaged or looping registry from exhausting the stack. */
#define MAX_TREE_DEPTH 32

/* A key name has at most 255 characters. */
#define KEY_NAME_SIZE 260

static LONG DeleteSubtree(HKEY parent, LPCSTR name, int depth)
{
    HKEY key;
    char child[KEY_NAME_SIZE];
    DWORD size;

    if (depth < MAX_TREE_DEPTH &&
        RegOpenKeyExA(parent, name, 0, KEY_ALL_ACCESS, &key) == ERROR_SUCCESS) {
        /* Always index 0: each deletion shifts the rest down. A child that
         * cannot be deleted ends the loop rather than being met again. */
        for (;;) {
            size = KEY_NAME_SIZE;
            if (RegEnumKeyExA(key, 0, child, &size, NULL, NULL, NULL, NULL) != ERROR_SUCCESS)
                break;
            if (DeleteSubtree(key, child, depth + 1) != ERROR_SUCCESS)
                break;
        }
        RegCloseKey(key);
    }
    return RegDeleteKeyA(parent, name);
}

LONG DeleteKeyTree(HKEY hKey, LPCSTR lpSubKey)
{
    if (OnWindows9x())
        return RegDeleteKeyA(hKey, lpSubKey);
    return DeleteSubtree(hKey, lpSubKey, 0);
}
