// regedit4_fuzz.cpp - loading REGEDIT4 text into the simulated registry.
//
// Input: the text of a registry.reg.
//
// Properties: a text is either refused with a MachineError that names its
// line, or loaded; what was loaded saves to a text that loads again into
// the same tree, and saving that gives the same text again (the round trip
// is exact); a PC loads the same text the same way.
#include <cstdint>
#include <string>

#include "fuzz_text.h"
#include "registry.h"
#include "sim.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const std::string text(reinterpret_cast<const char *>(data), size);
    sim::Registry registry;
    try {
        registry.Load(text);
    } catch (const sim::MachineError &e) {
        FUZZ_CHECK(e.message.rfind("registry.reg line ", 0) == 0, e.message);
        return 0;
    }
    const std::string saved = registry.Save();
    sim::Registry again;
    try {
        again.Load(saved);
    } catch (const sim::MachineError &e) {
        fuzz::Broken("the saved text loads again", e.message + "\n" + saved);
    }
    FUZZ_CHECK(again.AllKeyPaths() == registry.AllKeyPaths(), saved);
    FUZZ_CHECK(again.Save() == saved, saved);

    sim::Pc pc;
    pc.LoadRegistry(text);
    FUZZ_CHECK(pc.ExportRegistry() == saved);
    return 0;
}
