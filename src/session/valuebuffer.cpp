#include "session/valuebuffer.h"

#include <algorithm>

namespace rpu {

int ValueBuffer::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : Count();
}

QVariant ValueBuffer::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= Count() || role != Qt::DisplayRole)
        return {};
    return QString::number(Value(index.row()));
}

void ValueBuffer::Clear()
{
    SetBytes({});
}

// Bytes when every value is one, else the values as they are. A negative
// cell keeps its 32-bit pattern, as before.
template <typename Range>
void ValueBuffer::Take(const Range &values)
{
    const bool wide = std::any_of(values.begin(), values.end(),
                                  [](auto v) { return static_cast<std::uint32_t>(v) > 0xFF; });
    beginResetModel();
    wide_ = wide;
    if (wide) {
        bytes_ = {};
        values_.assign(values.size(), 0);
        std::transform(values.begin(), values.end(), values_.begin(),
                       [](auto v) { return static_cast<std::uint32_t>(v); });
    } else {
        values_ = {};
        bytes_.assign(values.size(), 0);
        std::transform(values.begin(), values.end(), bytes_.begin(),
                       [](auto v) { return static_cast<std::uint8_t>(v); });
    }
    endResetModel();
}

void ValueBuffer::SetValues(std::vector<std::uint32_t> values)
{
    Take(values);
}

void ValueBuffer::SetBytes(std::span<const std::uint8_t> bytes)
{
    Take(bytes);
}

void ValueBuffer::SetCells(std::span<const int> cells)
{
    Take(cells);
}

std::vector<std::uint32_t> ValueBuffer::Values() const
{
    if (wide_)
        return values_;
    return std::vector<std::uint32_t>(bytes_.begin(), bytes_.end());
}

std::optional<std::span<const std::uint8_t>> ValueBuffer::Bytes() const
{
    if (wide_)
        return std::nullopt;
    return std::span<const std::uint8_t>(bytes_);
}

QStringList ValueBuffer::Lines() const
{
    QStringList lines;
    lines.reserve(Count());
    for (int row = 0; row < Count(); ++row)
        lines << QString::number(Value(row));
    return lines;
}

} // namespace rpu
