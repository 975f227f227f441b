// cmdline_fuzz.cpp - the command line of both programs, run through the
// programs' own entry points on an empty simulated PC, answering No at the
// confirmation so that nothing past the command line runs.
//
// Input: the first byte picks the program (even: idesetup, odd: ideremove),
// the rest up to a NUL is the command-line tail.
//
// Property: the outcome is the one the command-line rules give, worked out
// here on their own: a tail of more than 259 characters, more than 20
// parameters or one that does not begin with "/" is refused; without a D
// switch the program ends with "Driver Name Not Found! "; otherwise the last
// recognised driver name wins, PRELOAD counts in the remover only, and the
// confirmation box comes up under the variant's title. Nothing on the PC
// changes and the exit code is 0.
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz_text.h"
#include "sim.h"
#include "state.h"

namespace {

struct Expected {
    enum { Refused, FormatRefused, NoDriver, Accepted } outcome;
    DriverVariant variant = 0;
    int preload = 0;
};

std::vector<std::string> Split(const std::string &text, const char *delimiters)
{
    std::vector<std::string> parts;
    size_t at = 0;
    while ((at = text.find_first_not_of(delimiters, at)) != std::string::npos) {
        size_t end = text.find_first_of(delimiters, at);
        parts.push_back(text.substr(at, end == std::string::npos ? std::string::npos : end - at));
        at = end;
    }
    return parts;
}

Expected Rules(const std::string &tail, bool remover)
{
    Expected e;
    if (tail.size() > 259) {
        e.outcome = Expected::FormatRefused;
        return e;
    }
    std::vector<std::string> parameters = Split(tail, " ,\t\n");
    if (parameters.size() > 20) {
        e.outcome = Expected::Refused;
        return e;
    }
    bool driver = false;
    for (const std::string &p : parameters) {
        if (p[0] != '/') {
            e.outcome = Expected::FormatRefused;
            return e;
        }
        std::vector<std::string> pieces = Split(fuzz::Upper(p), " :\t\n");
        std::string name = pieces.empty() ? "" : pieces[0];
        std::string value = pieces.size() > 1 ? pieces[1] : "";
        if (name == "/D") {
            driver = true;
            if (value == "K6417")
                e.variant = 1;
            else if (value == "K6407")
                e.variant = 0;
            else if (value == "KQNEO")
                e.variant = 10;
        } else if (remover && name == "/PRELOAD") {
            e.preload = 1;
        }
    }
    e.outcome = driver ? Expected::Accepted : Expected::NoDriver;
    return e;
}

std::string Box(const std::string &caption, const std::string &text, const char *buttons,
                const char *answer)
{
    return "message-box caption=\"" + caption + "\" text=\"" + text + "\" buttons=" + buttons +
           " answer=" + answer;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    const bool remover = data[0] & 1;
    std::string tail(reinterpret_cast<const char *>(data + 1), size - 1);
    tail = tail.substr(0, tail.find('\0'));

    const Expected e = Rules(tail, remover);
    sim::Pc pc;
    // An error box takes OK; No is for the confirmation, which only an
    // accepted command line reaches (the sim refuses an answer a box does
    // not offer).
    if (e.outcome == Expected::Accepted)
        pc.SetAnswers({"no"});
    sim::RunResult run;
    try {
        run = pc.Run(remover ? sim::IdeRemove() : sim::IdeSetup(), tail);
    } catch (const sim::MachineError &error) {
        fuzz::Broken("the boxes are the ones the rules give", error.message);
    }

    FUZZ_CHECK(run.exitCode == 0);
    FUZZ_CHECK(run.changes.empty());
    FUZZ_CHECK(run.Lines("restart").empty());
    std::vector<std::string> boxes = run.Lines("message-box");
    const std::string quoted = run.Transcript();
    switch (e.outcome) {
    case Expected::Refused:
        FUZZ_CHECK(boxes.empty(), quoted);
        break;
    case Expected::FormatRefused:
        FUZZ_CHECK(boxes == std::vector<std::string>{Box("SET UP ERROR!",
                                                         "Command line parameter format error! ",
                                                         "ok", "ok")},
                   quoted);
        break;
    case Expected::NoDriver:
        FUZZ_CHECK(boxes == std::vector<std::string>{Box(remover ? "UNINSTALL ERROR!" : "SET UP ERROR!",
                                                         "Driver Name Not Found! ", "ok", "ok")},
                   quoted);
        FUZZ_CHECK(run.exitedViaExitProcess);
        break;
    case Expected::Accepted: {
        const bool orv = e.variant != 10;
        const std::string title = remover ? (orv ? "Orv IDE Driver Uninstall!" : "KQ Neo IDE Driver Uninstall!")
                                          : (orv ? "Orv IDE Driver Setup" : "KQ Neo IDE Driver Setup");
        const std::string question = remover ? "Are you sure to remove the BUS MASTER IDE driver?"
                                             : "Are you sure to set up the BUS MASTER IDE driver?";
        FUZZ_CHECK(boxes == std::vector<std::string>{Box(title, question, "yes-no", "no")}, quoted);
        FUZZ_CHECK(ProgramState.Variant == e.variant, quoted);
        FUZZ_CHECK(ProgramState.Preload == e.preload, quoted);
        break;
    }
    }
    return 0;
}
