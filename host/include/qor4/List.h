// Host containers: qor4::List and the forward iterator qor4::ConstIterator.
#pragma once

#include <list>
#include <memory>
#include <utility>
#include <vector>

namespace qor4 {

template <class T> using List = std::list<T>;

// A snapshot the caller walks with First(), AtEnd(), Current() and Next().
template <class T> class ConstIterator {
public:
    ConstIterator() = default;
    explicit ConstIterator(std::vector<T> items) : m_items(std::make_shared<std::vector<T>>(std::move(items))) {}

    void First() { m_index = 0; }
    bool AtEnd() const { return !m_items || m_index >= m_items->size(); }
    const T& Current() const { return (*m_items)[m_index]; }
    const T& operator*() const { return Current(); }
    void Next() { ++m_index; }

private:
    std::shared_ptr<const std::vector<T>> m_items;
    std::size_t m_index = 0;
};

} // namespace qor4
