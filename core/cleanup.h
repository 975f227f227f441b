/*
 * cleanup.h - clearing the device enumeration, so that Windows detects the
 * hard-disk controllers afresh at the next start.
 */
#ifndef IDE_CLEANUP_H
#define IDE_CLEANUP_H

void ClearDeviceEnumeration(void);
void ClearMfChildren(void);
void ClearPciHdcDevices(void);
void ClearScsiBranch(void);
void ClearHdcClassKeys(void);

#endif /* IDE_CLEANUP_H */
