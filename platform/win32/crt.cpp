/*
 * crt.cpp - the four memory routines that the compiler may call on its own.
 *
 * Without a C runtime nobody else provides them, yet GCC emits calls to
 * memset and memcpy for zeroed or copied structures and arrays even when
 * the source never names them. This file is compiled with
 * -fno-tree-loop-distribute-patterns so that these loops are not turned
 * back into calls to themselves.
 */
#include <stddef.h>

extern "C" {

void *memset(void *dest, int value, size_t count)
{
    unsigned char *d = (unsigned char *)dest;
    while (count--)
        *d++ = (unsigned char)value;
    return dest;
}

void *memcpy(void *dest, const void *src, size_t count)
{
    unsigned char *d = (unsigned char *)dest;
    const unsigned char *s = (const unsigned char *)src;
    while (count--)
        *d++ = *s++;
    return dest;
}

void *memmove(void *dest, const void *src, size_t count)
{
    unsigned char *d = (unsigned char *)dest;
    const unsigned char *s = (const unsigned char *)src;
    if (d < s) {
        while (count--)
            *d++ = *s++;
    } else {
        d += count;
        s += count;
        while (count--)
            *--d = *--s;
    }
    return dest;
}

int memcmp(const void *a, const void *b, size_t count)
{
    const unsigned char *p = (const unsigned char *)a;
    const unsigned char *q = (const unsigned char *)b;
    for (; count; count--, p++, q++) {
        if (*p != *q)
            return *p < *q ? -1 : 1;
    }
    return 0;
}

}
