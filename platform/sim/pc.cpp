// pc.cpp - the simulated PC: building it, running a program on it, and
// telling what the run changed.
#include "machine.h"

#include <algorithm>
#include <cstring>
#include <iostream>
#include <stdexcept>

namespace sim {

// ---------------------------------------------------------------------------
// The running PC.

static Pc::Impl *g_current = nullptr;

Pc::Impl &CurrentPc()
{
    if (!g_current)
        throw std::logic_error("a Win32 call of the simulated PC outside Pc::Run or Pc::Invoke");
    return *g_current;
}

HINSTANCE ProgramInstance() { return reinterpret_cast<HINSTANCE>(uintptr_t(0x00400000)); }

Pc::Impl::Impl() : terminalOut(&std::cout), terminalIn(&std::cin) {}

bool Pc::Impl::Enter(const char *call, bool io)
{
    int nth = ++callCounts[call];
    bool fail = false;
    DWORD error = 0;
    if (io) {
        ++ioCalls;
        if (failNthIo > 0 && ioCalls == failNthIo) {
            fail = true;
            error = failNthIoError;
        }
    }
    for (const Failure &f : failures) {
        if (f.call == call && (f.nth == 0 || f.nth == nth)) {
            fail = true;
            error = f.error;
        }
    }
    if (fail)
        lastError = error;
    return fail;
}

std::optional<Answer> Pc::Impl::TakeAnswer()
{
    if (nextAnswer >= answers.size())
        return std::nullopt;
    return answers[nextAnswer++];
}

void Pc::Impl::Record(const std::string &kind, const std::string &line)
{
    events.push_back(Event{kind, line});
}

void Pc::Impl::BeginRun(const Program *p)
{
    program = p;
    callCounts.clear();
    ioCalls = 0;
    lastError = 0;
    pciWrites = pciReads = 0;
    lastPciAddress = 0;
    events.clear();
    fileHandles.clear();
    keyHandles.clear();
    tokenHandles.clear();
    tokenAccess.clear();
    shutdownPrivilege = false;
    for (auto &d : drives) {
        std::vector<FsNode *> stack{d.second.get()};
        while (!stack.empty()) {
            FsNode *n = stack.back();
            stack.pop_back();
            n->createdAs.clear();
            for (auto &c : n->children)
                stack.push_back(c.get());
        }
    }
}

// ---------------------------------------------------------------------------
// Values and transcript.

Value Sz(const std::string &text) { return Value{REG_SZ, text + std::string(1, '\0')}; }

Value Dword(DWORD v)
{
    std::string d(4, '\0');
    for (int i = 0; i < 4; i++)
        d[i] = char((v >> (8 * i)) & 0xFF);
    return Value{REG_DWORD, d};
}

Value Binary(const std::string &bytes) { return Value{REG_BINARY, bytes}; }

std::string Quote(const std::string &text)
{
    static const char hex[] = "0123456789ABCDEF";
    std::string out = "\"";
    for (unsigned char c : text) {
        switch (c) {
        case '\\': out += "\\\\"; break;
        case '"': out += "\\\""; break;
        case '\t': out += "\\t"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        default:
            if (c < 0x20) {
                out += "\\x";
                out += hex[c >> 4];
                out += hex[c & 15];
            } else {
                out += char(c);
            }
        }
    }
    return out + "\"";
}

std::string Quote(const char *text) { return text ? Quote(std::string(text)) : "null"; }

std::string RunResult::Transcript() const
{
    std::string t;
    for (const Event &e : events)
        t += e.line + "\n";
    for (const std::string &c : changes)
        t += c + "\n";
    return t;
}

std::vector<std::string> RunResult::Lines(const std::string &kind) const
{
    std::vector<std::string> out;
    for (const Event &e : events)
        if (e.kind == kind)
            out.push_back(e.line);
    if (kind == "change")
        out.insert(out.end(), changes.begin(), changes.end());
    return out;
}

// ---------------------------------------------------------------------------
// Building and looking at the PC.

Pc::Pc() : impl_(std::make_unique<Impl>())
{
    AddFolder("C:\\WINDOWS\\SYSTEM");
    AddFolder("A:\\");
}

Pc::~Pc() = default;

void Pc::SetVersion(Version v) { impl_->version = v; }
void Pc::SetWindowsFolder(const std::string &path) { impl_->windowsFolder = path; }
void Pc::SetSystemFolder(const std::string &path) { impl_->systemFolder = path; }
void Pc::SetCurrentFolder(const std::string &path) { impl_->currentFolder = path; }

static PathParts MustParse(const Pc::Impl &impl, const std::string &path)
{
    PathParts p;
    if (!impl.Parse(path, p))
        throw MachineError{"not a path: \"" + path + "\""};
    return p;
}

static FsNode *MakeFolders(Pc::Impl &impl, const PathParts &p, size_t count)
{
    FsNode *node = impl.Drive(p.drive, true);
    for (size_t i = 0; i < count; i++) {
        FsNode *next = node->Find(p.parts[i]);
        if (!next)
            next = node->AddChild(p.parts[i], true);
        else if (!next->folder)
            throw MachineError{"\"" + next->Path() + "\" is a file, not a folder"};
        node = next;
    }
    return node;
}

void Pc::AddFolder(const std::string &path)
{
    PathParts p = MustParse(*impl_, path);
    MakeFolders(*impl_, p, p.parts.size());
}

void Pc::AddFile(const std::string &path, const std::string &bytes)
{
    PathParts p = MustParse(*impl_, path);
    if (p.parts.empty())
        throw MachineError{"not a file path: \"" + path + "\""};
    FsNode *folder = MakeFolders(*impl_, p, p.parts.size() - 1);
    FsNode *f = folder->Find(p.parts.back());
    if (f && f->folder)
        throw MachineError{"\"" + f->Path() + "\" is a folder"};
    if (!f)
        f = folder->AddChild(p.parts.back(), false);
    *f->data = bytes;
}

void Pc::RemoveFile(const std::string &path)
{
    FsNode *f = impl_->Lookup(path);
    if (f && !f->folder)
        f->parent->RemoveChild(f);
}

void Pc::AddKey(const std::string &path)
{
    if (!impl_->registry.CreatePath(path))
        throw MachineError{"not a registry path: \"" + path + "\""};
}

void Pc::SetValue(const std::string &keyPath, const std::string &name, const Value &v)
{
    RegKey *k = impl_->registry.CreatePath(keyPath);
    if (!k)
        throw MachineError{"not a registry path: \"" + keyPath + "\""};
    RegValue rv;
    rv.name = name;
    rv.type = v.type;
    rv.data = v.data;
    k->SetValue(rv);
}

void Pc::LoadRegistry(const std::string &regedit4Text) { impl_->registry.Load(regedit4Text); }

void Pc::AddPciDevice(int bus, int device, int function, uint16_t vendor, uint16_t deviceId)
{
    if (bus < 0 || bus > 255 || device < 0 || device > 31 || function < 0 || function > 7)
        throw MachineError{"no such PCI address"};
    DWORD address = 0x80000000u | DWORD(bus) << 16 | DWORD(device) << 11 | DWORD(function) << 8;
    impl_->pci[address] = DWORD(vendor) | DWORD(deviceId) << 16;
}

void Pc::SetAnswers(const std::vector<std::string> &answers)
{
    impl_->answers.clear();
    impl_->nextAnswer = 0;
    int position = 0;
    for (const std::string &a : answers) {
        ++position;
        if (a == "now") {
            impl_->answers.push_back(Answer{"1025", a, position});
            impl_->answers.push_back(Answer{"1027", a, position});
        } else if (a == "later") {
            impl_->answers.push_back(Answer{"1026", a, position});
            impl_->answers.push_back(Answer{"1027", a, position});
        } else {
            impl_->answers.push_back(Answer{a, a, position});
        }
    }
}

void Pc::SetInteractive(bool interactive) { impl_->interactive = interactive; }

void Pc::SetTerminal(std::istream &in, std::ostream &out)
{
    impl_->terminalIn = &in;
    impl_->terminalOut = &out;
}

void Pc::Fail(const Failure &f) { impl_->failures.push_back(f); }

void Pc::FailNthIoCall(int nth, DWORD error)
{
    impl_->failNthIo = nth;
    impl_->failNthIoError = error;
}

void Pc::ClearFailures()
{
    impl_->failures.clear();
    impl_->failNthIo = 0;
}

int Pc::IoCallCount() const { return impl_->ioCalls; }

int Pc::CallCount(const std::string &call) const
{
    auto it = impl_->callCounts.find(call);
    return it == impl_->callCounts.end() ? 0 : it->second;
}

std::optional<std::string> Pc::File(const std::string &path) const
{
    FsNode *f = impl_->Lookup(path);
    if (!f || f->folder)
        return std::nullopt;
    return *f->data;
}

bool Pc::HasFolder(const std::string &path) const
{
    FsNode *f = impl_->Lookup(path);
    return f && f->folder;
}

bool Pc::HasKey(const std::string &path) const { return impl_->registry.FindPath(path) != nullptr; }

std::optional<Value> Pc::GetValue(const std::string &keyPath, const std::string &name) const
{
    RegKey *k = impl_->registry.FindPath(keyPath);
    if (!k)
        return std::nullopt;
    const RegValue *v = k->FindValue(name);
    if (!v)
        return std::nullopt;
    return Value{v->type, v->data};
}

std::vector<std::string> Pc::Subkeys(const std::string &path) const
{
    std::vector<std::string> names;
    if (RegKey *k = impl_->registry.FindPath(path))
        for (const auto &s : k->subkeys)
            names.push_back(s->name);
    return names;
}

std::string Pc::ExportRegistry() const { return impl_->registry.Save(); }

// Every file of the PC: lower-cased path -> (path, node).
static std::map<std::string, std::pair<std::string, FsNode *>> AllFiles(const Pc::Impl &impl)
{
    std::map<std::string, std::pair<std::string, FsNode *>> files;
    for (const auto &d : impl.drives) {
        std::vector<FsNode *> stack{d.second.get()};
        while (!stack.empty()) {
            FsNode *n = stack.back();
            stack.pop_back();
            if (!n->folder) {
                std::string p = n->Path();
                files[Lower(p)] = {p, n};
            }
            for (auto &c : n->children)
                stack.push_back(c.get());
        }
    }
    return files;
}

std::vector<std::string> Pc::Files() const
{
    std::vector<std::string> out;
    for (const auto &f : AllFiles(*impl_))
        out.push_back(f.second.first);
    return out;
}

int Pc::PciAddressWrites() const { return impl_->pciWrites; }
int Pc::PciDataReads() const { return impl_->pciReads; }
DWORD Pc::LastPciAddress() const { return impl_->lastPciAddress; }

void Pc::ResetPortCounts()
{
    impl_->pciWrites = impl_->pciReads = 0;
    impl_->lastPciAddress = 0;
}

// ---------------------------------------------------------------------------
// Running.

namespace {

struct Snapshot {
    std::map<std::string, std::pair<std::string, std::string>> files; // lower path -> (path, bytes)
    std::vector<std::string> keys;                                     // depth first
};

Snapshot Take(const Pc::Impl &impl)
{
    Snapshot s;
    for (const auto &f : AllFiles(impl))
        s.files[f.first] = {f.second.first, *f.second.second->data};
    s.keys = impl.registry.AllKeyPaths();
    return s;
}

std::vector<std::string> Changes(const Snapshot &before, const Pc::Impl &impl)
{
    std::vector<std::string> out;
    auto now = AllFiles(impl);
    // Files, sorted by path (ignoring case).
    std::map<std::string, std::string> fileLines;
    for (const auto &f : now) {
        auto old = before.files.find(f.first);
        FsNode *node = f.second.second;
        if (old == before.files.end()) {
            std::string shown = node->createdAs.empty() ? f.second.first : node->createdAs;
            fileLines[f.first] = "change created file " + shown;
        } else if (old->second.second != *node->data) {
            fileLines[f.first] = "change modified file " + f.second.first;
        }
    }
    for (const auto &f : before.files)
        if (!now.count(f.first))
            fileLines[f.first] = "change deleted file " + f.second.first;
    for (const auto &l : fileLines)
        out.push_back(l.second);

    // Keys: the topmost key of each deleted tree, in the order the registry had them.
    std::set<std::string> present;
    for (const std::string &k : impl.registry.AllKeyPaths())
        present.insert(Lower(k));
    std::set<std::string> deleted;
    for (const std::string &k : before.keys) {
        std::string lk = Lower(k);
        if (present.count(lk))
            continue;
        size_t cut = lk.rfind('\\');
        bool parentDeleted = cut != std::string::npos && deleted.count(lk.substr(0, cut));
        deleted.insert(lk);
        if (!parentDeleted)
            out.push_back("change deleted key " + k);
    }
    return out;
}

struct CurrentGuard {
    Pc::Impl *saved;
    explicit CurrentGuard(Pc::Impl *impl) : saved(g_current) { g_current = impl; }
    ~CurrentGuard() { g_current = saved; }
};

} // namespace

static RunResult Execute(Pc::Impl &impl, const Program *program, const std::function<int()> &body)
{
    impl.BeginRun(program);
    Snapshot before = Take(impl);
    RunResult r;
    {
        CurrentGuard guard(&impl);
        try {
            r.exitCode = body();
        } catch (const ExitProcessSignal &e) {
            r.exitCode = int(e.code);
            r.exitedViaExitProcess = true;
        }
    }
    impl.Record("exit", "exit code=" + std::to_string(r.exitCode));
    r.events = impl.events;
    r.changes = Changes(before, impl);
    return r;
}

RunResult Pc::Run(const Program &program, const std::string &tail)
{
    if (program.resetState)
        program.resetState();
    return Execute(*impl_, &program, [&] {
        std::vector<char> line(tail.begin(), tail.end());
        line.push_back('\0');
        return program.winMain(ProgramInstance(), nullptr, line.data(), 1);
    });
}

RunResult Pc::Invoke(const std::function<void()> &body, const Program *program)
{
    return Execute(*impl_, program, [&] {
        body();
        return 0;
    });
}

} // namespace sim
