#pragma once
// The value buffer: the numbers that pass between the device, the files and
// the pages (a registration image, a settings file, a firmware image). A
// hidden list shows it, one unsigned decimal per line. Values that all fit a
// byte (firmware and registration images) are kept as bytes: a 2 MiB image
// takes 2 MiB here, not four times that.

#include <QAbstractListModel>
#include <QByteArray>
#include <QStringList>
#include <cstdint>
#include <optional>
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
    int Count() const { return int(wide_ ? values_.size() : bytes_.size()); }
    std::uint32_t Value(int row) const { return wide_ ? values_[std::size_t(row)] : bytes_[std::size_t(row)]; }
    // The values, widened: a copy.
    std::vector<std::uint32_t> Values() const;
    // The values as bytes, when every one of them is a byte.
    std::optional<std::span<const std::uint8_t>> Bytes() const;
    // The lines as the hidden list shows them.
    QStringList Lines() const;

private:
    template <typename Range>
    void Take(const Range &values);

    std::vector<std::uint8_t> bytes_;
    std::vector<std::uint32_t> values_; // only when a value does not fit a byte
    bool wide_ = false;
};

} // namespace rpu
