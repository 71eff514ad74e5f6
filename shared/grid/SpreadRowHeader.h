#pragma once

#include <QFont>
#include <QHeaderView>
#include <QPointer>
#include <QStyle>
#include <optional>
#include <utility>
#include <vector>

namespace marvek::shared {

// The grid's row header. Its size hint is the size of its widest label. Qt's own header measures the
// labels of the first and the last hundred rows for it, again each time a section is resized or the
// header is shown: on a list of thousands of rows that is more than the rest of the window's layout.
// The labels are the row numbers, the widest at the end, unless the program sets some; this header
// measures the first and the last ten rows shown, and measures again only when one of those rows, their
// labels, the font or the style changed.
class SpreadRowHeader : public QHeaderView {
public:
    explicit SpreadRowHeader(QWidget* parent = nullptr);

    QSize sizeHint() const override;

    static constexpr int MeasuredAtEachEnd = 10;

private:
    struct Measured {
        std::vector<std::pair<int, QString>> labels; // row (logical index) and label
        QFont font;
        QPointer<QStyle> style;
        QSize hint;
    };
    std::vector<std::pair<int, QString>> labelsToMeasure() const;

    mutable std::optional<Measured> m_measured;
};

} // namespace marvek::shared
