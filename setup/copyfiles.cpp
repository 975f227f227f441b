/*
 * copyfiles.cpp - copy the driver file and idevsd.vxd from the driver disk
 * into the system folder's iosubsys.
 */
#include "setup.h"
#include "text.h"

/*
 * Copy one file of the current folder into the system folder's iosubsys,
 * overwriting an earlier copy. Both folders are fetched afresh. A folder
 * too long for the composition skips the copy.
 */
static void CopyToIosubsys(const char *name)
{
    char source[260], system[260], destination[260];

    ZeroBytes(source, sizeof source);
    ZeroBytes(system, sizeof system);
    ZeroBytes(destination, sizeof destination);

    if (GetCurrentDirectoryA(sizeof source, source) >= sizeof source)
        return;
    if (!JoinPath(source, sizeof source, source, name))
        return;
    if (GetSystemDirectoryA(system, sizeof system) >= sizeof system)
        return;
    if (!JoinPath(destination, sizeof destination, system, "iosubsys"))
        return;
    if (!JoinPath(destination, sizeof destination, destination, name))
        return;
    CopyFileA(source, destination, FALSE);
}

int CopyDriverFiles(void)
{
    CopyToIosubsys(ProgramState.DriverFile);
    CopyToIosubsys("idevsd.vxd");
    return 1;
}
