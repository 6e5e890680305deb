// Operations whose flows are still being written; each moves to its own file when done.
#include "CRevisionControlUIHelper.h"

bool CRevisionControlUIHelper::CheckOutObjects(const DbObjectHandles&, bool*, bool) { return false; }
bool CRevisionControlUIHelper::PromptCheckOutObjects(const DbObjectHandles&, bool, bool, const std::string&) { return false; }
void CRevisionControlUIHelper::OnPreSave(const opal::datamodel::ItemLibraryAccessor&, bool*) {}
void CRevisionControlUIHelper::OnPostSave(const opal::datamodel::ItemLibraryAccessor&) {}
