/*
 * classinf.cpp - the class INF patch and its commit.
 *
 * The patch copies the class INF line by line into the work file. Lines
 * are read 254 characters at a time, so a longer line arrives in pieces
 * and each piece is judged as a line of its own; every line that reaches
 * the work file is written exactly as it was read. A line is judged by its
 * first token, compared ignoring case.
 *
 * Three modes: copy mode, the start; section mode, from the first
 * [ORV_HDC] header to the section's first line without a token, where the
 * driver's sections go in; and the line after a held-back model line of
 * this driver, which tells an earlier installation of it (the model line
 * followed directly by the primary channel's line) from a model line of
 * its own (dropped: the driver's lines replace it).
 */
#include "classinf.h"
#include "inftexts.h"
#include "text.h"

#define LINE_SIZE 255

#define ORV_HDC_HEADER "[ORV_HDC]"
#define CONTROL_FLAGS_HEADER "[ControlFlags]"
#define STRINGS_HEADER "[Strings]"

enum PatchMode { COPY_MODE, SECTION_MODE, AFTER_MODEL_LINE };

struct ClassInfPatch {
    TextFile ClassInf;              /* read */
    TextFile WorkFile;              /* written */
    const DriverInfTexts *Texts;    /* of the current variant */
    int Inserted;                   /* WriteDriverSections has run */
    int VendorInfRead;              /* ... and read the vendor INF */
    char HeldLine[LINE_SIZE];       /* the model line, held back */
};

/* The Windows folder joined with name. 0 (path empty) when it does not fit
 * in MAX_PATH characters. */
static int InfPath(char *path, const char *name)
{
    UINT n = GetWindowsDirectoryA(path, MAX_PATH);

    if (n == 0 || n >= MAX_PATH) {
        path[0] = '\0';
        return 0;
    }
    return JoinPath(path, MAX_PATH, path, name);
}

static void InsertDriverSections(ClassInfPatch *p)
{
    p->VendorInfRead = WriteDriverSections(&p->WorkFile);
    p->Inserted = 1;
}

/* The driver is in the class INF already: installing it again would add
 * its lines twice. Nothing has been changed but the work file. */
[[noreturn]] static void StopAlreadyInstalled(ClassInfPatch *p)
{
    ShowError(ALREADY_INSTALLED_MESSAGE, ALREADY_INSTALLED_CAPTION);
    TextClose(&p->WorkFile);
    TextClose(&p->ClassInf);
    ExitProcess(0);
}

/* Copy mode: write the line; after a [ControlFlags] or [Strings] header
 * add the driver's lines; the first [ORV_HDC] leads into section mode. */
static PatchMode JudgeInCopyMode(ClassInfPatch *p, const char *line)
{
    TextWrite(&p->WorkFile, line);
    if (FirstTokenIs(line, ORV_HDC_HEADER))
        return p->Inserted ? COPY_MODE : SECTION_MODE;
    if (FirstTokenIs(line, CONTROL_FLAGS_HEADER))
        TextWrite(&p->WorkFile, p->Texts->ControlFlagsText);
    else if (FirstTokenIs(line, STRINGS_HEADER))
        TextWrite(&p->WorkFile, p->Texts->StringsText);
    return COPY_MODE;
}

/* Section mode: headers are ordinary lines here. The first line without a
 * token takes the driver's sections in its place (the driver's model lines
 * end with an empty line of their own); a model line of the driver is held
 * back until the next line shows what it is. */
static PatchMode JudgeInSection(ClassInfPatch *p, const char *line)
{
    if (!HasToken(line)) {
        InsertDriverSections(p);
        return COPY_MODE;
    }
    if (FirstTokenIs(line, p->Texts->ModelKey)) {
        CopyText(p->HeldLine, sizeof p->HeldLine, line);
        return AFTER_MODEL_LINE;
    }
    TextWrite(&p->WorkFile, line);
    return SECTION_MODE;
}

/* The line after the held model line; the model line is dropped unless
 * the class INF ends here (see PatchClassInf). */
static PatchMode JudgeAfterModelLine(ClassInfPatch *p, const char *line)
{
    if (!HasToken(line)) {
        InsertDriverSections(p);
        TextWrite(&p->WorkFile, line);
        return COPY_MODE;
    }
    if (FirstTokenIs(line, p->Texts->PrimaryKey))
        StopAlreadyInstalled(p);
    TextWrite(&p->WorkFile, line);
    return SECTION_MODE;
}

static PatchMode JudgeLine(ClassInfPatch *p, PatchMode mode, const char *line)
{
    if (mode == SECTION_MODE)
        return JudgeInSection(p, line);
    if (mode == AFTER_MODEL_LINE)
        return JudgeAfterModelLine(p, line);
    return JudgeInCopyMode(p, line);
}

int PatchClassInf(void)
{
    ClassInfPatch p;
    char classInf[MAX_PATH], workFile[MAX_PATH], line[LINE_SIZE];
    PatchMode mode = COPY_MODE;
    int written, read;

    ZeroBytes(&p, sizeof p);
    p.Texts = InfTextsFor(ProgramState.Variant);
    if (!InfPath(classInf, CLASS_INF_NAME) || !InfPath(workFile, WORK_FILE_NAME))
        return 0;
    if (!TextOpenRead(&p.ClassInf, classInf))
        return 0;
    if (!TextOpenWrite(&p.WorkFile, workFile)) {
        TextClose(&p.ClassInf);
        return 0;
    }

    while (TextReadLine(&p.ClassInf, line, sizeof line))
        mode = JudgeLine(&p, mode, line);
    if (mode == AFTER_MODEL_LINE)
        TextWrite(&p.WorkFile, p.HeldLine);

    written = TextClose(&p.WorkFile);
    read = TextClose(&p.ClassInf);
    /* Only a complete work file with the driver's sections, taken from a
     * vendor INF that was there, may replace the class INF. */
    return p.Inserted && p.VendorInfRead && written && read;
}

int CommitClassInf(void)
{
    char classInf[MAX_PATH], workFile[MAX_PATH], backup[MAX_PATH];

    if (!InfPath(classInf, CLASS_INF_NAME) || !InfPath(workFile, WORK_FILE_NAME) ||
        !InfPath(backup, BACKUP_NAME))
        return 0;
    /* Without a backup the class INF as it was would be lost. */
    if (!CopyFileA(classInf, backup, FALSE))
        return 0;
    if (!CopyFileA(workFile, classInf, FALSE))
        return 0;
    DeleteFileA(workFile);
    return 1;
}
