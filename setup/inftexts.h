/*
 * inftexts.h - every text that the installer adds to the class INF, one
 * record per driver variant, and WriteDriverSections, which writes the
 * driver's model lines and install sections into the patched class INF.
 */
#ifndef IDE_INFTEXTS_H
#define IDE_INFTEXTS_H

#include "state.h"
#include "textfile.h"

/* The install section copied from the vendor INF: the first one only. */
#define HARDWARE_SECTION_HEADER "[DUAL_MASTER_IDE.RegHW]"
/* The argument sections copied from the vendor INF: every one. */
#define ARGUMENT_SECTION_HEADER "[DrvArg.Reg]"

/*
 * One variant's texts. Each text is written as it stands; the multi-line
 * ones end every row with "\n", and the trailing blanks, the tab and the
 * odd spellings ("DeviecDesc", "ESDI_Master_AddReg") are what the driver's
 * earlier installations wrote and what the remover looks for.
 */
struct DriverInfTexts {
    const char *DriverFileName;   /* copied into iosubsys */
    const char *VendorInfName;    /* on the driver disk, beside the installer */
    const char *ModelKey;         /* first token of PciModelLine */
    const char *PrimaryKey;       /* first token of PrimaryModelLine */
    const char *PciModelLine;
    const char *PrimaryModelLine;
    const char *SecondaryModelLine; /* ends with an empty line */
    const char *DualMasterText;
    const char *StandardMfText;
    const char *MasterIdeText;
    const char *EsdiText;
    const char *IdePropText;
    const char *ControlFlagsText; /* after the class INF's [ControlFlags] */
    const char *StringsText;      /* after the class INF's [Strings] */
};

/* The record of a variant; an unknown value gets the K6407 record, as an
 * unnamed driver does. */
const DriverInfTexts *InfTextsFor(DriverVariant variant);

/*
 * Write the current variant's model lines and install sections to out, at
 * its current position, and store the variant's DriverFileName in
 * ProgramState.DriverFile. The fixed texts are written first, then the
 * hardware section and the argument sections copied from the vendor INF.
 * Returns 1 when the vendor INF was opened and read to its end both times,
 * 0 when it could not be (the fixed texts are written all the same). Write
 * failures are left to out, whose TextClose reports them.
 */
int WriteDriverSections(TextFile *out);

#endif /* IDE_INFTEXTS_H */
