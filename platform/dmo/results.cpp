#include "dmo/dmo.h"

#include <libpq-fe.h>

#include <charconv>
#include <climits>

namespace dmo {

namespace {

constexpr std::uint32_t kBoolOid = 16;
constexpr std::uint32_t kByteaOid = 17;

} // namespace

void QueryResults::AddSet(Set set)
{
    m_sets.push_back(std::move(set));
    if (m_current == 0)
        m_current = 1;
}

int QueryResults::ResultSets() const { return static_cast<int>(m_sets.size()); }

void QueryResults::SetCurrentResultSet(int set)
{
    if (set == 0 && m_sets.empty()) {
        m_current = 0;
        return;
    }
    if (set < 1 || set > ResultSets())
        throw Error(kErrNotFound, "result set '" + std::to_string(set) + "' not found");
    m_current = set;
}

int QueryResults::Rows() const
{
    return m_current == 0 ? 0 : static_cast<int>(m_sets[static_cast<std::size_t>(m_current) - 1].rows.size());
}

int QueryResults::Columns() const
{
    return m_current == 0 ? 0 : static_cast<int>(m_sets[static_cast<std::size_t>(m_current) - 1].types.size());
}

const std::optional<std::string>& QueryResults::cell(int row, int column) const
{
    if (row < 1 || row > Rows() || column < 1 || column > Columns())
        throw Error(kErrArgument, "row " + std::to_string(row) + ", column " + std::to_string(column) +
                                      " is outside the result set");
    return m_sets[static_cast<std::size_t>(m_current) - 1]
        .rows[static_cast<std::size_t>(row) - 1][static_cast<std::size_t>(column) - 1];
}

std::int32_t QueryResults::GetColumnLong(int row, int column) const
{
    const auto& value = cell(row, column);
    if (!value)
        return 0;
    const std::string& text = *value;
    if (m_sets[static_cast<std::size_t>(m_current) - 1].types[static_cast<std::size_t>(column) - 1] == kBoolOid)
        return text == "t" ? 1 : 0;
    // Integers, and numerics whose fraction is all zeros.
    auto notInteger = [&] { return Error(kErrArgument, "the value '" + text + "' is not a 32-bit integer"); };
    std::string_view digits = text;
    if (auto dot = digits.find('.'); dot != std::string_view::npos) {
        if (digits.find_first_not_of('0', dot + 1) != std::string_view::npos)
            throw notInteger();
        digits = digits.substr(0, dot);
    }
    if (!digits.empty() && digits.front() == '+')
        digits.remove_prefix(1);
    long long v = 0;
    auto [ptr, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), v);
    if (digits.empty() || ec != std::errc() || ptr != digits.data() + digits.size() || v < INT32_MIN ||
        v > INT32_MAX)
        throw notInteger();
    return static_cast<std::int32_t>(v);
}

std::string QueryResults::GetColumnString(int row, int column) const
{
    const auto& value = cell(row, column);
    return value ? *value : std::string();
}

std::vector<std::uint8_t> QueryResults::GetColumnBinary(int row, int column) const
{
    const auto& value = cell(row, column);
    if (!value)
        return {};
    if (m_sets[static_cast<std::size_t>(m_current) - 1].types[static_cast<std::size_t>(column) - 1] == kByteaOid) {
        std::size_t length = 0;
        unsigned char* raw = PQunescapeBytea(reinterpret_cast<const unsigned char*>(value->c_str()), &length);
        if (!raw)
            throw std::bad_alloc();
        std::vector<std::uint8_t> bytes(raw, raw + length);
        PQfreemem(raw);
        return bytes;
    }
    return std::vector<std::uint8_t>(value->begin(), value->end());
}

long QueryResults::GetColumnBinaryLength(int row, int column) const
{
    return static_cast<long>(GetColumnBinary(row, column).size());
}

} // namespace dmo
