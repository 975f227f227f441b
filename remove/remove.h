/*
 * remove.h - the remover: entry point, main sequence and its stages.
 */
#ifndef IDE_REMOVE_H
#define IDE_REMOVE_H

#include "state.h"

/* The remover's Windows GUI entry function. */
int WINAPI RemoveWinMain(HINSTANCE instance, HINSTANCE previous, LPSTR tail, int show);

RestartChoice RunRemove(void);

#endif /* IDE_REMOVE_H */
