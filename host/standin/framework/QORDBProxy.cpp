#include "framework/QORDBProxy.h"

#include "BaseSystem/zrconnection.h"
#include "qor4/ExBase.h"

#include <string>
#include <utility>

namespace standin {

QORDBProxy::QORDBProxy() = default;
QORDBProxy::~QORDBProxy() = default;

lark::IBase* QORDBProxy::Create()
{
    return new QORDBProxy();
}

void QORDBProxy::Connect(Signal& signal, Handler handler, lark::fwk::IQORDBProxy_Slot* listener,
                         lark::signalling::IConnection** connection, const char* what)
{
    if (listener == nullptr) {
        qor4::PrintDebugString((std::string("QORDBProxy::") + what + ": no listener, nothing connected").c_str());
        if (connection) *connection = nullptr;
        return;
    }
    const boost::signals2::connection made = signal.connect([listener, handler] { (listener->*handler)(); });
    if (connection) *connection = new BaseSystem::zrconnection(made);
}

void QORDBProxy::ConnectDataModelMgrReady(lark::fwk::IQORDBProxy_Slot* listener,
                                          lark::signalling::IConnection** connection)
{
    Connect(m_dataModelMgrReady, &lark::fwk::IQORDBProxy_Slot::OnDataModelMgrReady, listener, connection,
            "ConnectDataModelMgrReady");
}

void QORDBProxy::ConnectItemLibraryReady(lark::fwk::IQORDBProxy_Slot* listener,
                                         lark::signalling::IConnection** connection)
{
    Connect(m_itemLibraryReady, &lark::fwk::IQORDBProxy_Slot::OnItemLibraryReady, listener, connection,
            "ConnectItemLibraryReady");
}

void QORDBProxy::ConnectItemLibraryReleased(lark::fwk::IQORDBProxy_Slot* listener,
                                            lark::signalling::IConnection** connection)
{
    Connect(m_itemLibraryReleased, &lark::fwk::IQORDBProxy_Slot::OnItemLibraryReleased, listener, connection,
            "ConnectItemLibraryReleased");
}

void QORDBProxy::SetDataModelMgr(qor4::QORPtr<qor4::IDataModelMgr> manager)
{
    m_manager = std::move(manager);
    if (!m_manager.IsNull()) m_dataModelMgrReady();
}

void QORDBProxy::SetItemLibrary(const opal::datamodel::ItemLibraryAccessor& library)
{
    m_library = library;
    m_itemLibraryReady();
}

void QORDBProxy::ReleaseItemLibrary()
{
    m_itemLibraryReleased();
    m_library = opal::datamodel::ItemLibraryAccessor();
}

} // namespace standin
