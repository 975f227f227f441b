/*
 * remove.h - the remover: entry point, main sequence and its stages.
 */
#ifndef IDE_REMOVE_H
#define IDE_REMOVE_H

#include "state.h"

/* The remover's Windows GUI entry function. */
int WINAPI RemoveWinMain(HINSTANCE instance, HINSTANCE previous, LPSTR tail, int show);

RestartChoice RunRemove(void);

/* 1 when the class INF's [ORV_HDC] section holds the driver's model line. */
int IsDriverInstalled(void);
/* Copy mshdc.ing back over mshdc.inf when the driver's patch is in it. */
void RestoreClassInf(void);

/* Probe, collect and delete; 0 (after the message) when no controller. */
int RemoveDriver(void);
struct InstalledDriverRecord;
void DeleteInstalledDriver(const InstalledDriverRecord *record, ChipIndex chip);
/* Delete the product key of the variant; the parent key stays. */
void RemoveProductKey(void);

#endif /* IDE_REMOVE_H */
