/*
 * win9x.h - which family of Windows the program runs on.
 */
#ifndef IDE_WIN9X_H
#define IDE_WIN9X_H

#include "platform.h"

/* Windows 95 and 98 set the top bit of GetVersion; the NT family clears
 * it. The two differ in what a user-mode program may do with I/O ports and
 * in what RegDeleteKeyA deletes. */
static inline int OnWindows9x(void)
{
    return (GetVersion() & 0x80000000u) != 0;
}

#endif /* IDE_WIN9X_H */
