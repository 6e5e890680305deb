// QORDBProxy: the singleton "QORDBProxy". The stand-in host sets the open data base's manager and
// item library here, and the proxy tells its listeners through three signals.
#pragma once

#include "HostExport.h"
#include "lark/ISystem.h"
#include "lark/fwk/IQORDBProxy.h"

#include <boost/signals2/signal.hpp>

namespace standin {

class HOST_API QORDBProxy final : public lark::fwk::IQORDBProxy,
                                  public lark::ISingleton,
                                  public lark::IBase,
                                  public lark::IDestroy {
public:
    static constexpr const char* kSingletonName = "QORDBProxy";
    static constexpr const char* kClassName = "Standin.QORDBProxy";

    QORDBProxy();
    ~QORDBProxy() override;

    static lark::IBase* Create();

    void ConnectDataModelMgrReady(lark::fwk::IQORDBProxy_Slot* listener,
                                  lark::signalling::IConnection** connection) override;
    void ConnectItemLibraryReady(lark::fwk::IQORDBProxy_Slot* listener,
                                 lark::signalling::IConnection** connection) override;
    void ConnectItemLibraryReleased(lark::fwk::IQORDBProxy_Slot* listener,
                                    lark::signalling::IConnection** connection) override;
    bool HasDataModelMgr() override { return !m_manager.IsNull(); }
    qor4::QORPtr<qor4::IDataModelMgr> GetDataModelMgr() override { return m_manager; }
    opal::datamodel::ItemLibraryAccessor GetItemLibrary() override { return m_library; }

    void Init() override {}
    void Term() override {}
    const char* GetClsName() const override { return kClassName; }

    // Installs the manager and, when it is not empty, announces it.
    void SetDataModelMgr(qor4::QORPtr<qor4::IDataModelMgr> manager);
    // Installs the open library and announces it.
    void SetItemLibrary(const opal::datamodel::ItemLibraryAccessor& library);
    // Announces the release while the library is still reported, then forgets it.
    void ReleaseItemLibrary();

    // Listeners currently connected to each signal (blocked ones included).
    std::size_t DataModelMgrReadyListeners() const { return m_dataModelMgrReady.num_slots(); }
    std::size_t ItemLibraryReadyListeners() const { return m_itemLibraryReady.num_slots(); }
    std::size_t ItemLibraryReleasedListeners() const { return m_itemLibraryReleased.num_slots(); }

private:
    using Signal = boost::signals2::signal<void()>;
    using Handler = void (lark::fwk::IQORDBProxy_Slot::*)();

    static void Connect(Signal& signal, Handler handler, lark::fwk::IQORDBProxy_Slot* listener,
                        lark::signalling::IConnection** connection, const char* what);

    Signal m_dataModelMgrReady;
    Signal m_itemLibraryReady;
    Signal m_itemLibraryReleased;
    qor4::QORPtr<qor4::IDataModelMgr> m_manager;
    opal::datamodel::ItemLibraryAccessor m_library;
};

} // namespace standin
