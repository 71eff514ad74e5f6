#pragma once

#include <QStyledItemDelegate>

namespace marvek::shared {

// Draws picture cells and the drop-down mark of combo-box cells, and edits a combo-box cell with a
// combo box that exists only while the cell is being edited (no widget per cell).
class SpreadDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override;
    void setEditorData(QWidget* editor, const QModelIndex& index) const override;
    void setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const override;

private:
    // The user picked an item: the choice goes to the model at once.
    void commitAndCloseEditor();
};

} // namespace marvek::shared
