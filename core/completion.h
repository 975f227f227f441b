/*
 * completion.h - the completion dialog and the restart of Windows.
 */
#ifndef IDE_COMPLETION_H
#define IDE_COMPLETION_H

#include "state.h"

#define IDC_RESTART_NOW 1025
#define IDC_RESTART_LATER 1026
#define IDC_FINISH 1027

RestartChoice ShowCompleteDialog(void);
INT_PTR CALLBACK CompleteDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
void FinishWithRestart(RestartChoice choice);
void RestartWindows(void);

#endif /* IDE_COMPLETION_H */
