/*
 * tail.h - where the arguments start in a Windows command line.
 *
 * Header-only so that the host tests check the same code the start file
 * runs.
 */
#ifndef IDE_TAIL_H
#define IDE_TAIL_H

/* The tail after the program name and the blanks and tabs that follow it,
 * as the C runtime's start-up code hands it to WinMain. A name that starts
 * with a double quote runs to the next double quote, so a quoted path may
 * hold blanks; an unquoted one ends at the first blank or tab. */
static inline char *CommandLineTail(char *line)
{
    if (*line == '"') {
        line++;
        while (*line && *line != '"')
            line++;
        if (*line == '"')
            line++;
    } else {
        while (*line && *line != ' ' && *line != '\t')
            line++;
    }
    while (*line == ' ' || *line == '\t')
        line++;
    return line;
}

#endif /* IDE_TAIL_H */
