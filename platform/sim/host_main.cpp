// host_main.cpp - main() of a host program: idesetup or ideremove on the
// simulated PC, chosen when compiling (IDE_HOST_SETUP or IDE_HOST_REMOVE).
#include "sim.h"

int main(int argc, char **argv)
{
#if defined(IDE_HOST_SETUP)
    return sim::HostMain(sim::IdeSetup(), argc, argv);
#elif defined(IDE_HOST_REMOVE)
    return sim::HostMain(sim::IdeRemove(), argc, argv);
#else
#error "define IDE_HOST_SETUP or IDE_HOST_REMOVE"
#endif
}
