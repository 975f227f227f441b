/*
 * clicker.cpp - runs one program under Wine as its debugger, answers its
 * message boxes and its completion dialog the way the host programs'
 * --answers list does, and writes what happened as the host programs'
 * event lines, so that the two transcripts can be compared line by line.
 *
 *   clicker.exe [--answers LIST] [--log FILE] [--cwd DIR] [--timeout SECONDS]
 *               [--pci BB:DD.F=VVVV:DDDD,...] --run "COMMAND LINE"
 *
 * Events: message boxes and the dialog come from the windows themselves
 * (text, caption, visible buttons; BM_CLICK on the chosen ones); debug
 * output from the debug events; Sleep and ExitWindowsEx from one-shot
 * breakpoints on the program's own calls (a call from Wine's own code does
 * not count); the exit code or an unhandled exception from the end of the
 * process.
 *
 * With --pci the clicker also plays the PCI host bridge of a Windows 9x PC
 * (configuration mechanism #1, as the host programs' machine.ini [pci]
 * lists it): the program's own 32-bit "out" to 0xCF8 and "in" from 0xCFC
 * fault in user mode under Wine and reach the debugger first, which answers
 * them and steps over the instruction. Without it, Wine's own handling
 * answers every read with all ones, as a PC without the devices does. A Win32 helper for the tests, not part of the product: it uses
 * the C runtime freely.
 */
#include <windows.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

static FILE *Log;
static char Answers[64][16];
static int AnswerCount, NextAnswer;

static HANDLE Process;
static DWORD ProcessId;
static DWORD ImageBase, ImageEnd;

struct ThreadEntry { DWORD id; HANDLE handle; };
static ThreadEntry Threads[64];
static int ThreadCount;

// A planted breakpoint: a watched entry point, or the one-shot return
// breakpoint of a call that is being watched.
enum { WATCH_SLEEP = 1, WATCH_RESTART = 2, RETURN_OF_RESTART = 3 };
struct Breakpoint { DWORD address; BYTE saved; int kind; int armed; };
static Breakpoint Breakpoints[8];
static int BreakpointCount;
static DWORD RestartFlags;
static DWORD RearmAddress[64]; // per thread slot: entry breakpoint to put back after a single step

// The emulated PCI functions: configuration address bits 23-8 (bus,
// device, function) and the register 0 dword (vendor | device << 16).
struct PciFunction { DWORD location; DWORD ids; };
static PciFunction Pci[64];
static int PciCount, EmulatePci;
static DWORD PciLatch = 0;

static HWND Handled[256];
static int HandledCount;

static void Event(const char *line)
{
    fprintf(Log, "%s\n", line);
    fflush(Log);
}

// Quotes as the host programs do: \\ \" and bytes below 0x20 escaped.
static void Quote(char *out, size_t size, const char *text)
{
    size_t n = 0;
    out[n++] = '"';
    for (const unsigned char *p = (const unsigned char *)text; *p && n + 6 < size; p++) {
        if (*p == '\\' || *p == '"') { out[n++] = '\\'; out[n++] = (char)*p; }
        else if (*p == '\t') { out[n++] = '\\'; out[n++] = 't'; }
        else if (*p == '\n') { out[n++] = '\\'; out[n++] = 'n'; }
        else if (*p == '\r') { out[n++] = '\\'; out[n++] = 'r'; }
        else if (*p < 0x20) n += sprintf(out + n, "\\x%02X", *p);
        else out[n++] = (char)*p;
    }
    out[n++] = '"';
    out[n] = 0;
}

static const char *TakeAnswer(void)
{
    return NextAnswer < AnswerCount ? Answers[NextAnswer++] : NULL;
}

static void SplitAnswers(const char *list)
{
    char copy[1024];
    strncpy(copy, list, sizeof copy - 1);
    copy[sizeof copy - 1] = 0;
    for (char *t = strtok(copy, ","); t && AnswerCount < 64; t = strtok(NULL, ",")) {
        if (!strcmp(t, "now") || !strcmp(t, "later")) {
            strcpy(Answers[AnswerCount++], t[0] == 'n' ? "1025" : "1026");
            if (AnswerCount < 64) strcpy(Answers[AnswerCount++], "1027");
        } else {
            strncpy(Answers[AnswerCount], t, 15);
            AnswerCount++;
        }
    }
}

static HANDLE ThreadHandle(DWORD id, int *slot)
{
    for (int i = 0; i < ThreadCount; i++)
        if (Threads[i].id == id) { if (slot) *slot = i; return Threads[i].handle; }
    return NULL;
}

