#pragma once
// The value buffer: the numbers that pass between the device, the files and
// the pages (a registration image, a settings file, a firmware image). A
// hidden list shows it, one unsigned decimal per line.

#include <QAbstractListModel>
#include <QByteArray>
#include <QStringList>
#include <cstdint>
#include <span>
#include <vector>

namespace rpu {

class ValueBuffer final : public QAbstractListModel {
    Q_OBJECT
public:
    using QAbstractListModel::QAbstractListModel;

    int rowCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;

    void Clear();
    void SetValues(std::vector<std::uint32_t> values);
    void SetBytes(std::span<const std::uint8_t> bytes);
    void SetCells(std::span<const int> cells);
    const std::vector<std::uint32_t> &Values() const { return values_; }
    int Count() const { return int(values_.size()); }
    // The lines as the hidden list shows them.
    QStringList Lines() const;

private:
    std::vector<std::uint32_t> values_;
};

} // namespace rpu
