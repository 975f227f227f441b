/*
 * textfile.h - text files with the Windows C runtime's text-mode rules,
 * over raw file reads and writes, so that every build reads and writes the
 * same bytes.
 *
 *   reading turns CR LF into "\n" and ends at a Ctrl-Z byte (a lone CR
 *   stays as it is); a line read fills at most size-1 characters up to and
 *   including "\n";
 *   writing turns "\n" into CR LF.
 */
#ifndef IDE_TEXTFILE_H
#define IDE_TEXTFILE_H

#include "platform.h"

#define TEXTFILE_BUFFER 512

struct TextFile {
    HANDLE Handle;
    int Writing;
    int Failed;      /* a read or write failed since the open */
    int AtEnd;       /* end of file or Ctrl-Z seen */
    DWORD Fill;      /* bytes in Buffer */
    DWORD Pos;       /* next byte of Buffer to hand out */
    char Buffer[TEXTFILE_BUFFER];
};

/* Open an existing file for reading. 1 on success. */
int TextOpenRead(TextFile *f, const char *path);

/* Create a file for writing, emptying it if it exists. 1 on success. */
int TextOpenWrite(TextFile *f, const char *path);

/*
 * Read the next line into line (size characters with the NUL): at most
 * size-1 characters, up to and including the newline. Returns 1 when
 * something was read, 0 at the end of the file (line empty).
 */
int TextReadLine(TextFile *f, char *line, int size);

/* Write text, each "\n" as CR LF. 1 when every byte was written. */
int TextWrite(TextFile *f, const char *text);

/*
 * Flush and close. Returns 1 when the file was opened and every read or
 * write since, the flush and the close succeeded.
 */
int TextClose(TextFile *f);

#endif /* IDE_TEXTFILE_H */
