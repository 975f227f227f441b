/*
 * inftexts.cpp - the driver's INF texts per variant, and the writer of the
 * driver's model lines and install sections.
 *
 * The texts are data: one record per variant, every row as the driver has
 * always written it. Variants 1 and 10 share the PCI model line, the
 * DUAL_MASTER_IDE sections and the ControlFlags rows (the KQ Neo edition is
 * a K6417 under another name); every variant shares the texts that do not
 * name the chip.
 */
#include "inftexts.h"
#include "text.h"

/* --- Texts of every variant --- */

static const char StandardMfText[] =
    "[StandardMF.Reg]\n"
    "HKR,,DevLoader,,*CONFIGMG\n"
    "HKR,,Enumerator,,*CONFIGMG\n"
    "HKR,,CMDrivFlags,1,03,00,00,00\n"
    "\n";

static const char MasterIdeText[] =
    "[MASTER_IDE]\n"
    "AddReg = ESDI_MASTER_AddReg \n"
    " \n"
    "[MASTER_IDE.HW] \n"
    "AddReg = ESDI_FIFO_OK_AddReg \n"
    " \n";

static const char IdePropText[] =
    "[IDEProp.Reg] \n"
    "HKR,,EnumPropPages,,\"sysclass.dll,IDEEnumPropPages\" \n"
    "\n";

static const char PrimaryKey[] = "%MF\\MASTERPRIMARY.DeviecDesc%";

/* --- K6407 --- */

static const DriverInfTexts K6407Texts = {
    "k6407.mpd",
    "orvhdd.inf",
    "%PCI\\VEN_1E6B&DEV_6407.DeviceDesc%",
    PrimaryKey,

    /* PciModelLine */
    "%PCI\\VEN_1E6B&DEV_6407.DeviceDesc%  = DUAL_MASTER_IDE   , PCI\\VEN_1E6B&DEV_6407\n",
    /* PrimaryModelLine */
    "%MF\\MASTERPRIMARY.DeviecDesc%       = MASTER_IDE        , MF\\MASTERPRIMARY\n",
    /* SecondaryModelLine */
    "%MF\\MASTERSECONDARY.DeviecDesc%     = MASTER_IDE        , MF\\MASTERSECONDARY\n\n",

    /* DualMasterText: two blanks end its second row */
    "[DUAL_MASTER_IDE]\n"
    "AddReg=StandardMF.Reg,IDEProp.Reg,DrvArg.Reg  \n"
    " \n"
    "[DUAL_MASTER_IDE.HW] \n"
    "AddReg=DUAL_MASTER_IDE.RegHW \n"
    " \n",

    StandardMfText,
    MasterIdeText,

    /* EsdiText */
    "[ESDI_FIFO_OK_AddReg]\n"
    "HKR,,IDENoSerialize,3,01 \n"
    " \n"
    "[ESDI_Master_AddReg] \n"
    "HKR,,DriverDesc,,\"VARNO Bus Master IDE Miniport Driver\" \n"
    "HKR,,DevLoader,,*IOS \n"
    "HKR,,PortDriver,,K6407.mpd\n"
    "\n",

    IdePropText,

    /* ControlFlagsText */
    "CopyFilesOnly =PCI\\VEN_1E6B&DEV_6407 \n"
    "ExcludeFromSelect=MF\\MASTERPRIMARY,MF\\MASTERSECONDARY \n",

    /* StringsText: a tab ends its second row */
    "MF\\MASTERPRIMARY.DeviecDesc                     = \"Primary IDE controller (bus master)\" \n"
    "MF\\MASTERSECONDARY.DeviecDesc                   = \"Secondary IDE controller (bus master)\"\t\n"
    "PCI\\VEN_1E6B&DEV_6407.DeviceDesc                = \"VARNO Bus Master PCI to IDE Controller\" \n",
};

/* --- K6417, and what the KQ Neo edition shares with it --- */

static const char K6417ModelKey[] = "%PCI\\VEN_1E6B&DEV_6417.DeviceDesc%";

