// installed_fuzz.cpp - the remover's check for the driver's patch in the
// class INF (IsDriverInstalled) and the restore that depends on it.
//
// Input: the class INF.
//
// Properties: IsDriverInstalled answers 1 exactly when, reading the class
// INF in pieces of at most 254 characters, a piece whose first token is
// [ORV_HDC] is followed, before the first piece without a token, by a piece
// whose first token is the primary channel's model key; it changes
// nothing. RestoreClassInf puts the backup in place exactly then.
#include <cstdint>
#include <string>

#include "fuzz_text.h"
#include "remove.h"
#include "sim.h"

namespace {

const std::string kClassInf = "C:\\WINDOWS\\INF\\MSHDC.INF";
const std::string kBackup = "C:\\WINDOWS\\INF\\MSHDC.ING";
const char kBackupText[] = "the class INF before the driver\r\n";

bool Installed(const std::string &classInf)
{
    bool inSection = false;
    for (const std::string &piece : fuzz::Pieces(fuzz::TextModeView(classInf), 255)) {
        if (!inSection) {
            inSection = fuzz::InfFirstTokenIs(piece, "[ORV_HDC]");
            continue;
        }
        if (!fuzz::InfHasToken(piece))
            return false;
        if (fuzz::InfFirstTokenIs(piece, "%MF\\MASTERPRIMARY.DeviecDesc%"))
            return true;
    }
    return false;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const std::string classInf(reinterpret_cast<const char *>(data), size);
    const bool expected = Installed(classInf);

    sim::Pc pc;
    pc.AddFile(kClassInf, classInf);
    pc.AddFile(kBackup, kBackupText);
    int installed = -1;
    sim::RunResult check = pc.Invoke([&] { installed = IsDriverInstalled(); });
    FUZZ_CHECK(installed == (expected ? 1 : 0));
    FUZZ_CHECK(check.changes.empty());

    pc.Invoke([] { RestoreClassInf(); });
    FUZZ_CHECK(pc.File(kClassInf) == (expected ? std::string(kBackupText) : classInf));
    FUZZ_CHECK(pc.File(kBackup) == std::string(kBackupText));
    return 0;
}
