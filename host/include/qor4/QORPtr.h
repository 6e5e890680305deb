// Reference counting for host services: IQORUnknown and QORPtr<T>.
//
// Every host service is reference counted. QORPtr<T> holds one reference; building it from a
// pointer of another interface asks that object for T through QueryInterface with T::GetIID(),
// which yields an empty pointer when the object does not implement T. Dereferencing an empty
// QORPtr throws ExBase::NullPtr (after echoing the failure to the debug output unless a
// DisableErrorReportingGuard is alive).
#pragma once

#include "qor4/ExBase.h"
#include "qor4/InterfaceUID.h"

#include <string>
#include <utility>

namespace qor4 {

class IQORUnknown {
public:
    virtual void AddRef() = 0;
    virtual void Release() = 0;
    // On success stores an added reference in *object and answers true.
    virtual bool QueryInterface(const InterfaceUID& iid, void** object) = 0;

    static InterfaceUID GetIID() { return {"qor4.IQORUnknown"}; }
    static const char* GetInterfaceName() { return "qor4::IQORUnknown"; }

protected:
    ~IQORUnknown() = default;
};

template <class T> class QORPtr {
public:
    QORPtr() = default;
    // Takes a new reference to p (none when p is null).
    explicit QORPtr(T* p) : m_p(p)
    {
        if (m_p) m_p->AddRef();
    }
    QORPtr(const QORPtr& other) : QORPtr(other.m_p) {}
    QORPtr(QORPtr&& other) noexcept : m_p(std::exchange(other.m_p, nullptr)) {}
    // Narrows or widens another service pointer through QueryInterface.
    template <class U> explicit QORPtr(const QORPtr<U>& other)
    {
        if (U* source = other.Get()) {
            void* found = nullptr;
            if (source->QueryInterface(T::GetIID(), &found)) m_p = static_cast<T*>(found);
        }
    }
    ~QORPtr() { Reset(); }

    QORPtr& operator=(QORPtr other) noexcept
    {
        std::swap(m_p, other.m_p);
        return *this;
    }

    // Adopts a pointer that already carries a reference for the caller.
    static QORPtr Attach(T* p)
    {
        QORPtr result;
        result.m_p = p;
        return result;
    }

    void Reset()
    {
        if (T* p = std::exchange(m_p, nullptr)) p->Release();
    }

    T* Get() const { return m_p; }
    bool IsNull() const { return m_p == nullptr; }
    explicit operator bool() const { return m_p != nullptr; }
    T* operator->() const { return GetPointeeNotNull(); }
    T& operator*() const { return *GetPointeeNotNull(); }
    bool operator==(const QORPtr& other) const { return m_p == other.m_p; }
    bool operator!=(const QORPtr& other) const { return m_p != other.m_p; }

private:
    T* GetPointeeNotNull() const
    {
        if (!m_p) {
            const std::string text =
                std::string("qor4::QORPtrBase<class ") + T::GetInterfaceName() + ">::GetPointeeNotNull";
            if (!DisableErrorReportingGuard::IsErrorReportingDisabled()) PrintDebugString(text.c_str());
            throw ExBase::NullPtr(text, __FILE__, kNullPointerLine);
        }
        return m_p;
    }

    static constexpr int kNullPointerLine = 102;
    T* m_p = nullptr;
};

} // namespace qor4
