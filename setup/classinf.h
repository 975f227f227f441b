/*
 * classinf.h - the patch of Windows' class INF for hard-disk controllers,
 * mshdc.inf in the Windows folder's inf: the driver's model lines and
 * sections go into a work file beside it, mshdc.1, which then takes the
 * class INF's place, the old class INF being kept as mshdc.ing.
 */
#ifndef IDE_CLASSINF_H
#define IDE_CLASSINF_H

#include "state.h"

/* The files, below the Windows folder. */
#define CLASS_INF_NAME "inf\\mshdc.inf"
#define WORK_FILE_NAME "inf\\mshdc.1"
#define BACKUP_NAME "inf\\mshdc.ing"

#define ALREADY_INSTALLED_MESSAGE "Driver already has been installed! Setup fail! "
#define ALREADY_INSTALLED_CAPTION "SET UP ERROR!"

/*
 * Copy the class INF into the work file, adding the current variant's
 * model lines and sections in its [ORV_HDC] section and its lines after
 * each [ControlFlags] and [Strings] header. Returns 1 only when the
 * driver's sections went in, the vendor INF was read and the whole work
 * file was written and closed without error; 0 otherwise, and then the
 * work file must not be committed. A class INF that cannot be opened, or a
 * work file that cannot be created, gives 0 with nothing touched.
 *
 * When the class INF already holds the driver it does not return: it
 * shows the already-installed message and ends the process with exit
 * code 0.
 */
int PatchClassInf(void);

/*
 * Keep the class INF as the backup, put the work file in its place and
 * delete the work file. Each step runs only when the one before it
 * succeeded, so the class INF is replaced only once a backup of it exists.
 * Returns 1 when the class INF was replaced.
 */
int CommitClassInf(void);

#endif /* IDE_CLASSINF_H */
