// classinf_fuzz.cpp - the class INF patch and its commit over a class INF
// and a vendor INF, as the installer runs them.
//
// Input: the first byte picks the variant (0 K6407, 1 K6417, 2 KQ Neo, by
// its value modulo 3); the rest is the class INF, a NUL, then the vendor
// INF (no NUL: no vendor INF on the disk).
//
// Properties: the patch itself never changes the class INF; after the
// commit either the class INF is byte for byte the original, or the backup
// is the original and the new class INF holds every line of the original
// in order (each piece that a 254-character read hands out), except the
// driver's own model lines and the one line without a token whose place the
// driver's sections take. When the class INF already holds the driver, the
// process ends with the class INF untouched and no backup written.
#include <cstdint>
#include <string>
#include <vector>

#include "classinf.h"
#include "fuzz_text.h"
#include "inftexts.h"
#include "sim.h"

namespace {

const std::string kClassInf = "C:\\WINDOWS\\INF\\MSHDC.INF";
const std::string kBackup = "C:\\WINDOWS\\INF\\MSHDC.ING";

// Is each piece of the original in the new text, in order, but for the
// driver's own model lines (the driver's lines replace them) and at most one
// token-less piece (whose place the driver's sections take)? The smallest
// position reached with and without a token-less piece left out decides.
// Returns "" when it is, else the first piece that could not be placed.
std::string MissingPiece(const std::vector<std::string> &pieces, const std::string &now,
                         const std::string &modelKey)
{
    const size_t kNone = std::string::npos;
    size_t best[2] = {0, kNone}; // [a token-less piece left out]
    for (const std::string &piece : pieces) {
        size_t next[2] = {kNone, kNone};
        auto offer = [&](int e, size_t pos) {
            if (pos != kNone && (next[e] == kNone || pos < next[e]))
                next[e] = pos;
        };
        const bool model = fuzz::InfFirstTokenIs(piece, modelKey);
        const bool empty = !fuzz::InfHasToken(piece);
        for (int e = 0; e < 2; e++) {
            if (best[e] == kNone)
                continue;
            size_t found = now.find(piece, best[e]);
            if (found != kNone)
                offer(e, found + piece.size());
            if (model)
                offer(e, best[e]);
            if (empty && !e)
                offer(1, best[e]);
        }
        if (next[0] == kNone && next[1] == kNone)
            return piece;
        best[0] = next[0];
        best[1] = next[1];
    }
    return "";
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    const DriverVariant variants[] = {K6407, K6417, KQNEO};
    const DriverVariant variant = variants[data[0] % 3];
    const std::string rest(reinterpret_cast<const char *>(data + 1), size - 1);
    const size_t cut = rest.find('\0');
    const std::string original = rest.substr(0, cut);
    const DriverInfTexts *texts = InfTextsFor(variant);

    sim::Pc pc;
    pc.AddFile(kClassInf, original);
    if (cut != std::string::npos)
        pc.AddFile(std::string("A:\\") + texts->VendorInfName, rest.substr(cut + 1));

    int patched = -1;
    bool unchangedByPatch = false;
    sim::RunResult run = pc.Invoke([&] {
        ProgramState = ProgramStateData{};
        ProgramState.Program = PROGRAM_SETUP;
        ProgramState.Variant = variant;
        patched = PatchClassInf();
        unchangedByPatch = pc.File(kClassInf) == original;
        if (patched)
            CommitClassInf();
    });

    if (run.exitedViaExitProcess) {
        FUZZ_CHECK(run.exitCode == 0);
        FUZZ_CHECK(pc.File(kClassInf) == original);
        FUZZ_CHECK(!pc.File(kBackup).has_value());
        return 0;
    }
    FUZZ_CHECK(patched == 0 || patched == 1);
    FUZZ_CHECK(unchangedByPatch);
    const std::string now = pc.File(kClassInf).value_or("");
    if (now == original)
        return 0;
    FUZZ_CHECK(patched == 1);
    FUZZ_CHECK(pc.File(kBackup) == original);
    const std::string missing = MissingPiece(fuzz::Pieces(fuzz::TextModeView(original), 255),
                                             fuzz::TextModeView(now), texts->ModelKey);
    FUZZ_CHECK(missing.empty(), "missing: [" + missing + "]\nin:\n" + now);
    return 0;
}