static int Plant(DWORD address, int kind)
{
    BYTE saved, cc = 0xCC;
    SIZE_T n;
    if (BreakpointCount == 8) return 0;
    if (!ReadProcessMemory(Process, (LPCVOID)address, &saved, 1, &n)) return 0;
    if (!WriteProcessMemory(Process, (LPVOID)address, &cc, 1, &n)) return 0;
    FlushInstructionCache(Process, (LPCVOID)address, 1);
    Breakpoint b = { address, saved, kind, 1 };
    Breakpoints[BreakpointCount++] = b;
    return 1;
}

static void SetByte(DWORD address, BYTE value)
{
    SIZE_T n;
    WriteProcessMemory(Process, (LPVOID)address, &value, 1, &n);
    FlushInstructionCache(Process, (LPCVOID)address, 1);
}

// Watches a system function at the address it has in this process too,
// once the first bytes show the same code at the same place.
static void Watch(const char *module, const char *name, int kind)
{
    BYTE ours[16], theirs[16];
    SIZE_T n;
    FARPROC f = GetProcAddress(GetModuleHandleA(module), name);
    if (!f) return;
    memcpy(ours, (const void *)f, sizeof ours);
    if (!ReadProcessMemory(Process, (LPCVOID)f, theirs, sizeof theirs, &n) || memcmp(ours, theirs, sizeof ours)) {
        fprintf(stderr, "clicker: %s!%s is not at the same place in the program\n", module, name);
        return;
    }
    Plant((DWORD)f, kind);
}

static DWORD ReadDword(DWORD address)
{
    DWORD v = 0;
    SIZE_T n;
    ReadProcessMemory(Process, (LPCVOID)address, &v, 4, &n);
    return v;
}

static int FromProgram(DWORD returnAddress)
{
    return returnAddress >= ImageBase && returnAddress < ImageEnd;
}

// A breakpoint exception: ours, or the loader's first one (plant then).
static DWORD OnBreakpoint(DEBUG_EVENT *ev)
{
    static int first = 1;
    DWORD at = (DWORD)ev->u.Exception.ExceptionRecord.ExceptionAddress;
    int slot = -1;
    HANDLE thread = ThreadHandle(ev->dwThreadId, &slot);
    for (int i = 0; i < BreakpointCount; i++) {
        Breakpoint *b = &Breakpoints[i];
        if (b->address != at || !b->armed || !thread) continue;
        CONTEXT c;
        c.ContextFlags = CONTEXT_FULL;
        GetThreadContext(thread, &c);
        DWORD ret = ReadDword(c.Esp);
        char line[128];
        if (b->kind == WATCH_SLEEP && FromProgram(ret)) {
            sprintf(line, "sleep ms=%lu", (unsigned long)ReadDword(c.Esp + 4));
            Event(line);
        } else if (b->kind == WATCH_RESTART && FromProgram(ret)) {
            RestartFlags = ReadDword(c.Esp + 4);
            Plant(ret, RETURN_OF_RESTART);
        } else if (b->kind == RETURN_OF_RESTART) {
            sprintf(line, "restart flags=%lu result=%ld", (unsigned long)RestartFlags, (long)c.Eax);
            Event(line);
        }
        SetByte(b->address, b->saved);
        b->armed = 0;
        c.Eip = at;
        if (b->kind != RETURN_OF_RESTART && slot >= 0) {
            c.EFlags |= 0x100; // single step, then put the breakpoint back
            RearmAddress[slot] = at;
        }
        SetThreadContext(thread, &c);
        return DBG_CONTINUE;
    }
    if (first) {
        first = 0;
        Watch("kernel32.dll", "Sleep", WATCH_SLEEP);
        Watch("user32.dll", "ExitWindowsEx", WATCH_RESTART);
        return DBG_CONTINUE;
    }
    return DBG_EXCEPTION_NOT_HANDLED;
}

static DWORD OnSingleStep(DEBUG_EVENT *ev)
{
    int slot = -1;
    ThreadHandle(ev->dwThreadId, &slot);
    if (slot < 0 || !RearmAddress[slot]) return DBG_EXCEPTION_NOT_HANDLED;
    for (int i = 0; i < BreakpointCount; i++)
        if (Breakpoints[i].address == RearmAddress[slot] && !Breakpoints[i].armed) {
            SetByte(Breakpoints[i].address, 0xCC);
            Breakpoints[i].armed = 1;
        }
    RearmAddress[slot] = 0;
    return DBG_CONTINUE;
}

