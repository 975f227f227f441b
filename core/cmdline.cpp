/*
 * cmdline.cpp - the command line of both programs and the texts of the
 * driver variant it names.
 */
#include "cmdline.h"
#include "text.h"

#define MAX_PARAMETERS 20
#define PARAMETER_SIZE 260

static const char FormatErrorText[] = "Command line parameter format error! ";
static const char FormatCaption[] = "SET UP ERROR!";
static const char NoDriverMessage[] = "Driver Name Not Found! ";

int StoreCommandLine(const char *tail)
{
    if (tail == NULL)
        tail = "";
    if (!CopyText(ProgramState.CommandLine, sizeof ProgramState.CommandLine, tail)) {
        ShowError(FormatErrorText, FormatCaption);
        return 0;
    }
    return 1;
}

/* Read one parameter, which begins with "/". Returns 1 when it is a D switch. */
static int ReadSwitch(const char *parameter)
{
    char upper[PARAMETER_SIZE];
    char name[PARAMETER_SIZE];
    char value[PARAMETER_SIZE];
    const char *rest;

    CopyText(upper, sizeof upper, parameter);
    UpperCaseAscii(upper);
    rest = NextToken(upper, SWITCH_DELIMITERS, name, sizeof name);
    if (rest == NULL || name[0] != '/')
        return 0;
    NextToken(rest, SWITCH_DELIMITERS, value, sizeof value);

    if (lstrcmpA(name + 1, "D") == 0) {
        if (lstrcmpA(value, "K6417") == 0)
            ProgramState.Variant = K6417;
        else if (lstrcmpA(value, "K6407") == 0)
            ProgramState.Variant = K6407;
        else if (lstrcmpA(value, "KQNEO") == 0)
            ProgramState.Variant = KQNEO;
        return 1;
    }
    if (ProgramState.Program == PROGRAM_REMOVE && lstrcmpA(name + 1, "PRELOAD") == 0)
        ProgramState.Preload = 1;
    return 0;
}

int ParseCommandLine(void)
{
    static char parameters[MAX_PARAMETERS][PARAMETER_SIZE];
    char work[260];
    char token[PARAMETER_SIZE];
    const char *at;
    int count = 0, i, sawDriver = 0;

    CopyText(work, sizeof work, ProgramState.CommandLine);
    for (at = NextToken(work, PARAMETER_DELIMITERS, token, sizeof token); at != NULL;
         at = NextToken(at, PARAMETER_DELIMITERS, token, sizeof token)) {
        if (count == MAX_PARAMETERS)
            return 0;
        CopyText(parameters[count++], PARAMETER_SIZE, token);
    }

    for (i = 0; i < count; i++) {
        if (parameters[i][0] != '/') {
            ShowError(FormatErrorText, FormatCaption);
            return 0;
        }
        if (ReadSwitch(parameters[i]))
            sawDriver = 1;
    }

    if (!sawDriver) {
        ShowError(NoDriverMessage,
                  ProgramState.Program == PROGRAM_REMOVE ? "UNINSTALL ERROR!" : "SET UP ERROR!");
        ExitProcess(0);
    }
    return 1;
}

void SelectVariantTexts(void)
{
    int orv = ProgramState.Variant == K6407 || ProgramState.Variant == K6417;
    int remover = ProgramState.Program == PROGRAM_REMOVE;

    if (remover)
        CopyText(ProgramState.Title, sizeof ProgramState.Title,
                 orv ? "Orv IDE Driver Uninstall!" : "KQ Neo IDE Driver Uninstall!");
    else
        CopyText(ProgramState.Title, sizeof ProgramState.Title,
                 orv ? "Orv IDE Driver Setup" : "KQ Neo IDE Driver Setup");
    CopyText(ProgramState.NotFoundMessage, sizeof ProgramState.NotFoundMessage,
             orv ? "Orv IDE controller not found!" : "KQ Neo IDE controller not found!");
    if (remover)
        CopyText(ProgramState.NothingToRemoveMessage, sizeof ProgramState.NothingToRemoveMessage,
                 orv ? "There is no ORV IDE driver to remove!"
                     : "There is no KQ Neo IDE driver to remove!");
}
