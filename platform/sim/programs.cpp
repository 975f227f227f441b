// programs.cpp - the two programs the simulated PC runs: their entry points
// and their compiled resources.
#include "sim.h"

#include <cstring>

#include "remove.h"
#include "setup.h"

extern const unsigned char IdeSetupResources[];
extern const size_t IdeSetupResourcesSize;
extern const unsigned char IdeRemoveResources[];
extern const size_t IdeRemoveResourcesSize;

namespace sim {

// A new process starts with its program-wide variables zero.
static void ResetProgramState() { std::memset(&ProgramState, 0, sizeof ProgramState); }

const Program &IdeSetup()
{
    static const Program p{"idesetup", SetupWinMain, IdeSetupResources, IdeSetupResourcesSize,
                           ResetProgramState};
    return p;
}

const Program &IdeRemove()
{
    static const Program p{"ideremove", RemoveWinMain, IdeRemoveResources, IdeRemoveResourcesSize,
                           ResetProgramState};
    return p;
}

} // namespace sim
