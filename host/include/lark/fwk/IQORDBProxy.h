// IQORDBProxy: the singleton "QORDBProxy", the host's access to the open data base.
//
// It announces, through three signals, when a data-model manager becomes available and when an
// item library is opened or released. Listeners implement IQORDBProxy_Slot; each Connect call
// hands the caller a new IConnection that the caller owns (and must Disconnect and delete).
#pragma once

#include "lark/signalling/IConnection.h"
#include "opal/datamodel/Accessors.h"
#include "qor4/IDataModelMgr.h"
#include "qor4/QORPtr.h"

namespace lark::fwk {

class IQORDBProxy_Slot {
public:
    virtual ~IQORDBProxy_Slot() = default;
    virtual void OnDataModelMgrReady() {}
    virtual void OnItemLibraryReady() {}
    virtual void OnItemLibraryReleased() {}
};

class IQORDBProxy {
public:
    virtual void ConnectDataModelMgrReady(IQORDBProxy_Slot* listener, signalling::IConnection** connection) = 0;
    virtual void ConnectItemLibraryReady(IQORDBProxy_Slot* listener, signalling::IConnection** connection) = 0;
    virtual void ConnectItemLibraryReleased(IQORDBProxy_Slot* listener, signalling::IConnection** connection) = 0;
    virtual bool HasDataModelMgr() = 0;
    // Empty when no data base is open.
    virtual qor4::QORPtr<qor4::IDataModelMgr> GetDataModelMgr() = 0;
    // The open item library; an invalid accessor when none is open.
    virtual opal::datamodel::ItemLibraryAccessor GetItemLibrary() = 0;

protected:
    ~IQORDBProxy() = default;
};

} // namespace lark::fwk
