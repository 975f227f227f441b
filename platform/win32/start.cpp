/*
 * start.cpp - the process entry point of a program built without a C
 * runtime.
 *
 * The loader jumps here with nothing set up. We find the command-line tail
 * the way the C runtime's start-up code would, hand it to the program's
 * WinMain-shaped function and end the process with its result.
 *
 * Compiled once per program: IDE_WINMAIN names the function to call
 * (SetupWinMain or RemoveWinMain) and IDE_WINMAIN_HEADER its header.
 */
#include "platform.h"
#include "tail.h"
#include IDE_WINMAIN_HEADER

/* The loader gives no guarantee of more than 4-byte stack alignment, so
 * the stack is aligned here once for the compiler's code below. */
extern "C" __attribute__((force_align_arg_pointer, noreturn)) void ProgramStart(void)
{
    LPSTR tail = CommandLineTail(GetCommandLineA());
    int result = IDE_WINMAIN(GetModuleHandleA(NULL), NULL, tail, SW_SHOWDEFAULT);
    ExitProcess((UINT)result);
}