static void ParsePci(const char *list)
{
    char copy[1024];
    strncpy(copy, list, sizeof copy - 1);
    copy[sizeof copy - 1] = 0;
    EmulatePci = 1;
    for (char *t = strtok(copy, ","); t && PciCount < 64; t = strtok(NULL, ",")) {
        unsigned bus, dev, fn, vendor, device;
        if (sscanf(t, " %x:%x.%x = %x:%x", &bus, &dev, &fn, &vendor, &device) != 5) {
            fprintf(stderr, "clicker: bad PCI function %s\n", t);
            continue;
        }
        Pci[PciCount].location = (bus & 0xFF) << 16 | (dev & 0x1F) << 11 | (fn & 7) << 8;
        Pci[PciCount].ids = (vendor & 0xFFFF) | (device & 0xFFFF) << 16;
        PciCount++;
    }
}

// A read of the data port: register 0 of the latched function, when the
// latch is enabled and the function is listed; all ones otherwise.
static DWORD PciData(void)
{
    if (!(PciLatch & 0x80000000u) || (PciLatch & 0xFC) != 0) return 0xFFFFFFFFu;
    for (int i = 0; i < PciCount; i++)
        if (Pci[i].location == (PciLatch & 0x00FFFF00u)) return Pci[i].ids;
    return 0xFFFFFFFFu;
}

// A faulting port instruction of the program: answer it and step over it.
static DWORD OnPortInstruction(DEBUG_EVENT *ev)
{
    HANDLE thread = ThreadHandle(ev->dwThreadId, NULL);
    BYTE code[2];
    SIZE_T n;
    CONTEXT c;
    if (!EmulatePci || !thread) return DBG_EXCEPTION_NOT_HANDLED;
    c.ContextFlags = CONTEXT_FULL;
    GetThreadContext(thread, &c);
    if (!ReadProcessMemory(Process, (LPCVOID)c.Eip, code, 2, &n)) return DBG_EXCEPTION_NOT_HANDLED;
    WORD port = (WORD)c.Edx;
    if (code[0] == 0xEF) { // out dx, eax
        if (port == 0xCF8) PciLatch = c.Eax;
        c.Eip += 1;
    } else if (code[0] == 0xED) { // in eax, dx
        c.Eax = port == 0xCFC ? PciData() : 0xFFFFFFFFu;
        c.Eip += 1;
    } else if (code[0] == 0xEE) { // out dx, al
        c.Eip += 1;
    } else if (code[0] == 0xEC) { // in al, dx
        c.Eax |= 0xFF;
        c.Eip += 1;
    } else if (code[0] == 0x66 && (code[1] == 0xEF || code[1] == 0xED)) { // 16-bit forms
        if (code[1] == 0xED) c.Eax |= 0xFFFF;
        c.Eip += 2;
    } else {
        return DBG_EXCEPTION_NOT_HANDLED;
    }
    SetThreadContext(thread, &c);
    return DBG_CONTINUE;
}

static void OnDebugString(DEBUG_EVENT *ev)
{
    char text[1024], line[2200];
    SIZE_T n = 0, len = ev->u.DebugString.nDebugStringLength;
    if (len >= sizeof text) len = sizeof text - 1;
    if (ev->u.DebugString.fUnicode) return;
    ReadProcessMemory(Process, ev->u.DebugString.lpDebugStringData, text, len, &n);
    text[n] = 0;
    strcpy(line, "debug-output text=");
    Quote(line + strlen(line), sizeof line - strlen(line), text);
    Event(line);
}

static int WasHandled(HWND w)
{
    for (int i = 0; i < HandledCount; i++)
        if (Handled[i] == w) return 1;
    return 0;
}

static void Click(HWND dialog, int id)
{
    HWND button = GetDlgItem(dialog, id);
    if (button) PostMessageA(button, BM_CLICK, 0, 0);
}

static int Visible(HWND dialog, int id)
{
    HWND c = GetDlgItem(dialog, id);
    return c && IsWindowVisible(c);
}

