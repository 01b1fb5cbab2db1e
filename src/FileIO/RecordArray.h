// Internal helpers of the element and set classes: whether a pointer lies in a vector, and
// replacing a record vector with records that may come from the vector itself.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

/// Whether `pointer` lies inside `array`.
template <typename T> bool PointsInto(const T* pointer, const std::vector<T>& array)
{
    const T* begin = array.data();
    return pointer != nullptr && !array.empty() && std::less_equal<const T*>()(begin, pointer) &&
           std::less<const T*>()(pointer, begin + array.size());
}

/// Replaces `records` with `count` records from `source` (null only when count is 0). Safe
/// when `source` points into `records` itself (a set assigned to itself): such a copy goes
/// through a temporary, any other reuses the vector's capacity.
template <typename Record>
void AssignRecords(std::vector<Record>& records, const Record* source, std::uint32_t count)
{
    if (source == nullptr || count == 0)
    {
        records.clear();
        return;
    }
    if (PointsInto(source, records))
    {
        std::vector<Record> copy(source, source + count);
        records.swap(copy);
        return;
    }
    records.assign(source, source + count);
}
