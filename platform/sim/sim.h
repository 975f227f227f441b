// sim.h - the simulated Windows 9x PC: what tests and the host programs use.
//
// A Pc holds a registry, drives as in-memory folders and files, the PCI
// configuration space of bus 0..255, a Windows version and folders, the
// scripted answers for message boxes and the completion dialog, and the
// failures to inject. Run() executes one program's entry point on it and
// returns what the user would have seen (the transcript) and the exit code;
// ExitProcess inside the program returns control to Run().
//
// Paths are Windows paths ("C:\WINDOWS\INF\MSHDC.INF"); they resolve
// ignoring case, component by component, and a new file or folder takes
// the case the program (or the test) wrote. Registry paths are written with
// their root: "HKEY_LOCAL_MACHINE\Enum\PCI".
#pragma once

#include <cstdint>
#include <functional>
#include <iosfwd>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform.h"

namespace sim {

enum class Version { Win95, Win98, NT };

// A program that the sim can run: its entry point and its compiled
// resources (the .res file that windres made from its .rc script).
struct Program {
    const char *name; // "idesetup" or "ideremove"
    int (*winMain)(HINSTANCE, HINSTANCE, LPSTR, int);
    const unsigned char *resources;
    size_t resourcesSize;
    void (*resetState)(); // zero the program-wide variables (ProgramState) before a run
};

// The two programs (defined in platform/sim/programs.cpp).
const Program &IdeSetup();
const Program &IdeRemove();

// A registry value as stored: its type and its raw bytes.
struct Value {
    DWORD type = REG_SZ;
    std::string data; // raw bytes; a REG_SZ holds its terminating NUL
};
Value Sz(const std::string &text);  // REG_SZ with the NUL added
Value Dword(DWORD v);
Value Binary(const std::string &bytes);

// One event the user (or a debugger) would have seen, in order. Each
// renders as one transcript line, for example
//   message-box caption="Orv IDE Driver Setup" text="Are you sure ..." buttons=yes-no answer=yes
struct Event {
    std::string kind;  // message-box, dialog, debug-output, sleep, restart, exit
    std::string line;  // the rendered transcript line
};

struct RunResult {
    int exitCode = 0;           // the program's exit code
    bool exitedViaExitProcess = false;
    std::vector<Event> events;  // message boxes, dialog, debug output, ...
    std::vector<std::string> changes; // "change deleted key PATH", ...
    std::string Transcript() const; // events then changes, one line each, "\n" after each
    std::vector<std::string> Lines(const std::string &kind) const; // lines of one kind
};

// An error in the machine's description or in the answers: a usage or
// machine error, which the host programs report with exit status 2.
struct MachineError {
    std::string message;
};

// A call to make fail. The call named `call` (the Win32 name, for example
// "CopyFileA", "RegDeleteKeyA", "ExitWindowsEx") fails on its nth call
// (counted from 1 within one Run; 0 means every call) and sets the last
// error to `error`.
struct Failure {
    std::string call;
    int nth = 0;
    DWORD error = ERROR_ACCESS_DENIED;
};

class Pc {
public:
    Pc();  // an empty Windows 98 PC: C:\WINDOWS, C:\WINDOWS\SYSTEM, current A:\ (folders created)
    ~Pc();

    // --- Building the PC ---
    void SetVersion(Version v);
    void SetWindowsFolder(const std::string &path);  // GetWindowsDirectoryA
    void SetSystemFolder(const std::string &path);   // GetSystemDirectoryA
    void SetCurrentFolder(const std::string &path);  // GetCurrentDirectoryA
    void AddFolder(const std::string &path);         // with missing parents
    void AddFile(const std::string &path, const std::string &bytes); // parents created
    void RemoveFile(const std::string &path);
    void AddKey(const std::string &path);            // with missing parents
    void SetValue(const std::string &keyPath, const std::string &name, const Value &v); // key created; "" is the default value
    void LoadRegistry(const std::string &regedit4Text); // merge a REGEDIT4 text; throws MachineError with the line number
    void AddPciDevice(int bus, int device, int function, uint16_t vendor, uint16_t deviceId);

    // Load a machine folder (machine.ini, registry.reg, drive_<letter>/);
    // throws MachineError. Save writes the PC back into such a folder:
    // changed, created and deleted files, and registry.reg when the
    // registry changed (or the folder had one).
    void LoadFolder(const std::string &dir);
    void SaveFolder(const std::string &dir) const;

    // --- Scripting the user ---
    // Answers in order: "yes", "no", "ok" for message boxes; "1025", "1026",
    // "1027", "cancel", "now", "later" for the dialog. When they run out a
    // box takes its first button and the dialog gets 1027 (or, when
    // interactive is set, the person at the terminal is asked).
    void SetAnswers(const std::vector<std::string> &answers);
    void SetInteractive(bool interactive);
    // Where an interactive run draws its boxes and reads the person's
    // choices (std::cin and std::cout unless set).
    void SetTerminal(std::istream &in, std::ostream &out);

    // --- Failures ---
    void Fail(const Failure &f);
    // Fail the nth call of any file or registry operation (CreateFileA,
    // ReadFile, WriteFile, CloseHandle, CopyFileA, DeleteFileA, OpenFile,
    // RegOpenKeyExA, RegEnumKeyExA, RegQueryValueExA, RegDeleteKeyA);
    // 0 turns it off.
    void FailNthIoCall(int nth, DWORD error = ERROR_ACCESS_DENIED);
    int IoCallCount() const; // file and registry calls of the last Run
    void ClearFailures();    // forget every Fail and FailNthIoCall
    // How often the call named (the Win32 name) was made in the last Run.
    int CallCount(const std::string &call) const;

    // --- Running ---
    // Run a program's entry point with this command-line tail. The
    // program-wide state is reset first.
    RunResult Run(const Program &program, const std::string &tail);
    // Run any code on this PC (for unit tests of single operations),
    // catching ExitProcess; the program's resources are those given.
    RunResult Invoke(const std::function<void()> &body, const Program *program = nullptr);

    // --- Looking at the PC ---
    std::optional<std::string> File(const std::string &path) const;
    bool HasFolder(const std::string &path) const;
    bool HasKey(const std::string &path) const;
    std::optional<Value> GetValue(const std::string &keyPath, const std::string &name) const;
    std::vector<std::string> Subkeys(const std::string &path) const; // in creation order (Windows 95/98's enumeration order)
    std::string ExportRegistry() const; // REGEDIT4 text, every key a section
    std::vector<std::string> Files() const; // every file path, sorted

    // Port accesses of the last Run (or since the last ResetPortCounts).
    int PciAddressWrites() const;
    int PciDataReads() const;
    DWORD LastPciAddress() const;
    void ResetPortCounts();

    struct Impl;
    Impl &impl() { return *impl_; }

private:
    std::unique_ptr<Impl> impl_;
};

// The host programs' command line:
//   PROGRAM [--machine DIR] [--answers LIST] [--] [WORD...]
// Returns the process exit status.
int HostMain(const Program &program, int argc, char **argv);
// The same with the arguments after the program name, the transcript and
// the error messages going to the given streams; never interactive.
int HostMain(const Program &program, const std::vector<std::string> &args, std::ostream &out,
             std::ostream &err);

} // namespace sim