static void AnswerMessageBox(HWND box)
{
    static const struct { int id; const char *word; } order[] = {
        {IDOK, "ok"}, {IDABORT, "abort"}, {IDRETRY, "retry"}, {IDIGNORE, "ignore"},
        {IDYES, "yes"}, {IDNO, "no"}, {IDCANCEL, "cancel"}};
    char caption[512], text[1024], buttons[64] = "", line[4096];
    int first = 0, chosen = 0;
    GetWindowTextA(box, caption, sizeof caption);
    GetDlgItemTextA(box, 0xFFFF, text, sizeof text);
    for (unsigned i = 0; i < sizeof order / sizeof order[0]; i++)
        if (Visible(box, order[i].id)) {
            if (buttons[0]) strcat(buttons, "-");
            strcat(buttons, order[i].word);
            if (!first) first = order[i].id;
        }
    const char *answer = TakeAnswer();
    for (unsigned i = 0; answer && i < sizeof order / sizeof order[0]; i++)
        if (!strcmp(answer, order[i].word) && Visible(box, order[i].id)) chosen = order[i].id;
    if (!chosen) chosen = first ? first : IDOK;
    const char *word = "ok";
    for (unsigned i = 0; i < sizeof order / sizeof order[0]; i++)
        if (order[i].id == chosen) word = order[i].word;
    strcpy(line, "message-box caption=");
    Quote(line + strlen(line), 1024, caption);
    strcat(line, " text=");
    Quote(line + strlen(line), 2048, text);
    sprintf(line + strlen(line), " buttons=%s answer=%s", buttons, word);
    Event(line);
    Click(box, chosen);
}

// The completion dialog: clicks until one on 1027 ("&Finish"), which is
// added when the answers run out.
static void AnswerDialog(HWND dialog)
{
    char caption[512], clicks[256] = "", line[1024];
    const char *a;
    GetWindowTextA(dialog, caption, sizeof caption);
    for (;;) {
        a = TakeAnswer();
        if (!a) a = "1027";
        if (clicks[0]) strcat(clicks, ",");
        strcat(clicks, a);
        if (!strcmp(a, "cancel")) PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
        else Click(dialog, atoi(a));
        if (!strcmp(a, "1027")) break;
    }
    strcpy(line, "dialog caption=");
    Quote(line + strlen(line), 600, caption);
    sprintf(line + strlen(line), " clicks=%s", clicks);
    Event(line);
}

static BOOL CALLBACK VisitWindow(HWND w, LPARAM unused)
{
    DWORD pid = 0;
    char cls[64];
    GetWindowThreadProcessId(w, &pid);
    if (pid != ProcessId || !IsWindowVisible(w) || WasHandled(w)) return TRUE;
    GetClassNameA(w, cls, sizeof cls);
    if (strcmp(cls, "#32770")) return TRUE;
    if (HandledCount < 256) Handled[HandledCount++] = w;
    if (GetDlgItem(w, 1027)) AnswerDialog(w);
    else AnswerMessageBox(w);
    return TRUE;
}

static void ReadImageSize(DWORD base)
{
    IMAGE_DOS_HEADER dos;
    IMAGE_NT_HEADERS32 nt;
    SIZE_T n;
    ImageBase = base;
    ImageEnd = base + 0x100000;
    if (ReadProcessMemory(Process, (LPCVOID)base, &dos, sizeof dos, &n) &&
        ReadProcessMemory(Process, (LPCVOID)(base + dos.e_lfanew), &nt, sizeof nt, &n))
        ImageEnd = base + nt.OptionalHeader.SizeOfImage;
}

// Where an unhandled exception happened, for the person reading the log:
// its address and the return addresses into the program found on the stack.
static void ReportCrashSite(DEBUG_EVENT *ev)
{
    HANDLE thread = ThreadHandle(ev->dwThreadId, NULL);
    CONTEXT c;
    DWORD stack[512];
    SIZE_T n = 0;
    fprintf(stderr, "clicker: exception 0x%08lX at %p (program image %08lX-%08lX)\n",
            (unsigned long)ev->u.Exception.ExceptionRecord.ExceptionCode,
            ev->u.Exception.ExceptionRecord.ExceptionAddress, (unsigned long)ImageBase,
            (unsigned long)ImageEnd);
    if (!thread) return;
    c.ContextFlags = CONTEXT_FULL;
    GetThreadContext(thread, &c);
    ReadProcessMemory(Process, (LPCVOID)c.Esp, stack, sizeof stack, &n);
    fprintf(stderr, "clicker: program addresses on the stack:");
    for (SIZE_T i = 0; i < n / 4; i++)
        if (FromProgram(stack[i])) fprintf(stderr, " %08lX", (unsigned long)stack[i]);
    fprintf(stderr, "\n");
}

