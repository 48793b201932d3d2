#include "session/valuebuffer.h"

namespace rpu {

int ValueBuffer::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : Count();
}

QVariant ValueBuffer::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= Count() || role != Qt::DisplayRole)
        return {};
    return QString::number(values_[std::size_t(index.row())]);
}

void ValueBuffer::Clear()
{
    SetValues({});
}

void ValueBuffer::SetValues(std::vector<std::uint32_t> values)
{
    beginResetModel();
    values_ = std::move(values);
    endResetModel();
}

void ValueBuffer::SetBytes(std::span<const std::uint8_t> bytes)
{
    SetValues(std::vector<std::uint32_t>(bytes.begin(), bytes.end()));
}

void ValueBuffer::SetCells(std::span<const int> cells)
{
    std::vector<std::uint32_t> values;
    values.reserve(cells.size());
    for (int cell : cells)
        values.push_back(static_cast<std::uint32_t>(cell));
    SetValues(std::move(values));
}

QStringList ValueBuffer::Lines() const
{
    QStringList lines;
    lines.reserve(Count());
    for (std::uint32_t v : values_)
        lines << QString::number(v);
    return lines;
}

} // namespace rpu
