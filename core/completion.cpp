/*
 * completion.cpp - the completion dialog and the restart of Windows.
 *
 * The dialog only records when to restart; the main sequence carries on
 * after it and hands the choice back to the entry point, which restarts
 * through FinishWithRestart. The dialog offers no way out of the restart:
 * Finish is its only exit, and the cancel command is left unhandled.
 */
#include "completion.h"
#include "text.h"

#define RESTART_DELAY_MS 30000
#define TOKEN_ACCESS (TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY)
#define WINDOWS_9X_BIT 0x80000000u

RestartChoice ShowCompleteDialog(void)
{
    /* A dialog that can't be shown leaves Choice as it was. */
    DialogBoxParamA(GetModuleHandleA(NULL), "DIALOG_COMPLETE", NULL, CompleteDialogProc, 0);
    return ProgramState.Choice;
}

static void SelectRestart(HWND dialog, RestartChoice choice, int button)
{
    ProgramState.Choice = choice;
    CheckRadioButton(dialog, IDC_RESTART_NOW, IDC_RESTART_LATER, button);
}

INT_PTR CALLBACK CompleteDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_INITDIALOG) {
        SelectRestart(dialog, RESTART_NOW, IDC_RESTART_NOW);
        return TRUE;
    }
    if (message != WM_COMMAND)
        return FALSE;
    /* The whole wParam: only a click (notification 0) of these controls. */
    switch (wParam) {
    case IDC_RESTART_NOW:
        SelectRestart(dialog, RESTART_NOW, IDC_RESTART_NOW);
        return TRUE;
    case IDC_RESTART_LATER:
        SelectRestart(dialog, RESTART_LATER, IDC_RESTART_LATER);
        return TRUE;
    case IDC_FINISH:
        EndDialog(dialog, 1);
        return TRUE;
    }
    return FALSE;
}

/* Show "format" filled with the last error code, under the default caption. */
static void ReportLastError(const char *format)
{
    char text[100];

    wsprintfA(text, format, (int)GetLastError());
    MessageBoxA(NULL, text, NULL, MB_OK);
}

/*
 * The NT family restarts only for a process holding the shutdown
 * privilege. A token that can't be opened still leads to the adjustment,
 * which then fails and says so as well.
 */
static void EnableShutdownPrivilege(void)
{
    HANDLE token = NULL;
    TOKEN_PRIVILEGES privileges;

    OutputDebugStringA("Setting token");
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ACCESS, &token)) {
        ReportLastError("OpenProcessToken Error #%d");
        token = NULL;
    }
    ZeroBytes(&privileges, sizeof privileges);
    LookupPrivilegeValueA(NULL, SE_SHUTDOWN_NAME, &privileges.Privileges[0].Luid);
    privileges.PrivilegeCount = 1;
    privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    if (!AdjustTokenPrivileges(token, FALSE, &privileges, 0, NULL, NULL))
        ReportLastError("AdjustTokenPrivileges Error #%d");
}

void RestartWindows(void)
{
    if ((GetVersion() & WINDOWS_9X_BIT) == 0)
        EnableShutdownPrivilege();
    if (!ExitWindowsEx(EWX_REBOOT, 0))
        ReportLastError("Error ExitWindows Error #%d");
}

void FinishWithRestart(RestartChoice choice)
{
    if (choice != RESTART_NOW)
        Sleep(RESTART_DELAY_MS);
    RestartWindows();
}
