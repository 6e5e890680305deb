// Finding the host's singletons and a data-model manager's service components.
#pragma once

#include "lark/ISystem.h"
#include "qor4/IDataControl.h"
#include "qor4/IDataModelMgr.h"
#include "qor4/IFileVersionControl.h"
#include "qor4/QORPtr.h"

namespace HostNames {
constexpr const char kPrefManager[] = "PrefManager";
constexpr const char kDbProxy[] = "QORDBProxy";
constexpr const char kCommandManager[] = "UndoManager";
constexpr const char kPropertiesMgr[] = "RevisionControlPropertiesMgr";
constexpr const char kUIHelper[] = "RevisionControlUIHelper";
} // namespace HostNames

// The context every data-control call of the plug-in passes.
inline const qor4::DataControlContext kDataControlContext{1, 2, -1};
// The flags of every file-status query of the plug-in: none.
constexpr int kFilesStatusFlags = 0;
// The flags of every asset collection of the plug-in: none (the host defines none).
constexpr int kCollectAssetsFlags = 0;

// The host singleton registered under name, as T; null when it is missing or of another kind.
template <class T> T* GetHostSingleton(const char* name)
{
    lark::IBase* singleton = larkGetSystem()->GetSingleton(name);
    return dynamic_cast<T*>(singleton);
}

// The component uid of the manager's instance, narrowed to T. Throws qor4::ExBase::NullPtr when the
// manager or its instance is missing; empty when the instance has no such component.
template <class T>
qor4::QORPtr<T> GetManagerComponent(const qor4::QORPtr<qor4::IDataModelMgr>& manager, const qor4::InterfaceUID& uid)
{
    return qor4::QORPtr<T>(manager->GetManagerInstance()->GetComponent(uid));
}

inline qor4::QORPtr<qor4::IDataControl> GetDataControlOf(const qor4::QORPtr<qor4::IDataModelMgr>& manager)
{
    return GetManagerComponent<qor4::IDataControl>(manager, qor4::UID_DataControl());
}

inline qor4::QORPtr<qor4::IFileVersionControl> GetFileVersionControlOf(const qor4::QORPtr<qor4::IDataModelMgr>& manager)
{
    return GetManagerComponent<qor4::IFileVersionControl>(manager, qor4::UID_FileVersionControl());
}
