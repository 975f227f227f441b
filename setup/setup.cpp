/*
 * setup.cpp - the installer's entry point and main sequence.
 */
#include "setup.h"
#include "classinf.h"
#include "cleanup.h"
#include "cmdline.h"
#include "completion.h"
#include "stale.h"
#include "text.h"

int WINAPI SetupWinMain(HINSTANCE instance, HINSTANCE previous, LPSTR tail, int show)
{
    ProgramState.Program = PROGRAM_SETUP;
    if (!StoreCommandLine(tail))
        return 0;
    FinishWithRestart(RunSetup());
    return 0;
}

RestartChoice RunSetup(void)
{
    RestartChoice choice;

    if (!ParseCommandLine())
        ExitProcess(0);
    choice = RESTART_NO_DIALOG;
    SelectVariantTexts();

    if (MessageBoxA(NULL, "Are you sure to set up the BUS MASTER IDE driver?", ProgramState.Title,
                    MB_YESNO) != IDYES)
        ExitProcess(0);

    /* The class INF is replaced only by a complete patch; an installed
     * driver ends the program inside PatchClassInf. */
    if (PatchClassInf())
        CommitClassInf();

    /* The earlier driver goes before the new one is copied. When a
     * controller was found, the completion dialog's choice is taken here. */
    if (RemoveStaleDriver())
        choice = ShowCompleteDialog();

    CopyDriverFiles();
    ClearDeviceEnumeration();
    return choice;
}
