// A map from object addresses to small values, for the walks that meet every
// object of a large model once: open addressing in one array, grown at half
// full, so that a look-up is a probe or two rather than a chain of nodes,
// and an insert allocates nothing until the array grows.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

template <class Value>
class PointerMap {
public:
    // Makes room for this many keys without growing.
    void Reserve(std::size_t count)
    {
        std::size_t size = 16;
        while (size < 2 * count)
            size *= 2;
        if (size > m_slots.size())
            Rehash(size);
    }

    // The value of a key, or null when the key is not in the map.
    Value* Find(const void* key)
    {
        if (m_slots.empty())
            return nullptr;
        for (std::size_t i = Home(key);; i = (i + 1) & (m_slots.size() - 1)) {
            if (m_slots[i].key == key)
                return &m_slots[i].value;
            if (!m_slots[i].key)
                return nullptr;
        }
    }

    // Adds a key that is not in the map yet; null keys are not kept.
    void Insert(const void* key, const Value& value)
    {
        if (!key)
            return;
        if (2 * (m_count + 1) > m_slots.size())
            Rehash(m_slots.empty() ? 16 : 2 * m_slots.size());
        Place(key, value);
        ++m_count;
    }

    std::size_t Size() const { return m_count; }

private:
    struct Slot {
        const void* key = nullptr;
        Value value{};
    };

    std::size_t Home(const void* key) const
    {
        // Fibonacci hashing of the address; its low bits are alignment.
        const auto bits = static_cast<std::uint64_t>(reinterpret_cast<std::uintptr_t>(key));
        return static_cast<std::size_t>((bits * 0x9E3779B97F4A7C15ull) >> m_shift);
    }

    void Place(const void* key, const Value& value)
    {
        std::size_t i = Home(key);
        while (m_slots[i].key)
            i = (i + 1) & (m_slots.size() - 1);
        m_slots[i].key = key;
        m_slots[i].value = value;
    }

    void Rehash(std::size_t size)
    {
        std::vector<Slot> old = std::move(m_slots);
        m_slots.assign(size, Slot{});
        m_shift = 64;
        for (std::size_t s = size; s > 1; s /= 2)
            --m_shift;
        for (const Slot& slot : old)
            if (slot.key)
                Place(slot.key, slot.value);
    }

    std::vector<Slot> m_slots;
    std::size_t m_count = 0;
    unsigned m_shift = 64;
};
