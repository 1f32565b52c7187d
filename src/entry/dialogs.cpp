#include "entry/publicclasses.h"

// Each dialog library that is built into this one is linked by
// src/entry/CMakeLists.txt and defines TORVEL_HAVE_<NAME> here; its
// registration function adds its forms to the dialog seam.
#ifdef TORVEL_HAVE_EDITOR
#include "ui/editor/frmbom.h"
#endif
#ifdef TORVEL_HAVE_REPORT
#include "ui/report/frmbomreport.h"
#endif
#ifdef TORVEL_HAVE_GROUP
#include "ui/group/frmbomgroup.h"
#endif
#ifdef TORVEL_HAVE_SELECT
#include "ui/select/frmbomselect.h"
#endif
#ifdef TORVEL_HAVE_COMPLETE
#include "ui/complete/frmbomcomplete.h"
#endif

namespace torvel {

void registerLibraryDialogs()
{
#ifdef TORVEL_HAVE_EDITOR
    registerBomEditor();   // frmBom
#endif
#ifdef TORVEL_HAVE_REPORT
    registerBomReport();   // frmBOMReport
#endif
#ifdef TORVEL_HAVE_GROUP
    registerBomGroup();    // frmBOMGroup
#endif
#ifdef TORVEL_HAVE_SELECT
    registerBomSelect();   // frmBOMSelect
#endif
#ifdef TORVEL_HAVE_COMPLETE
    registerCompleteDialog();   // frmBOMComplete
#endif
}

} // namespace torvel
