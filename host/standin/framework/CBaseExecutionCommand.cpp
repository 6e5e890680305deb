#include "opal/datamodel/modify/CBaseExecutionCommand.h"

namespace opal::datamodel::modify {

CBaseExecutionCommand::CBaseExecutionCommand(const ItemLibraryAccessor& library, const char* name)
    : CBaseCommand(name), m_library(library)
{
}

CBaseExecutionCommand::~CBaseExecutionCommand()
{
    delete m_returnValue;
}

bool CBaseExecutionCommand::DoAction()
{
    return ExecuteAction();
}

// Revision-control work cannot be taken back.
bool CBaseExecutionCommand::UndoAction()
{
    return false;
}

void CBaseExecutionCommand::SetReturnValue(IntParam* value)
{
    if (value == m_returnValue) return;
    delete m_returnValue;
    m_returnValue = value;
}

} // namespace opal::datamodel::modify
