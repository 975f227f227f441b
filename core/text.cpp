/*
 * text.cpp - string work over fixed buffers.
 */
#include "text.h"

static int IsDelimiter(char c, const char *delimiters)
{
    for (; *delimiters; delimiters++)
        if (*delimiters == c)
            return 1;
    return 0;
}

const char *NextToken(const char *text, const char *delimiters, char *token, int size)
{
    int n = 0;

    if (size > 0)
        token[0] = '\0';
    if (text == NULL)
        return NULL;
    while (*text && IsDelimiter(*text, delimiters))
        text++;
    if (*text == '\0')
        return NULL;
    while (*text && !IsDelimiter(*text, delimiters)) {
        if (n < size - 1)
            token[n++] = *text;
        text++;
    }
    if (size > 0)
        token[n] = '\0';
    return text;
}

int FirstTokenIs(const char *line, const char *expected)
{
    char token[260];

    /* A token longer than the buffer cannot equal any text we look for. */
    if (NextToken(line, INF_DELIMITERS, token, sizeof token) == NULL)
        return 0;
    if (lstrlenA(token) >= (int)sizeof token - 1)
        return 0;
    return lstrcmpiA(token, expected) == 0;
}

int HasToken(const char *line)
{
    char token[2];
    return NextToken(line, INF_DELIMITERS, token, sizeof token) != NULL;
}

int CopyText(char *dst, int size, const char *src)
{
    if (size <= 0)
        return 0;
    dst[0] = '\0';
    return AppendText(dst, size, src);
}

int AppendText(char *dst, int size, const char *src)
{
    int used, add, i;

    if (size <= 0)
        return 0;
    used = lstrlenA(dst);
    add = lstrlenA(src);
    if (used + add > size - 1) {
        dst[0] = '\0';
        return 0;
    }
    for (i = 0; i <= add; i++)
        dst[used + i] = src[i];
    return 1;
}

int JoinPath(char *dst, int size, const char *folder, const char *name)
{
    int n;

    if (dst != folder && !CopyText(dst, size, folder))
        return 0;
    n = lstrlenA(dst);
    if (n == 0 || dst[n - 1] != '\\')
        if (!AppendText(dst, size, "\\"))
            return 0;
    return AppendText(dst, size, name);
}

int ContainsText(const char *text, const char *part)
{
    int i, j;

    for (i = 0; text[i]; i++) {
        for (j = 0; part[j] && text[i + j] == part[j]; j++)
            ;
        if (part[j] == '\0')
            return 1;
    }
    return part[0] == '\0';
}

int ContainsChar(const char *text, char c)
{
    for (; *text; text++)
        if (*text == c)
            return 1;
    return 0;
}

void UpperCaseAscii(char *text)
{
    for (; *text; text++)
        if (*text >= 'a' && *text <= 'z')
            *text = (char)(*text - 'a' + 'A');
}

void ZeroBytes(void *p, int size)
{
    volatile char *b = (volatile char *)p;
    while (size-- > 0)
        *b++ = 0;
}
