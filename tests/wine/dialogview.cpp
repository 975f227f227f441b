/*
 * dialogview.cpp - shows the completion dialog of an executable from the
 * executable's own "DIALOG_COMPLETE" resource, as Windows draws it, and
 * saves a picture of the window as a 24-bit BMP.
 *
 *   dialogview.exe PROGRAM.EXE OUT.BMP
 *
 * The dialog opens with the first radio button selected, as the programs'
 * own dialog procedure does at WM_INITDIALOG. Under Wine the controller is
 * never found, so the programs themselves never reach their dialog. A
 * Win32 helper for the tests and the documentation, not part of the product.
 */
#include <windows.h>
#include <stdio.h>

static const char *OutPath;
static int Saved;

static int SaveWindow(HWND w, const char *path)
{
    RECT r;
    GetWindowRect(w, &r);
    int width = r.right - r.left, height = r.bottom - r.top;
    HDC screen = GetDC(NULL);
    HDC mem = CreateCompatibleDC(screen);
    BITMAPINFO bi;
    ZeroMemory(&bi, sizeof bi);
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = width;
    bi.bmiHeader.biHeight = height;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 24;
    bi.bmiHeader.biCompression = BI_RGB;
    void *bits = NULL;
    HBITMAP dib = CreateDIBSection(screen, &bi, DIB_RGB_COLORS, &bits, NULL, 0);
    HGDIOBJ old = SelectObject(mem, dib);
    BitBlt(mem, 0, 0, width, height, screen, r.left, r.top, SRCCOPY);
    GdiFlush();
    DWORD stride = ((DWORD)width * 3 + 3) & ~3u, size = stride * height;
    BITMAPFILEHEADER fh;
    ZeroMemory(&fh, sizeof fh);
    fh.bfType = 0x4D42;
    fh.bfOffBits = sizeof fh + sizeof bi.bmiHeader;
    fh.bfSize = fh.bfOffBits + size;
    bi.bmiHeader.biSizeImage = size;
    FILE *f = fopen(path, "wb");
    int ok = 0;
    if (f) {
        ok = fwrite(&fh, sizeof fh, 1, f) == 1 && fwrite(&bi.bmiHeader, sizeof bi.bmiHeader, 1, f) == 1 &&
             fwrite(bits, 1, size, f) == size;
        fclose(f);
    }
    SelectObject(mem, old);
    DeleteObject(dib);
    DeleteDC(mem);
    ReleaseDC(NULL, screen);
    return ok;
}

static INT_PTR CALLBACK ViewProc(HWND w, UINT msg, WPARAM wp, LPARAM lp)
{
    switch (msg) {
    case WM_INITDIALOG:
        CheckRadioButton(w, 1025, 1026, 1025);
        SetTimer(w, 1, 400, NULL);
        return TRUE;
    case WM_TIMER:
        KillTimer(w, 1);
        if (wp == 1) {
            /* No window manager runs under Xvfb: make the dialog the active
             * window, as it is on a desktop, then take the picture. */
            SetForegroundWindow(w);
            SetActiveWindow(w);
            SendMessageA(w, WM_NCACTIVATE, TRUE, 0);
            RedrawWindow(w, NULL, NULL, RDW_FRAME | RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
            SetTimer(w, 2, 400, NULL);
            return TRUE;
        }
        Saved = SaveWindow(w, OutPath);
        EndDialog(w, 1);
        return TRUE;
    }
    return FALSE;
}

int main(int argc, char **argv)
{
    if (argc != 3) {
        fprintf(stderr, "usage: dialogview PROGRAM.EXE OUT.BMP\n");
        return 2;
    }
    OutPath = argv[2];
    HMODULE exe = LoadLibraryExA(argv[1], NULL, LOAD_LIBRARY_AS_DATAFILE);
    if (!exe) {
        fprintf(stderr, "dialogview: cannot load %s\n", argv[1]);
        return 1;
    }
    /* The programs store the template under language 1028. */
    HRSRC res = FindResourceExA(exe, RT_DIALOG, "DIALOG_COMPLETE", 1028);
    if (!res) res = FindResourceA(exe, "DIALOG_COMPLETE", RT_DIALOG);
    if (!res) {
        fprintf(stderr, "dialogview: %s has no DIALOG_COMPLETE\n", argv[1]);
        return 1;
    }
    LPCDLGTEMPLATEA tmpl = (LPCDLGTEMPLATEA)LockResource(LoadResource(exe, res));
    DialogBoxIndirectParamA(GetModuleHandleA(NULL), tmpl, NULL, ViewProc, 0);
    if (!Saved) {
        fprintf(stderr, "dialogview: the dialog was not shown or not saved\n");
        return 1;
    }
    return 0;
}
