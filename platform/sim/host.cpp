// host.cpp - the host programs' command line: run idesetup or ideremove on
// a machine folder and print what happened.
#include "machine.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <iostream>

namespace fs = std::filesystem;

#ifndef IDE_DEFAULT_MACHINE
#error "IDE_DEFAULT_MACHINE must name the bundled sample PC"
#endif

namespace sim {

namespace {

struct Usage {
    std::string message;
};

struct Options {
    std::optional<std::string> machine;
    std::vector<std::string> answers;
    std::vector<std::string> words;
    bool help = false;
};

const char *const kAnswerWords[] = {"yes", "no", "ok", "1025", "1026", "1027", "cancel", "now", "later"};

std::vector<std::string> SplitAnswers(const std::string &list)
{
    std::vector<std::string> out;
    if (list.empty())
        return out;
    size_t start = 0;
    for (;;) {
        size_t comma = list.find(',', start);
        std::string word = list.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        bool known = false;
        for (const char *w : kAnswerWords)
            known = known || word == w;
        if (!known)
            throw Usage{"unknown answer \"" + word +
                        "\" in --answers (expected yes, no, ok, 1025, 1026, 1027, cancel, now or later)"};
        out.push_back(word);
        if (comma == std::string::npos)
            return out;
        start = comma + 1;
    }
}

Options ParseOptions(const std::vector<std::string> &args)
{
    Options o;
    bool optionsEnd = false;
    for (size_t i = 0; i < args.size(); i++) {
        const std::string &a = args[i];
        if (optionsEnd || a.size() < 2 || a.compare(0, 2, "--") != 0) {
            o.words.push_back(a);
            continue;
        }
        if (a == "--") {
            optionsEnd = true;
            continue;
        }
        std::string name = a, value;
        bool inlineValue = false;
        size_t eq = a.find('=');
        if (eq != std::string::npos) {
            name = a.substr(0, eq);
            value = a.substr(eq + 1);
            inlineValue = true;
        }
        if (name == "--help") {
            o.help = true;
            continue;
        }
        if (name != "--machine" && name != "--answers")
            throw Usage{"unknown option " + name};
        if (!inlineValue) {
            if (i + 1 >= args.size())
                throw Usage{name + " needs a value"};
            value = args[++i];
        }
        if (name == "--machine") {
            if (value.empty())
                throw Usage{"--machine needs a folder"};
            o.machine = value;
        } else {
            o.answers = SplitAnswers(value);
        }
    }
    return o;
}

std::string Joined(const std::vector<std::string> &words)
{
    std::string tail;
    for (size_t i = 0; i < words.size(); i++)
        tail += (i ? " " : "") + words[i];
    return tail;
}

// A new temporary folder holding a copy of the bundled sample PC.
std::string CopyOfSample(const Program &program)
{
    fs::path sample(IDE_DEFAULT_MACHINE);
    if (!fs::is_directory(sample))
        throw MachineError{"the bundled sample PC is missing: " + sample.string()};
    std::string pattern = (fs::temp_directory_path() / (std::string(program.name) + "-pc-XXXXXX")).string();
    std::vector<char> buf(pattern.begin(), pattern.end());
    buf.push_back('\0');
    if (!mkdtemp(buf.data()))
        throw MachineError{"cannot make a temporary folder"};
    fs::path dir(buf.data());
    fs::copy(sample, dir, fs::copy_options::recursive);
    return dir.string();
}

int Main(const Program &program, const std::vector<std::string> &args, std::ostream &out, std::ostream &err,
         bool interactive)
{
    const std::string usage = std::string("usage: ") + program.name +
                              " [--machine DIR] [--answers LIST] [--] [WORD...]";
    std::string fresh; // the temporary copy of the sample, removed again on an error
    struct RemoveOnError {
        std::string &dir;
        ~RemoveOnError()
        {
            std::error_code ignored;
            if (!dir.empty())
                fs::remove_all(dir, ignored);
        }
    } cleanup{fresh};
    try {
        Options o = ParseOptions(args);
        if (o.help) {
            out << usage << "\n";
            return 0;
        }
        std::string dir = o.machine ? *o.machine : (fresh = CopyOfSample(program));
        Pc pc;
        pc.LoadFolder(dir);
        pc.SetAnswers(o.answers);
        pc.SetInteractive(interactive);
        RunResult r = pc.Run(program, Joined(o.words));
        pc.SaveFolder(dir);
        fresh.clear(); // keep it: its path is printed
        out << r.Transcript();
        if (!o.machine)
            out << dir << "\n";
        out.flush();
        return r.exitCode;
    } catch (const Usage &u) {
        err << program.name << ": " << u.message << "\n" << usage << "\n";
        return 2;
    } catch (const MachineError &e) {
        err << program.name << ": " << e.message << "\n";
        return 2;
    } catch (const fs::filesystem_error &e) {
        err << program.name << ": " << e.what() << "\n";
        return 2;
    }
}

} // namespace

int HostMain(const Program &program, const std::vector<std::string> &args, std::ostream &out, std::ostream &err)
{
    return Main(program, args, out, err, false);
}

int HostMain(const Program &program, int argc, char **argv)
{
    std::vector<std::string> args(argv + 1, argv + argc);
    return Main(program, args, std::cout, std::cerr, isatty(0) && isatty(1));
}

} // namespace sim