static int Run(char *commandLine, const char *cwd, DWORD timeoutMs)
{
    STARTUPINFOA si;
    PROCESS_INFORMATION pi;
    memset(&si, 0, sizeof si);
    si.cb = sizeof si;
    if (!CreateProcessA(NULL, commandLine, NULL, NULL, FALSE, DEBUG_ONLY_THIS_PROCESS, NULL, cwd, &si, &pi)) {
        fprintf(stderr, "clicker: cannot start %s (error %lu)\n", commandLine, GetLastError());
        return 3;
    }
    Process = pi.hProcess;
    ProcessId = pi.dwProcessId;
    DWORD start = GetTickCount();
    for (;;) {
        DEBUG_EVENT ev;
        if (GetTickCount() - start > timeoutMs) {
            Event("timeout");
            TerminateProcess(Process, 0xDEAD);
            timeoutMs = 0xFFFFFFFF;
        }
        if (!WaitForDebugEvent(&ev, 25)) {
            EnumWindows(VisitWindow, 0);
            continue;
        }
        DWORD status = DBG_CONTINUE;
        char line[128];
        switch (ev.dwDebugEventCode) {
        case CREATE_PROCESS_DEBUG_EVENT:
            if (ev.u.CreateProcessInfo.hFile) CloseHandle(ev.u.CreateProcessInfo.hFile);
            Threads[ThreadCount].id = ev.dwThreadId;
            Threads[ThreadCount++].handle = ev.u.CreateProcessInfo.hThread;
            ReadImageSize((DWORD)ev.u.CreateProcessInfo.lpBaseOfImage);
            break;
        case CREATE_THREAD_DEBUG_EVENT:
            if (ThreadCount < 64) {
                Threads[ThreadCount].id = ev.dwThreadId;
                Threads[ThreadCount++].handle = ev.u.CreateThread.hThread;
            }
            break;
        case LOAD_DLL_DEBUG_EVENT:
            if (ev.u.LoadDll.hFile) CloseHandle(ev.u.LoadDll.hFile);
            break;
        case OUTPUT_DEBUG_STRING_EVENT:
            OnDebugString(&ev);
            break;
        case EXCEPTION_DEBUG_EVENT: {
            DWORD code = ev.u.Exception.ExceptionRecord.ExceptionCode;
            if (code == EXCEPTION_BREAKPOINT) status = OnBreakpoint(&ev);
            else if (code == EXCEPTION_SINGLE_STEP) status = OnSingleStep(&ev);
            else if (code == EXCEPTION_INVALID_HANDLE && ev.u.Exception.dwFirstChance) {
                // A handle closed that was not open: raised only for a
                // debugger; without one the call just fails. Noted, then
                // the call fails as it would.
                Event("invalid-handle");
                ReportCrashSite(&ev);
            }
            else if ((code == EXCEPTION_PRIV_INSTRUCTION || code == EXCEPTION_ACCESS_VIOLATION) &&
                     ev.u.Exception.dwFirstChance && OnPortInstruction(&ev) == DBG_CONTINUE)
                status = DBG_CONTINUE;
            else if (ev.u.Exception.dwFirstChance) status = DBG_EXCEPTION_NOT_HANDLED;
            else {
                sprintf(line, "crash code=0x%08lX", (unsigned long)code);
                Event(line);
                ReportCrashSite(&ev);
                TerminateProcess(Process, code);
            }
            break;
        }
        case EXIT_PROCESS_DEBUG_EVENT:
            sprintf(line, "exit code=%lu", (unsigned long)ev.u.ExitProcess.dwExitCode);
            Event(line);
            ContinueDebugEvent(ev.dwProcessId, ev.dwThreadId, DBG_CONTINUE);
            return 0;
        }
        ContinueDebugEvent(ev.dwProcessId, ev.dwThreadId, status);
    }
}

int main(int argc, char **argv)
{
    const char *cwd = NULL, *logPath = NULL;
    char *commandLine = NULL;
    DWORD timeout = 120;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (!strcmp(argv[i], "--answers")) SplitAnswers(argv[i + 1]);
        else if (!strcmp(argv[i], "--log")) logPath = argv[i + 1];
        else if (!strcmp(argv[i], "--cwd")) cwd = argv[i + 1];
        else if (!strcmp(argv[i], "--timeout")) timeout = (DWORD)atoi(argv[i + 1]);
        else if (!strcmp(argv[i], "--run")) commandLine = argv[i + 1];
        else if (!strcmp(argv[i], "--pci")) ParsePci(argv[i + 1]);
    }
    if (!commandLine) {
        fprintf(stderr, "usage: clicker [--answers LIST] [--log FILE] [--cwd DIR] [--timeout S] [--pci LIST] --run \"COMMAND\"\n");
        return 2;
    }
    Log = logPath ? fopen(logPath, "w") : stdout;
    if (!Log) {
        fprintf(stderr, "clicker: cannot write %s\n", logPath);
        return 2;
    }
    int rc = Run(commandLine, cwd, timeout * 1000);
    if (Log != stdout) fclose(Log);
    return rc;
}
