/*
 * setup.h - the installer: entry point, main sequence and its stages.
 */
#ifndef IDE_SETUP_H
#define IDE_SETUP_H

#include "state.h"
#include "textfile.h"

/* The installer's Windows GUI entry function. */
int WINAPI SetupWinMain(HINSTANCE instance, HINSTANCE previous, LPSTR tail, int show);

RestartChoice RunSetup(void);
int CopyDriverFiles(void);

#endif /* IDE_SETUP_H */
