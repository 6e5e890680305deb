#include "IRevisionControlPropertiesMgr.h"

#include "BaseSystem/zrconnection.h"

IRevisionControlPropertiesMgr::~IRevisionControlPropertiesMgr() = default;

void IRevisionControlPropertiesMgr::Connect(IRevisionControlPropertiesMgr_Slot* listener,
                                            lark::signalling::IConnection** connection)
{
    const boost::signals2::connection made = m_changed.connect(
        [listener](IRevisionControlPropertiesMgr* manager) { listener->OnPropertiesChanged(manager); },
        boost::signals2::at_back);
    if (connection) *connection = new BaseSystem::zrconnection(made);
}
