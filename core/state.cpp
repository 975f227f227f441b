/*
 * state.cpp - the program-wide variables.
 */
#include "state.h"

ProgramStateData ProgramState;

void ShowError(const char *text, const char *caption)
{
    MessageBoxA(NULL, text, caption, MB_OK);
}
