#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace standin {

// Where each of many paths stands in a list, found without a heap node per path: an open-addressed
// table of views into strings the caller keeps alive and unchanged while the index is in use. A
// status of 100,000 files looks every reported path up here, and a node-based map's cache misses
// were a noticeable share of the query.
class PathIndex {
public:
    static constexpr std::size_t kAbsent = static_cast<std::size_t>(-1);

    explicit PathIndex(std::size_t expected = 0);

    // Records position for path unless the path is recorded already; returns the path's position.
    std::size_t Insert(std::string_view path, std::size_t position);
    // The path's position, or kAbsent.
    std::size_t Find(std::string_view path) const;
    std::size_t Size() const { return m_size; }

private:
    struct Slot {
        std::uint64_t hash = 0;
        std::string_view path;
        std::size_t position = kAbsent;
    };

    std::size_t Probe(std::string_view path, std::uint64_t hash) const;
    void Grow();

    std::vector<Slot> m_slots;
    std::size_t m_size = 0;
};

} // namespace standin
