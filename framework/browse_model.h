// The rows of a browse's current page as a Qt item model: one column per display field,
// formatted by the field's picture.
#pragma once

#include <QAbstractTableModel>
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
    // The page changed: show it again.
    void pageChanged();
    // One cell as shown.
    std::string text(int row, int column) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

  private:
    const BrowseView& view_;
    std::vector<Column> columns_;
};

}  // namespace corvix::framework
