/*
 * text.h - string work over fixed buffers: the one tokenizer of the system,
 * bounded copies and joins, and the substring search.
 *
 * Every size counts the terminating NUL. A composition that does not fit is
 * refused: the function returns 0 and leaves the destination empty, never
 * cut short and never overflowed.
 */
#ifndef IDE_TEXT_H
#define IDE_TEXT_H

#include "platform.h"

/* Delimiters of the first-token tests on INF lines. */
#define INF_DELIMITERS " ,=\t\n"
/* Delimiters between the parameters of a command line. */
#define PARAMETER_DELIMITERS " ,\t\n"
/* Delimiters inside one parameter: switch name, value, further pieces. */
#define SWITCH_DELIMITERS " :\t\n"

/*
 * The tokenizer. Skips the delimiters at the start of text, copies the
 * token that follows (up to the next delimiter or the end) into token, and
 * returns a pointer just past it, where the next call may go on. Returns
 * NULL when text holds nothing but delimiters: there is no token, and token
 * is left empty. A token longer than size-1 characters is cut to fit.
 */
const char *NextToken(const char *text, const char *delimiters, char *token, int size);

/* 1 when line has a first token and it equals expected ignoring case. */
int FirstTokenIs(const char *line, const char *expected);

/* 1 when line has a first token (on INF_DELIMITERS). */
int HasToken(const char *line);

/* Copy src into dst of size characters; 0 (dst empty) when it does not fit. */
int CopyText(char *dst, int size, const char *src);

/* Append src to dst of size characters; 0 (dst empty) when it does not fit. */
int AppendText(char *dst, int size, const char *src);

/*
 * Join a folder and a name with one backslash between them: no backslash is
 * added when the folder already ends in one ("A:\" and "k6417.mpd" give
 * "A:\k6417.mpd"). dst may be folder itself. 0 (dst empty) when the
 * result does not fit.
 */
int JoinPath(char *dst, int size, const char *folder, const char *name);

/* 1 when part occurs in text, comparing case-sensitively. */
int ContainsText(const char *text, const char *part);

/* 1 when text holds the character c. */
int ContainsChar(const char *text, char c);

/* Upper-case the letters a to z in place; nothing else changes. */
void UpperCaseAscii(char *text);

/* Set size bytes at p to zero. */
void ZeroBytes(void *p, int size);

#endif /* IDE_TEXT_H */
