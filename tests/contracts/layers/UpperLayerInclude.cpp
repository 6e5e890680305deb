// Compiled as part of a stand-in folder by the layering test: a header of the Subversion backend,
// which the data model may not see and the session may.
#include "subversion/ChangeListFile.h"

int UpperLayerIncludeProbe()
{
    return 0;
}
