#include "SpreadDelegate.h"

#include "SpreadModel.h"

#include <QApplication>
#include <QComboBox>
#include <QPainter>
#include <QStyle>

namespace marvek::shared {

namespace {

// Where a picture goes inside the cell rectangle: stretched (keeping its proportions when asked) or
// at its own size, placed by the cell's alignment.
QRect pictureRect(const QSize& picture, const QRect& cell, bool maintainScale, bool stretch,
                  Qt::Alignment alignment) {
    QSize size = picture;
    if (stretch)
        size = picture.scaled(cell.size(), maintainScale ? Qt::KeepAspectRatio : Qt::IgnoreAspectRatio);
    return QStyle::alignedRect(Qt::LeftToRight, alignment, size, cell);
}

} // namespace

void SpreadDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                           const QModelIndex& index) const {
    QStyledItemDelegate::paint(painter, option, index);
    const int type = index.data(SpreadModel::CellTypeRole).toInt();
    if (type == SpreadCell::Picture) {
        const QImage picture = index.data(SpreadModel::PictureRole).value<QImage>();
        if (picture.isNull())
            return;
        const QPoint scale = index.data(SpreadModel::PictureScaleRole).toPoint();
        const auto alignment = index.data(Qt::TextAlignmentRole).value<Qt::Alignment>();
        painter->save();
        painter->setClipRect(option.rect);
        painter->drawImage(
            pictureRect(picture.size(), option.rect, scale.x() != 0, scale.y() != 0, alignment), picture);
        painter->restore();
    } else if (type == SpreadCell::ComboBox) {
        QStyleOption arrow;
        arrow.initFrom(option.widget);
        const int side = qMin(option.rect.height(), 16);
        arrow.rect = QRect(option.rect.right() - side, option.rect.center().y() - side / 2, side, side);
        const QStyle* style = option.widget ? option.widget->style() : QApplication::style();
        style->drawPrimitive(QStyle::PE_IndicatorArrowDown, &arrow, painter, option.widget);
    }
}

QWidget* SpreadDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                                      const QModelIndex& index) const {
    if (index.data(SpreadModel::CellTypeRole).toInt() != SpreadCell::ComboBox)
        return QStyledItemDelegate::createEditor(parent, option, index);
    auto* combo = new QComboBox(parent); // owned by the view, which deletes it when editing ends
    combo->addItems(index.data(SpreadModel::ComboItemsRole).toStringList());
    connect(combo, &QComboBox::activated, this, &SpreadDelegate::commitAndCloseEditor);
    return combo;
}

void SpreadDelegate::commitAndCloseEditor() {
    if (auto* combo = qobject_cast<QComboBox*>(sender())) {
        Q_EMIT commitData(combo);
        Q_EMIT closeEditor(combo);
    }
}

void SpreadDelegate::setEditorData(QWidget* editor, const QModelIndex& index) const {
    if (auto* combo = qobject_cast<QComboBox*>(editor))
        combo->setCurrentIndex(index.data(Qt::EditRole).toInt());
    else
        QStyledItemDelegate::setEditorData(editor, index);
}

void SpreadDelegate::setModelData(QWidget* editor, QAbstractItemModel* model,
                                  const QModelIndex& index) const {
    if (auto* combo = qobject_cast<QComboBox*>(editor))
        model->setData(index, combo->currentIndex(), Qt::EditRole);
    else
        QStyledItemDelegate::setModelData(editor, model, index);
}

} // namespace marvek::shared
