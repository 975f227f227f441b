// machine.h - the inside of the simulated PC, shared by the files of
// platform/sim/ (the Win32 calls, the dialog engine, the machine folders).
//
// Every Win32 call of the programs finds its PC through CurrentPc(), which
// Pc::Run and Pc::Invoke set for the length of a run.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "registry.h"
#include "sim.h"

namespace sim {

// Error codes the sim uses beyond those of platform.h.
constexpr DWORD kErrorSharingViolation = 32;
constexpr DWORD kErrorAlreadyExists = 183;
constexpr DWORD kErrorKeyDeleted = 1018;
constexpr DWORD kErrorNoSuchPrivilege = 1313;
constexpr DWORD kErrorModNotFound = 126;

// ExitProcess throws this; Run and Invoke catch it.
struct ExitProcessSignal {
    UINT code;
};

// One folder or file of a drive.
struct FsNode {
    std::string name;  // as created: case kept
    bool folder = false;
    std::shared_ptr<std::string> data;            // a file's bytes
    std::vector<std::unique_ptr<FsNode>> children; // a folder's entries
    FsNode *parent = nullptr;
    std::string createdAs; // for a file made during a run: the path the program wrote

    FsNode *Find(const std::string &childName) const; // ignoring case
    FsNode *AddChild(const std::string &childName, bool isFolder);
    void RemoveChild(const FsNode *child);
    std::string Path() const; // "C:\WINDOWS\INF", "A:\" for a drive root
};

// A path taken apart: the drive letter (upper case) and its components,
// "." and ".." already applied, empty components dropped.
struct PathParts {
    char drive = 0;
    std::vector<std::string> parts;
};

// One scripted answer: the value to act on ("yes", "1025", ...), the word
// the user wrote ("now" for 1025 and 1027) and its place in the list (1..).
struct Answer {
    std::string value;
    std::string written;
    int position = 0;
};

struct OpenFileHandle {
    std::shared_ptr<std::string> data;
    size_t pos = 0;
    bool canRead = false;
    bool canWrite = false;
    bool probe = false; // OpenFile(OF_EXIST): already closed, nothing held
};

struct Pc::Impl {
    // --- the machine ---
    Version version = Version::Win98;
    std::string windowsFolder = "C:\\WINDOWS";
    std::optional<std::string> systemFolder; // default <windows>\SYSTEM
    std::string currentFolder = "A:\\";
    std::map<char, std::unique_ptr<FsNode>> drives; // 'A'..'Z'
    Registry registry;
    std::map<DWORD, DWORD> pci; // config address of register 0 -> vendor | device << 16

    // --- the user ---
    std::vector<Answer> answers;
    size_t nextAnswer = 0;
    bool interactive = false;
    std::ostream *terminalOut;
    std::istream *terminalIn;

    // --- failures ---
    std::vector<Failure> failures;
    int failNthIo = 0;
    DWORD failNthIoError = ERROR_ACCESS_DENIED;

    // --- one run ---
    const Program *program = nullptr;
    std::map<std::string, int> callCounts;
    int ioCalls = 0;
    DWORD lastError = 0;
    int pciWrites = 0, pciReads = 0;
    DWORD lastPciAddress = 0;
    uint64_t simulatedMs = 0;
    std::vector<Event> events;
    uintptr_t nextHandle = 0x100;
    std::map<uintptr_t, OpenFileHandle> fileHandles;
    std::map<uintptr_t, std::string> keyHandles; // full key path
    std::set<uintptr_t> tokenHandles;
    std::map<uintptr_t, DWORD> tokenAccess; // the access each token was opened with
    bool shutdownPrivilege = false;          // enabled on a token of this process (NT)

    // --- machine folder bookkeeping (for SaveFolder) ---
    std::string loadedIni;      // the settings as loaded, in the form SaveFolder writes
    bool hadIni = false;
    std::string loadedRegistry; // registry.reg as read
    std::string loadedRegistryCanonical; // the registry as saved right after loading
    bool hadRegistry = false;
    std::map<char, std::string> driveFolderNames; // 'C' -> "drive_c"

    Impl();

    // Counting and failure injection: every Win32 call of the sim comes
    // here first. Returns true when the call must fail; the last error is
    // then set. io marks the file and registry calls, which share one
    // counter (FailNthIoCall).
    bool Enter(const char *call, bool io);
    void SetLastError(DWORD e) { lastError = e; }

    // The next scripted answer, if any is left.
    std::optional<Answer> TakeAnswer();
    // Add a transcript event.
    void Record(const std::string &kind, const std::string &line);

    // Paths.
    bool Parse(const std::string &path, PathParts &out) const;
    FsNode *Lookup(const PathParts &p) const;       // nullptr when missing
    FsNode *LookupParent(const PathParts &p) const; // the folder that holds p's last part
    FsNode *Lookup(const std::string &path) const;
    FsNode *Drive(char letter, bool create);
    std::string SystemFolder() const;

    // Registry handles.
    RegKey *KeyOf(HKEY h, LONG *error);
    HKEY NewKeyHandle(const std::string &fullPath);

    uintptr_t NewHandle() { uintptr_t h = nextHandle; nextHandle += 4; return h; }
    bool FileIsOpen(const std::shared_ptr<std::string> &data) const;

    // Per-run reset: counters, handles, events.
    void BeginRun(const Program *p);
};

// The PC the running program works on; throws std::logic_error when a
// Win32 call comes outside Pc::Run or Pc::Invoke.
Pc::Impl &CurrentPc();

// What the dialog engine needs of the running program and the person.
inline std::optional<Answer> TakeAnswer() { return CurrentPc().TakeAnswer(); }
inline bool Interactive() { return CurrentPc().interactive; }
inline void RecordEvent(const std::string &kind, const std::string &line) { CurrentPc().Record(kind, line); }
inline const unsigned char *ProgramResources() {
    const Program *p = CurrentPc().program;
    return p ? p->resources : nullptr;
}
inline size_t ProgramResourcesSize() {
    const Program *p = CurrentPc().program;
    return p ? p->resourcesSize : 0;
}

// The instance handle that Run passes to the entry point (and that
// GetModuleHandleA(NULL) returns).
HINSTANCE ProgramInstance();

// Transcript quoting: "text" with \\ \" \t \n \r \xHH; Quote(nullptr) is null.
std::string Quote(const std::string &text);
std::string Quote(const char *text);

// ASCII case folding for name comparisons.
std::string Lower(std::string s);
bool EqualNoCase(const std::string &a, const std::string &b);

} // namespace sim
