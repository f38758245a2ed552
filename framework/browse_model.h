// The rows of a browse's current page as a Qt item model: one column per display field,
// formatted by the field's picture.
#pragma once

#include <QAbstractTableModel>
#include <functional>
#include <string>
#include <vector>

#include "framework/browse_view.h"

namespace corvix::framework {

class BrowseModel : public QAbstractTableModel {
  public:
    struct Column {
        int field;
        std::string header;
        std::string picture;  // "" = the field's own picture
    };

    explicit BrowseModel(const BrowseView& view, QObject* parent = nullptr)
        : QAbstractTableModel(parent), view_(view) {}

    void addColumn(int field, std::string header, std::string picture = {});
    // What a window shows instead of the formatted field: an icon, a masked text. An
    // invalid QVariant keeps the default for that cell and role.
    using CellHook =
        std::function<QVariant(const storage::RecordBuffer& row, int column, int role)>;
    void setCellHook(CellHook hook) { cellHook_ = std::move(hook); }
    // The page changed: show it again.
    void pageChanged();
    int columnField(int column) const {
        return column >= 0 && column < static_cast<int>(columns_.size()) ? columns_[column].field
                                                                         : -1;
    }
    // One cell as shown.
    std::string text(int row, int column) const;
    // A column's text for any record of the table, as the list would show it (the cell
    // hook's text first), for printing and exporting rows beyond the page.
    std::string recordText(const storage::RecordBuffer& record, int column) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

  private:
    std::string formatted(const storage::RecordBuffer& record, int column) const;

    const BrowseView& view_;
    std::vector<Column> columns_;
    CellHook cellHook_;
};

}  // namespace corvix::framework
