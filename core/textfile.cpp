/*
 * textfile.cpp - text-mode files over CreateFileA, ReadFile and WriteFile.
 */
#include "textfile.h"
#include "text.h"

#define CTRL_Z 0x1A

static void TextReset(TextFile *f, HANDLE h, int writing)
{
    ZeroBytes(f, sizeof *f);
    f->Handle = h;
    f->Writing = writing;
}

int TextOpenRead(TextFile *f, const char *path)
{
    HANDLE h = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, NULL);
    TextReset(f, h, 0);
    return h != INVALID_HANDLE_VALUE;
}

int TextOpenWrite(TextFile *f, const char *path)
{
    HANDLE h = CreateFileA(path, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, NULL);
    TextReset(f, h, 1);
    return h != INVALID_HANDLE_VALUE;
}

/* Refill the buffer; 0 when no byte more can be had. */
static int TextFill(TextFile *f)
{
    DWORD got = 0;

    if (f->AtEnd || f->Handle == INVALID_HANDLE_VALUE)
        return 0;
    if (!ReadFile(f->Handle, f->Buffer, TEXTFILE_BUFFER, &got, NULL)) {
        f->Failed = 1;
        got = 0;
    }
    f->Fill = got;
    f->Pos = 0;
    if (got == 0) {
        f->AtEnd = 1;
        return 0;
    }
    return 1;
}

/* The next raw byte, or -1 at the end. */
static int TextPeekByte(TextFile *f)
{
    if (f->Pos >= f->Fill && !TextFill(f))
        return -1;
    return (unsigned char)f->Buffer[f->Pos];
}

/* The next character after the text-mode translation, or -1 at the end. */
static int TextGetChar(TextFile *f)
{
    int c = TextPeekByte(f);

    if (c < 0)
        return -1;
    if (c == CTRL_Z) {
        f->AtEnd = 1;
        f->Fill = f->Pos = 0;
        return -1;
    }
    f->Pos++;
    if (c == '\r' && TextPeekByte(f) == '\n') {
        f->Pos++;
        return '\n';
    }
    return c;
}

int TextReadLine(TextFile *f, char *line, int size)
{
    int n = 0, c;

    if (size <= 0)
        return 0;
    while (n < size - 1) {
        c = TextGetChar(f);
        if (c < 0)
            break;
        line[n++] = (char)c;
        if (c == '\n')
            break;
    }
    line[n] = '\0';
    return n > 0;
}

/* Write out what the buffer holds. */
static int TextFlush(TextFile *f)
{
    DWORD done = 0;

    if (f->Fill == 0)
        return 1;
    if (!WriteFile(f->Handle, f->Buffer, f->Fill, &done, NULL) || done != f->Fill)
        f->Failed = 1;
    f->Fill = 0;
    return !f->Failed;
}

static void TextPutByte(TextFile *f, char c)
{
    if (f->Fill >= TEXTFILE_BUFFER)
        TextFlush(f);
    f->Buffer[f->Fill++] = c;
}

int TextWrite(TextFile *f, const char *text)
{
    if (f->Handle == INVALID_HANDLE_VALUE || !f->Writing) {
        f->Failed = 1;
        return 0;
    }
    for (; *text; text++) {
        if (*text == '\n')
            TextPutByte(f, '\r');
        TextPutByte(f, *text);
    }
    return !f->Failed;
}

int TextClose(TextFile *f)
{
    int ok;

    if (f->Handle == INVALID_HANDLE_VALUE)
        return 0;
    if (f->Writing)
        TextFlush(f);
    ok = !f->Failed;
    if (!CloseHandle(f->Handle))
        ok = 0;
    f->Handle = INVALID_HANDLE_VALUE;
    return ok;
}
