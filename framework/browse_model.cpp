#include "framework/browse_model.h"

#include "runtime/picture.h"

namespace corvix::framework {

void BrowseModel::addColumn(int field, std::string header, std::string picture) {
    beginResetModel();
    columns_.push_back({field, std::move(header), std::move(picture)});
    endResetModel();
}

void BrowseModel::pageChanged() {
    beginResetModel();
    endResetModel();
}

std::string BrowseModel::text(int row, int column) const {
    const auto& rows = view_.rows();
    if (row < 0 || row >= static_cast<int>(rows.size())) return {};
    return formatted(rows[row].record, column);
}

std::string BrowseModel::recordText(const storage::RecordBuffer& record, int column) const {
    if (cellHook_) {
        const QVariant v = cellHook_(record, column, Qt::DisplayRole);
        if (v.isValid()) return v.toString().toStdString();
    }
    return runtime::rightTrim(formatted(record, column));
}

std::string BrowseModel::formatted(const storage::RecordBuffer& rec, int column) const {
    if (column < 0 || column >= static_cast<int>(columns_.size())) return {};
    const Column& c = columns_[column];
    const auto& field = rec.decl().fields[c.field];
    const std::string& picture = c.picture.empty() ? field.picture : c.picture;
    if (field.type == storage::FieldType::String)
        return runtime::formatText(rec.getString(c.field), picture.empty() ? "@s255" : picture);
    if (picture.empty()) return rec.getString(c.field);
    return runtime::formatPicture(rec.getReal(c.field), picture);
}

int BrowseModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(view_.rows().size());
}

int BrowseModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(columns_.size());
}

QVariant BrowseModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= static_cast<int>(view_.rows().size())) return {};
    if (cellHook_) {
        QVariant v = cellHook_(view_.rows()[index.row()].record, index.column(), role);
        if (v.isValid()) return v;
    }
    if (role != Qt::DisplayRole) return {};
    return QString::fromStdString(runtime::rightTrim(text(index.row(), index.column())));
}

QVariant BrowseModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole || orientation != Qt::Horizontal || section < 0 ||
        section >= static_cast<int>(columns_.size()))
        return {};
    return QString::fromStdString(columns_[section].header);
}

}  // namespace corvix::framework
