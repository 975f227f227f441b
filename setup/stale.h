/*
 * stale.h - remove what an earlier installation of a driver for the probed
 * controller left behind, before the new driver is copied into place.
 */
#ifndef IDE_STALE_H
#define IDE_STALE_H

#include "record.h"

/*
 * Probe the controller and delete the earlier driver's OEM INF, driver file
 * and keys. 1 when a controller was found and the removal ran; 0 when none
 * was found (the not-found message has been shown, nothing was touched).
 */
int RemoveStaleDriver(void);

void DeleteStaleDriver(const InstalledDriverRecord *record, ChipIndex chip);

#endif /* IDE_STALE_H */
