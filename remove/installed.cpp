/*
 * installed.cpp - is the driver's patch in the class INF, and putting the
 * class INF back as it was before the installer patched it.
 */
#include "remove.h"
#include "text.h"
#include "textfile.h"

#define LINE_SIZE 256
/* A read takes at most 254 characters, the newline included. */
#define LINE_READ 255

/* The first token of the primary channel's model line that the installer writes. */
static const char PrimaryModelKey[] = "%MF\\MASTERPRIMARY.DeviecDesc%";

/* Windows folder followed by tail, in a 260-character buffer; 0 when it does not fit. */
static int WindowsPath(char *path, const char *tail)
{
    ZeroBytes(path, 260);
    if (GetWindowsDirectoryA(path, 260) >= 260) {
        path[0] = '\0';
        return 0;
    }
    return AppendText(path, 260, tail);
}

int IsDriverInstalled(void)
{
    char path[260];
    char line[LINE_SIZE];
    TextFile f;
    int found = 0;

    if (!WindowsPath(path, "\\inf\\mshdc.inf") || !TextOpenRead(&f, path))
        return 0;

    while (TextReadLine(&f, line, LINE_READ))
        if (FirstTokenIs(line, "[ORV_HDC]"))
            break;

    /* Only the section's model lines count: its first token-less line ends it. */
    while (TextReadLine(&f, line, LINE_READ)) {
        if (!HasToken(line))
            break;
        if (FirstTokenIs(line, PrimaryModelKey)) {
            found = 1;
            break;
        }
    }
    TextClose(&f);
    return found;
}

void RestoreClassInf(void)
{
    char classInf[260], backup[260];

    if (!WindowsPath(classInf, "\\inf\\mshdc.inf") || !WindowsPath(backup, "\\inf\\mshdc.ing"))
        return;
    if (IsDriverInstalled())
        CopyFileA(backup, classInf, FALSE);
}
