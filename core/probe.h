/*
 * probe.h - which of the two controllers the machine holds, from the PCI
 * configuration space of bus 0.
 */
#ifndef IDE_PROBE_H
#define IDE_PROBE_H

#include "state.h"

/* 0 K6407, 1 K6417, CHIP_NONE when neither marker device answers. */
ChipIndex ProbeController(void);

#endif /* IDE_PROBE_H */