static const char K6417PciModelLine[] =
    "%PCI\\VEN_1E6B&DEV_6417.DeviceDesc%  = DUAL_MASTER_IDE   , PCI\\VEN_1E6B&DEV_6417\n";

static const char K6417DualMasterText[] =
    "[DUAL_MASTER_IDE]\n"
    "AddReg=StandardMF.Reg,IDEProp.Reg,DrvArg.Reg \n"
    " \n"
    "[DUAL_MASTER_IDE.HW] \n"
    "AddReg=DUAL_MASTER_IDE.RegHW \n"
    " \n";

static const char K6417ControlFlagsText[] =
    "CopyFilesOnly           =PCI\\VEN_1E6B&DEV_6417 \n"
    "ExcludeFromSelect       =MF\\K6417PRIMARY,MF\\K6417SECONDARY \n";

static const DriverInfTexts K6417Texts = {
    "k6417.mpd",
    "orvhdd.inf",
    K6417ModelKey,
    PrimaryKey,

    K6417PciModelLine,
    /* PrimaryModelLine */
    "%MF\\MASTERPRIMARY.DeviecDesc%       = MASTER_IDE        , MF\\K6417PRIMARY\n",
    /* SecondaryModelLine */
    "%MF\\MASTERSECONDARY.DeviecDesc%     = MASTER_IDE        , MF\\K6417SECONDARY\n\n",

    K6417DualMasterText,
    StandardMfText,
    MasterIdeText,

    /* EsdiText */
    "[ESDI_FIFO_OK_AddReg]\n"
    "HKR,,IDENoSerialize,3,01\n"
    "\n"
    "[ESDI_Master_AddReg]\n"
    "HKR,,DriverDesc,,\"Orv Bus Master IDE Miniport Driver\"\n"
    "HKR,,DevLoader,,*IOS\n"
    "HKR,,PortDriver,,K6417.mpd\n"
    "\n",

    IdePropText,
    K6417ControlFlagsText,

    /* StringsText: the COMPANY row alone has no trailing blank */
    "COMPANY                          = \"Orvanic\"\n"
    "PROVIDER                         = \"Orvanic\" \n"
    "MF\\MASTERPRIMARY.DeviecDesc      = \"Orv Primary IDE controller (bus master)\" \n"
    "MF\\MASTERSECONDARY.DeviecDesc    = \"Orv Secondary IDE controller (bus master)\" \n"
    "PCI\\VEN_1E6B&DEV_6417.DeviceDesc = \"Orv Bus Master PCI to IDE Controller\" \n",
};

/* --- KQ Neo --- */

static const DriverInfTexts KqNeoTexts = {
    "kqide.mpd",
    "kqhdd.inf",
    K6417ModelKey,
    PrimaryKey,

    K6417PciModelLine,
    /* PrimaryModelLine */
    "%MF\\MASTERPRIMARY.DeviecDesc%       = MASTER_IDE        , MF\\KQNEOPRIMARY\n",
    /* SecondaryModelLine */
    "%MF\\MASTERSECONDARY.DeviecDesc%     = MASTER_IDE        , MF\\KQNEOSECONDARY\n\n",

    K6417DualMasterText,
    StandardMfText,
    MasterIdeText,

    /* EsdiText */
    "[ESDI_FIFO_OK_AddReg]\n"
    "HKR,,IDENoSerialize,3,01\n"
    "\n"
    "[ESDI_Master_AddReg]\n"
    "HKR,,DriverDesc,,\"KQ Neo Bus Master IDE Miniport Driver\"\n"
    "HKR,,DevLoader,,*IOS\n"
    "HKR,,PortDriver,,kqide.mpd\n"
    "\n",

    IdePropText,
    /* the K6417's rows, hardware IDs included */
    K6417ControlFlagsText,

    /* StringsText */
    "COMPANY                          = \"KQ Neo\" \n"
    "PROVIDER                         = \"KQ Neo\" \n"
    "MF\\MASTERPRIMARY.DeviecDesc      = \"KQ Neo Primary IDE controller (bus master)\" \n"
    "MF\\MASTERSECONDARY.DeviecDesc    = \"KQ Neo Secondary IDE controller (bus master)\" \n"
    "PCI\\VEN_1E6B&DEV_6417.DeviceDesc = \"KQ Neo Bus Master PCI to IDE Controller\" \n",
};

