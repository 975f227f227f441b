/*
 * state.h - the program-wide variables and the small types that the parts
 * of both programs share.
 */
#ifndef IDE_STATE_H
#define IDE_STATE_H

#include "platform.h"

/* Which driver is installed or removed: the value of the D switch. */
typedef int DriverVariant;
#define K6407 0
#define K6417 1
#define KQNEO 10

/* What the completion dialog chose, or that none was shown. */
typedef int RestartChoice;
#define RESTART_NOW 3
#define RESTART_LATER 4
#define RESTART_NO_DIALOG 5

/* The probe's result: 0 K6407, 1 K6417, -1 none found. */
typedef int ChipIndex;
#define CHIP_NONE (-1)

/* Which program is running; the entry point sets it. */
#define PROGRAM_SETUP 0
#define PROGRAM_REMOVE 1

struct ProgramStateData {
    RestartChoice Choice;
    char NotFoundMessage[64];
    char DriverFile[32];           /* installer */
    char CommandLine[260];
    char Title[64];
    char NothingToRemoveMessage[128]; /* remover */
    DriverVariant Variant;
    int Preload;                   /* remover */
    int Program;                   /* PROGRAM_SETUP or PROGRAM_REMOVE */
};

/* One instance per process, zero at start, never freed. */
extern ProgramStateData ProgramState;

/* Show an error in a message box with no owner and an OK button. */
void ShowError(const char *text, const char *caption);

#endif /* IDE_STATE_H */
