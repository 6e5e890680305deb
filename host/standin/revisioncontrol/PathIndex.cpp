#include "revisioncontrol/PathIndex.h"

#include <functional>

namespace standin {

namespace {

constexpr std::size_t kSmallestTable = 16;

std::size_t TableSizeFor(std::size_t expected)
{
    // At most half full: probes stay short.
    std::size_t size = kSmallestTable;
    while (size < expected * 2)
        size *= 2;
    return size;
}

std::uint64_t HashOf(std::string_view path)
{
    return std::hash<std::string_view>{}(path);
}

} // namespace

PathIndex::PathIndex(std::size_t expected) : m_slots(TableSizeFor(expected)) {}

std::size_t PathIndex::Probe(std::string_view path, std::uint64_t hash) const
{
    const std::size_t mask = m_slots.size() - 1;
    std::size_t at = hash & mask;
    while (m_slots[at].position != kAbsent && (m_slots[at].hash != hash || m_slots[at].path != path))
        at = (at + 1) & mask;
    return at;
}

std::size_t PathIndex::Insert(std::string_view path, std::size_t position)
{
    if ((m_size + 1) * 2 > m_slots.size()) Grow();
    const std::uint64_t hash = HashOf(path);
    Slot& slot = m_slots[Probe(path, hash)];
    if (slot.position != kAbsent) return slot.position;
    slot = {hash, path, position};
    ++m_size;
    return position;
}

std::size_t PathIndex::Find(std::string_view path) const
{
    return m_slots[Probe(path, HashOf(path))].position;
}

void PathIndex::Grow()
{
    std::vector<Slot> old(m_slots.size() * 2);
    old.swap(m_slots);
    for (const Slot& slot : old)
        if (slot.position != kAbsent) m_slots[Probe(slot.path, slot.hash)] = slot;
}

} // namespace standin
