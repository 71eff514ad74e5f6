#include "shared/grid/SpreadRowHeader.h"

#include <QAbstractItemModel>

namespace marvek::shared {

SpreadRowHeader::SpreadRowHeader(QWidget* parent) : QHeaderView(Qt::Vertical, parent) {
    // As a table view's own row header: a click selects the row, the current row's label is bold.
    setSectionsClickable(true);
    setHighlightSections(true);
}

std::vector<std::pair<int, QString>> SpreadRowHeader::labelsToMeasure() const {
    std::vector<std::pair<int, QString>> labels;
    const QAbstractItemModel* const source = model();
    if (source == nullptr)
        return labels;
    const auto add = [&](int row) {
        labels.emplace_back(row, source->headerData(row, Qt::Vertical, Qt::DisplayRole).toString());
    };
    const int rows = count();
    int first = 0;
    for (int shown = 0; first < rows && shown < MeasuredAtEachEnd; ++first) {
        if (!isSectionHidden(first)) {
            add(first);
            ++shown;
        }
    }
    for (int row = rows - 1, shown = 0; row >= first && shown < MeasuredAtEachEnd; --row) {
        if (!isSectionHidden(row)) {
            add(row);
            ++shown;
        }
    }
    return labels;
}

QSize SpreadRowHeader::sizeHint() const {
    std::vector<std::pair<int, QString>> labels = labelsToMeasure();
    if (labels.empty())
        return QSize(0, 0);
    if (m_measured && m_measured->labels == labels && m_measured->font == font() &&
        m_measured->style == style())
        return m_measured->hint;
    QSize hint(0, 0);
    for (const auto& [row, label] : labels)
        hint = hint.expandedTo(sectionSizeFromContents(row));
    m_measured = Measured{std::move(labels), font(), style(), hint};
    return hint;
}

} // namespace marvek::shared
