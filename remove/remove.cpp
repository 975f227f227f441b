/*
 * remove.cpp - the remover's entry point and main sequence.
 */
#include "remove.h"
#include "cleanup.h"
#include "cmdline.h"
#include "completion.h"

int WINAPI RemoveWinMain(HINSTANCE instance, HINSTANCE previous, LPSTR tail, int show)
{
    ProgramState.Program = PROGRAM_REMOVE;
    if (!StoreCommandLine(tail))
        return 0;
    FinishWithRestart(RunRemove());
    return 0;
}

RestartChoice RunRemove(void)
{
    RestartChoice choice;

    if (!ParseCommandLine())
        ExitProcess(0);
    choice = RESTART_NO_DIALOG;
    SelectVariantTexts();

    if (MessageBoxA(NULL, "Are you sure to remove the BUS MASTER IDE driver?", ProgramState.Title,
                    MB_YESNO) != IDYES)
        ExitProcess(0);

    RestoreClassInf();
    if (RemoveDriver())
        choice = ShowCompleteDialog();
    ClearDeviceEnumeration();
    RemoveProductKey();
    return choice;
}
