#include "component/ClsMain.h"
#include "register/frmDscMain.h"

// TODO(register): the type lists.
void frmDscMain::LoadLists() {}