const DriverInfTexts *InfTextsFor(DriverVariant variant)
{
    if (variant == K6417)
        return &K6417Texts;
    if (variant == KQNEO)
        return &KqNeoTexts;
    return &K6407Texts;
}

/* --- Writing the driver's sections --- */

/*
 * Write a line read from the vendor INF unchanged. *open tells whether it
 * left its line unended: a piece of a long line, or a last line without a
 * line end.
 */
static void CopyLine(TextFile *out, const char *line, int *open)
{
    int n = lstrlenA(line);

    TextWrite(out, line);
    *open = n > 0 && line[n - 1] != '\n';
}

/*
 * A copied section always ends on a line end, so that whatever is written
 * after it starts a line of its own even when the vendor INF's last line
 * has none.
 */
static void EndOpenLine(TextFile *out, int *open)
{
    if (*open)
        TextWrite(out, "\n");
    *open = 0;
}

/* A line whose first character after blanks and tabs is "[" and that
 * holds the hardware section's header anywhere (case-sensitive). */
static int OpensHardwareSection(const char *line)
{
    while (*line == ' ' || *line == '\t')
        line++;
    return *line == '[' && ContainsText(line, HARDWARE_SECTION_HEADER);
}

/*
 * First pass: the first hardware section, from its header up to the next
 * line that holds a "[" anywhere, empty lines and comments included.
 * 1 when the vendor INF was opened and read without error.
 */
static int CopyHardwareSection(TextFile *out, const char *vendorInf)
{
    TextFile in;
    char line[255];
    int open = 0;

    if (!TextOpenRead(&in, vendorInf))
        return 0;
    while (TextReadLine(&in, line, sizeof line)) {
        if (!OpensHardwareSection(line))
            continue;
        CopyLine(out, line, &open);
        while (TextReadLine(&in, line, sizeof line) && !ContainsChar(line, '['))
            CopyLine(out, line, &open);
        break;
    }
    EndOpenLine(out, &open);
    return TextClose(&in);
}

/*
 * Second pass: every argument section, from a line whose first token is the
 * header (any case) up to the first line without a token, which is written
 * as an empty line. A section that the end of the file cuts short is
 * closed with an empty line as well, so every argument section comes out
 * alike. 1 when the vendor INF was opened and read without error.
 */
static int CopyArgumentSections(TextFile *out, const char *vendorInf)
{
    TextFile in;
    char line[255];
    int open = 0;

    if (!TextOpenRead(&in, vendorInf))
        return 0;
    while (TextReadLine(&in, line, sizeof line)) {
        if (!FirstTokenIs(line, ARGUMENT_SECTION_HEADER))
            continue;
        CopyLine(out, line, &open);
        while (TextReadLine(&in, line, sizeof line) && HasToken(line))
            CopyLine(out, line, &open);
        EndOpenLine(out, &open);
        TextWrite(out, "\n");
    }
    return TextClose(&in);
}

static void WriteFixedTexts(TextFile *out, const DriverInfTexts *t)
{
    TextWrite(out, t->PciModelLine);
    TextWrite(out, t->PrimaryModelLine);
    TextWrite(out, t->SecondaryModelLine);
    TextWrite(out, t->DualMasterText);
    TextWrite(out, t->StandardMfText);
    TextWrite(out, t->MasterIdeText);
    TextWrite(out, t->EsdiText);
    TextWrite(out, t->IdePropText);
}

int WriteDriverSections(TextFile *out)
{
    const DriverInfTexts *t = InfTextsFor(ProgramState.Variant);
    int hardware, arguments;

    CopyText(ProgramState.DriverFile, sizeof ProgramState.DriverFile, t->DriverFileName);
    WriteFixedTexts(out, t);
    /* The vendor INF lies beside the installer, on the driver disk: it is
     * opened by its bare name, in the current folder. */
    hardware = CopyHardwareSection(out, t->VendorInfName);
    arguments = CopyArgumentSections(out, t->VendorInfName);
    return hardware && arguments;
}
