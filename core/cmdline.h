/*
 * cmdline.h - the command line and the driver variant's texts.
 */
#ifndef IDE_CMDLINE_H
#define IDE_CMDLINE_H

#include "state.h"

/*
 * Copy the command-line tail into ProgramState.CommandLine. A tail of more
 * than 259 characters does not fit: it is refused with the format message
 * and the result is 0 (the entry point then ends with exit code 0).
 */
int StoreCommandLine(const char *tail);

/*
 * Split CommandLine into parameters and read the D switch (and, in the
 * remover, PRELOAD). 1 accepted; 0 refused (more than 20 parameters, or one
 * that does not begin with "/", after the format message). A command line
 * without a D switch does not return: the message, then exit code 0.
 */
int ParseCommandLine(void);

/* Set Title, NotFoundMessage (and NothingToRemoveMessage) for Variant. */
void SelectVariantTexts(void);

#endif /* IDE_CMDLINE_H */
