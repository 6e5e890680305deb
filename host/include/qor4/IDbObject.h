// Data-base objects and the handles through which plug-ins hold them.
//
// The data-model manager owns every object. A QORHandle keeps one reference to the object's entry
// in the manager's cache; the entry outlives the object itself, so a handle to a deleted object is
// not null but no longer valid.
#pragma once

#include "qor4/DbObjectId.h"
#include "qor4/QORPtr.h"

#include <functional>
#include <string>

namespace qor4 {

class IDataModelMgr;
class IQORInstance;

class IDbObject : public IQORUnknown {
public:
    virtual DbObjectId GetDbObjectId() const = 0;
    virtual std::string GetName() const = 0;
    virtual QORPtr<IDataModelMgr> GetManager() const = 0;
    // Null when the object was created since the last save.
    virtual VersionId GetAncestorId() const = 0;
    // False once the object has been deleted from the data base.
    virtual bool IsAlive() const = 0;
    // Position of the object in its manager's cache; with GetInstance it identifies the object.
    virtual int GetCacheIndex() const = 0;
    virtual IQORInstance* GetInstance() const = 0;

    static InterfaceUID GetIID() { return {"qor4.IDbObject"}; }
    static const char* GetInterfaceName() { return "qor4::IDbObject"; }

protected:
    ~IDbObject() = default;
};

// An asset: an object saved as one ".qor" file and, for some, further external files.
class IAsset : public IDbObject {
public:
    static InterfaceUID GetIID() { return {"qor4.IAsset"}; }
    static const char* GetInterfaceName() { return "qor4::IAsset"; }

protected:
    ~IAsset() = default;
};

template <class T> class QORHandleBase {
public:
    QORHandleBase() = default;
    explicit QORHandleBase(QORPtr<T> object) : m_object(std::move(object)) {}

    bool IsNull() const { return m_object.IsNull(); }
    bool IsValid() const { return !m_object.IsNull() && m_object.Get()->IsAlive(); }
    DbObjectId GetDbObjectId() const { return m_object->GetDbObjectId(); }
    std::string GetName() const { return m_object->GetName(); }
    QORPtr<IDataModelMgr> GetManager() const { return m_object->GetManager(); }
    VersionId GetAncestorId() const { return m_object->GetAncestorId(); }
    int GetCacheIndex() const { return m_object.IsNull() ? -1 : m_object.Get()->GetCacheIndex(); }
    IQORInstance* GetInstance() const { return m_object.IsNull() ? nullptr : m_object.Get()->GetInstance(); }
    T* Get() const { return m_object.Get(); }
    T* operator->() const { return m_object.operator->(); }

    // Handles order and compare by (instance, cache index); null handles come first.
    bool operator<(const QORHandleBase& other) const
    {
        if (GetInstance() != other.GetInstance()) return std::less<IQORInstance*>()(GetInstance(), other.GetInstance());
        return GetCacheIndex() < other.GetCacheIndex();
    }
    bool operator==(const QORHandleBase& other) const
    {
        return GetInstance() == other.GetInstance() && GetCacheIndex() == other.GetCacheIndex();
    }
    bool operator!=(const QORHandleBase& other) const { return !(*this == other); }

protected:
    QORPtr<T> m_object;
};

template <class T> class QORHandle : public QORHandleBase<T> {
public:
    QORHandle() = default;
    explicit QORHandle(QORPtr<T> object) : QORHandleBase<T>(std::move(object)) {}
    // Views the object as another interface; null when it does not implement it.
    template <class U> explicit QORHandle(const QORHandle<U>& other) : QORHandleBase<T>(QORPtr<T>(other.GetPtr())) {}
    const QORPtr<T>& GetPtr() const { return this->m_object; }
};

} // namespace qor4
