/*
 * probe.cpp - find the controller by its marker device on PCI bus 0.
 *
 * The controllers are not looked for by their own IDs: each board carries a
 * marker device of the same maker at function 0 of some device on bus 0,
 * and that marker tells which controller the board has.
 */
#include "probe.h"

#define PCI_ENABLE 0x80000000u
#define PCI_DEVICE_STEP 0x800u      /* bits 15-11: the device number */
#define PCI_DEVICE_COUNT 32
#define MARKER_VENDOR 0x1E6Bu
#define MARKER_K6407 0x3C811E6Bu
#define MARKER_K6417 0x3C911E6Bu

/* Register 0 (device ID and vendor ID) of function 0 of a device on bus 0. */
static DWORD ReadDeviceId(int device)
{
    PciWriteAddress(PCI_ENABLE + (DWORD)device * PCI_DEVICE_STEP);
    return PciReadData();
}

/*
 * Every device number is read, even after a match, so that with both
 * markers present the higher device number decides; the address port keeps
 * the address of device 31 afterwards.
 */
ChipIndex ProbeController(void)
{
    ChipIndex chip = CHIP_NONE;
    DWORD id;
    int device;

    for (device = 0; device < PCI_DEVICE_COUNT; device++) {
        id = ReadDeviceId(device);
        if ((id & 0xFFFFu) != MARKER_VENDOR)
            continue;
        if (id == MARKER_K6407)
            chip = 0;
        else if (id == MARKER_K6417)
            chip = 1;
    }
    return chip;
}
