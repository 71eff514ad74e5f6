#include "platform/testing/TempMachine.h"
#include "shared/grid/SpreadListing.h"
#include "shared/grid/SpreadModel.h"
#include "shared/grid/clsSpread.h"
#include "shared/grid/vaSpread.h"
#include "shared/testing/SharedTestContext.h"

#include <QBrush>
#include <QCoreApplication>
#include <QDir>
#include <QHeaderView>
#include <QLabel>
#include <QRect>
#include <QTableView>
#include <gtest/gtest.h>

using namespace marvek::shared;

namespace {

// A form with one registered grid of `rows` x `cols`, every cell "r<row>c<col>", written white.
class GridForm {
public:
    GridForm(int rows, int cols) : spread(new vaSpread(&form)) {
        spread->setMaxCols(cols);
        grid = spd.SpdIni(spread);
        spd.SpdClear(grid, 0, -1, -1, -1, -1);
        for (int row = 1; row <= rows; ++row) {
            spd.SpdMaxRowsChg(grid, row);
            QVariantList items;
            for (int col = 1; col <= cols; ++col)
                items << QStringLiteral("r%1c%2").arg(row).arg(col);
            spd.SpdItemRowSet(grid, row, QStringLiteral("1"), items);
        }
    }

    vaSpread* at(int row, int col) const { // the cell the spread's cell properties refer to
        spread->setRow(row);
        spread->setCol(col);
        return spread;
    }
    QString text(int row, int col) const { return spd.SpdItemGet(grid, row, col).toString(); }
    QStringList row(int row) const {
        QStringList texts;
        for (int col = 1; col <= spread->MaxCols(); ++col)
            texts << text(row, col);
        return texts;
    }

    QWidget form;
    vaSpread* spread; // child of form
    clsSpread spd;
    qint16 grid = 0;
};

TEST(GridWrapper, NumbersGridsFromOneNeverReusesANumberAndIgnoresUnknownOnes) {
    GridForm f(2, 2);
    auto* gone = new vaSpread(&f.form);
    EXPECT_EQ(f.grid, 1);
    EXPECT_EQ(f.spd.SpdIni(gone), 2);
    EXPECT_EQ(f.spd.SpdIni(nullptr), 0);
    // A grid that is gone keeps its number taken; using that number, or one never given, does nothing.
    delete gone;
    auto* third = new vaSpread(&f.form);
    EXPECT_EQ(f.spd.SpdIni(third), 3);
    for (const qint16 grid : {qint16(0), qint16(-1), qint16(2), qint16(4), qint16(99)}) {
        f.spd.SpdClear(grid, 0, -1, -1, -1, -1);
        f.spd.SpdMaxRowsChg(grid, 9);
        f.spd.SpdCmboSet(grid, 1, QStringLiteral("a"), -1, -1);
        f.spd.SpdItemSet(grid, 1, 1, QStringLiteral("0"), QStringLiteral("x"));
        const QVariant got = f.spd.SpdItemGet(grid, 1, 1);
        EXPECT_EQ(got.typeId(), QMetaType::QString);
        EXPECT_EQ(got.toString(), QString());
    }
    EXPECT_EQ(f.spread->MaxRows(), 2);
    EXPECT_EQ(f.text(1, 1), QStringLiteral("r1c1"));
    EXPECT_EQ(f.spread->CellType(), vaSpread::CellTypeEdit);

    f.spd.clsSpead_Initialize();
    EXPECT_EQ(f.spd.SpdIni(third), 1);
}

TEST(GridWrapper, RegistrationMakesARowListTheUserCannotType) {
    GridForm f(2, 3);
    EXPECT_EQ(f.spread->view()->selectionBehavior(), QAbstractItemView::SelectRows);
    EXPECT_EQ(f.spread->view()->selectionMode(), QAbstractItemView::SingleSelection);
    // The manager reads a manual's folder back from its row: listed texts are not editable.
    const QModelIndex cell = f.spread->model().index(0, 1);
    EXPECT_FALSE(f.spread->model().flags(cell) & Qt::ItemIsEditable);
}

TEST(GridWrapper, ClearsTheBlockAndSetsTheRowCount) {
    const struct {
        const char* name;
        int changeMaxRow, row1, col1, row2, col2;
        int maxRowsAfter, activeRowAfter;
        QRect cleared; // (col, row) of the cells emptied; every other remaining cell keeps its text
    } cases[] = {
        {"whole grid, no rows left", 0, -1, -1, -1, -1, 0, 0, {}},
        {"whole grid, rows kept", -1, -1, -1, -1, -1, 4, 1, QRect(QPoint(1, 1), QPoint(3, 4))},
        {"one block", -1, 2, 2, 3, 3, 4, 1, QRect(QPoint(2, 2), QPoint(3, 3))},
        {"from row 3 to the last row", -1, 3, -1, -1, -1, 4, 1, QRect(QPoint(1, 3), QPoint(3, 4))},
        {"whole grid, two rows left", 2, -1, -1, -1, -1, 2, 1, QRect(QPoint(1, 1), QPoint(3, 2))},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        GridForm f(4, 3);
        f.at(4, 2)->setAction(vaSpread::ActionActiveCell);
        ASSERT_EQ(f.spread->ActiveRow(), 4);

        f.spd.SpdClear(f.grid, c.changeMaxRow, c.row1, c.col1, c.row2, c.col2);
        EXPECT_EQ(std::pair(f.spread->MaxRows(), f.spread->ActiveRow()),
                  std::pair(c.maxRowsAfter, c.activeRowAfter));
        for (int row = 1; row <= c.maxRowsAfter; ++row) {
            for (int col = 1; col <= 3; ++col)
                EXPECT_EQ(f.text(row, col), c.cleared.contains(col, row)
                                                ? QString()
                                                : QStringLiteral("r%1c%2").arg(row).arg(col))
                    << row << "," << col;
        }
        if (c.activeRowAfter == 1) {
            // Clearing again (row 1 already active) still shows row 1 selected.
            f.spd.SpdClear(f.grid, -1, -1, -1, -1, -1);
            EXPECT_TRUE(f.spread->view()->selectionModel()->isRowSelected(0));
        }
        // Rows added again start empty and white.
        f.spd.SpdMaxRowsChg(f.grid, 4);
        if (c.maxRowsAfter < 4) {
            EXPECT_EQ(std::pair(f.text(4, 1), f.at(4, 1)->BackColor()),
                      std::pair(QString(), clsSpread::PlainColor));
        }
    }
}

TEST(GridWrapper, FlagZeroPaintsLightBlueAnyOtherFlagWhite) {
    const struct {
        const char* flag;
        quint32 color;
    } cases[] = {{"0", 0xFFD5AA}, {"1", 0xFFFFFF}, {"", 0xFFFFFF}, {" 0", 0xFFFFFF}, {"00", 0xFFFFFF}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.flag);
        GridForm f(2, 2);
        f.spd.SpdItemSet(f.grid, 2, 2, QString::fromLatin1(c.flag), QStringLiteral("x"));
        EXPECT_EQ(f.at(2, 2)->BackColor(), c.color);
        // The colour value is blue-green-red; the view gets red AA, green D5, blue FF for light blue.
        const QBrush brush = f.spread->model().index(1, 1).data(Qt::BackgroundRole).value<QBrush>();
        EXPECT_EQ(brush.color(), QColor(int(c.color & 0xFF), int((c.color >> 8) & 0xFF), int(c.color >> 16)));
        // The neighbour keeps its own colour.
        EXPECT_EQ(f.at(2, 1)->BackColor(), 0xFFFFFFu);
    }
}

TEST(GridWrapper, RowSetWritesItsItemsFromColumnOneAndRowZeroHoldsTheTitles) {
    GridForm f(2, 4);
    f.spd.SpdItemRowSet(f.grid, 2, QStringLiteral("0"), {QStringLiteral("a"), 7, QStringLiteral("c")});
    EXPECT_EQ(f.row(2), QStringList({"a", "7", "c", "r2c4"}));
    // Beyond the grid nothing is written and nothing is read.
    f.spd.SpdItemRowSet(f.grid, 3, QStringLiteral("0"), {QStringLiteral("z")});
    EXPECT_EQ(f.spread->MaxRows(), 2);
    EXPECT_EQ(f.text(3, 1), QString());

    f.spd.SpdItemRowSet(f.grid, 0, QStringLiteral("1"), {QStringLiteral("PubNo"), QStringLiteral("InsPath")});
    // A column without a title of its own shows its letter.
    EXPECT_EQ(f.row(0), QStringList({"PubNo", "InsPath", "C", "D"}));
    EXPECT_EQ(f.spread->model().headerData(1, Qt::Horizontal, Qt::DisplayRole).toString(),
              QStringLiteral("InsPath"));
    // Clearing the whole grid keeps the titles.
    f.spd.SpdClear(f.grid, 0, -1, -1, -1, -1);
    EXPECT_EQ(f.text(0, 1), QStringLiteral("PubNo"));
}

TEST(GridWrapper, NewRowsGetTheRegisteredHeightAndTheHeaderKeepsItsOwn) {
    for (const bool listing : {false, true}) {
        SCOPED_TRACE(listing ? "inside a listing" : "painting on");
        QWidget form;
        auto* spread = new vaSpread(&form);
        spread->setMaxCols(2);
        spread->setRowHeight(-1, 22);
        spread->setRowHeight(0, 30);
        clsSpread spd;
        const qint16 grid = spd.SpdIni(spread);
        spd.SpdMaxRowsChg(grid, 3);
        // The user drags row 2 and the header to new heights.
        spread->view()->verticalHeader()->resizeSection(1, 41);
        spread->setRowHeight(0, 35);
        ASSERT_EQ(spread->RowHeight(2), 41);

        if (listing)
            spd.SplListingStart(&form);
        spd.SpdMaxRowsChg(grid, 6);
        if (listing)
            spd.SplListingEnd(&form);
        QCoreApplication::processEvents();
        EXPECT_EQ(spread->RowHeight(0), 35);
        EXPECT_EQ(spread->view()->horizontalHeader()->height(), 35);
        for (int row = 1; row <= 6; ++row) {
            EXPECT_EQ(spread->RowHeight(row), 22) << row;
            EXPECT_EQ(spread->view()->rowHeight(row - 1), 22) << row;
        }
    }
}

TEST(GridWrapper, ListingSuspendsEveryGridOfTheFormAndShowsTheFillInOneStep) {
    QWidget form;
    QWidget panel(&form);
    auto* first = new vaSpread(&form);
    auto* nested = new vaSpread(&panel);
    new QLabel(QStringLiteral("not a grid"), &form);
    clsSpread spd;
    const qint16 grid = spd.SpdIni(first);
    spd.SpdIni(nested);
    first->setMaxCols(8);
    form.show();

    int inserted = 0;
    int changed = 0;
    int reset = 0;
    QObject::connect(&first->model(), &QAbstractItemModel::rowsInserted, [&] { ++inserted; });
    QObject::connect(&first->model(), &QAbstractItemModel::dataChanged, [&] { ++changed; });
    QObject::connect(&first->model(), &QAbstractItemModel::modelReset, [&] { ++reset; });
    spd.SplListingStart(&form);
    EXPECT_FALSE(first->ReDraw() || nested->ReDraw() || first->view()->updatesEnabled());
    for (int row = 1; row <= 50; ++row) {
        spd.SpdMaxRowsChg(grid, row);
        spd.SpdItemRowSet(grid, row, QStringLiteral("0"), {row, QStringLiteral("b")});
    }
    EXPECT_EQ(std::pair(inserted, changed), std::pair(0, 0));
    spd.SplListingEnd(&form);
    EXPECT_TRUE(first->ReDraw() && nested->ReDraw() && first->view()->updatesEnabled());
    EXPECT_EQ(reset, 1);
    EXPECT_EQ(first->view()->verticalHeader()->count(), 50);
    EXPECT_EQ(first->view()->model()->index(49, 0).data().toString(), QStringLiteral("50"));
    // Rows appeared in an empty grid: the first one is the active row, also in the view.
    EXPECT_EQ(std::pair(first->ActiveRow(), first->view()->currentIndex().row()), std::pair(1, 0));
}

// Rows of texts "<row>-<col>" in two columns; rows divisible by 3 carry the flag "0".
class TwoColumnListing : public SpreadListing {
public:
    explicit TwoColumnListing(int rows) : m_rows(rows) {}
    int rowCount() const override { return m_rows; }
    int columnCount() const override { return 2; }
    QString text(int row, int col) const override { return QStringLiteral("%1-%2").arg(row).arg(col); }
    quint32 backColor(int row) const override { return clsSpread::RowColor(flag(row)); }
    static QString flag(int row) { return row % 3 ? QStringLiteral("1") : QStringLiteral("0"); }

private:
    int m_rows;
};

TEST(GridWrapper, AListingShowsAndChangesAsTheSameRowsWrittenOneByOne) {
    // Both grids had other rows, a taller row, a combo column and a row header before.
    GridForm written(4, 3);
    GridForm listed(4, 3);
    for (GridForm* f : {&written, &listed}) {
        f->spread->setRowHeight(2, 40);
        f->spd.SpdCmboSet(f->grid, 3, QStringLiteral("a\tb"), -1, -1);
        f->spread->SetText(0, 2, QStringLiteral("header"));
    }
    const int rows = 7;
    written.spd.SpdClear(written.grid, 0, -1, -1, -1, -1);
    written.spd.SpdMaxRowsChg(written.grid, rows);
    for (int row = 1; row <= rows; ++row) {
        written.spd.SpdItemRowSet(written.grid, row, TwoColumnListing::flag(row),
                                  {QStringLiteral("%1-1").arg(row), QStringLiteral("%1-2").arg(row)});
    }
    listed.spd.SplListingStart(&listed.form);
    listed.spd.SpdListRows(listed.grid, std::make_shared<TwoColumnListing>(rows));
    listed.spd.SplListingEnd(&listed.form);
    ASSERT_TRUE(listed.spread->model().isListed());

    const auto same = [&](const char* when) {
        SCOPED_TRACE(when);
        ASSERT_EQ(listed.spread->MaxRows(), written.spread->MaxRows());
        EXPECT_EQ(listed.spread->ActiveRow(), written.spread->ActiveRow());
        for (int row = 0; row <= rows; ++row) {
            EXPECT_EQ(listed.row(row), written.row(row)) << row;
            EXPECT_EQ(listed.spread->RowHeight(row), written.spread->RowHeight(row)) << row;
            for (int col = 0; row >= 1 && col < 3; ++col) {
                const QModelIndex a = listed.spread->model().index(row - 1, col);
                const QModelIndex b = written.spread->model().index(row - 1, col);
                EXPECT_EQ(a.flags(), b.flags());
                for (const int role : {int(Qt::DisplayRole), int(Qt::EditRole), int(Qt::BackgroundRole),
                                       int(Qt::TextAlignmentRole), int(SpreadModel::CellTypeRole),
                                       int(SpreadModel::ComboItemsRole)})
                    EXPECT_EQ(a.data(role), b.data(role)) << row << "," << col << " role " << role;
            }
        }
    };
    same("listed");
    EXPECT_TRUE(listed.spread->model().isListed()) << "reading cells keeps the listing";
    // A flagged row repainted, as the manager marks a manual: the other rows keep what they showed.
    for (GridForm* f : {&written, &listed}) {
        for (int col = 1; col <= 3; ++col)
            f->spd.SpdItemSet(f->grid, 3, col, QStringLiteral("1"), f->text(3, col));
    }
    EXPECT_FALSE(listed.spread->model().isListed());
    same("after a change");
    // Listing again replaces every row; an empty listing leaves no rows and no active cell.
    listed.spd.SpdListRows(listed.grid, std::make_shared<TwoColumnListing>(2));
    EXPECT_EQ(listed.row(2), QStringList({"2-1", "2-2", ""}));
    EXPECT_EQ(listed.text(3, 1), QString());
    listed.spd.SpdListRows(listed.grid, std::make_shared<TwoColumnListing>(0));
    EXPECT_EQ(std::pair(listed.spread->MaxRows(), listed.spread->ActiveRow()), std::pair(0, 0));
}

// The row header is as wide as its widest label, as Qt's own header finds it, while measuring only rows
// at the ends: the numbers of a long list, a label of its own on a row at an end, the font; a hidden row
// is not measured.
TEST(GridWrapper, RowHeaderIsAsWideAsItsWidestLabel) {
    QWidget form;
    auto* spread = new vaSpread(&form);
    spread->setMaxCols(1);
    spread->setMaxRows(10000);
    QHeaderView* header = spread->view()->verticalHeader();
    const QTableView plainView;
    EXPECT_EQ(std::pair(header->sectionsClickable(), header->highlightSections()),
              std::pair(plainView.verticalHeader()->sectionsClickable(),
                        plainView.verticalHeader()->highlightSections()))
        << "clicked and highlighted as a table view's own";
    QHeaderView qtHeader(Qt::Vertical);
    qtHeader.setModel(const_cast<SpreadModel*>(&spread->model()));
    EXPECT_EQ(header->sizeHint(), qtHeader.sizeHint());
    const int numbersWidth = header->sizeHint().width();

    spread->SetText(0, 9999, QStringLiteral("a label much longer than a number"));
    EXPECT_EQ(header->sizeHint(), qtHeader.sizeHint());
    EXPECT_GT(header->sizeHint().width(), numbersWidth);
    spread->view()->setRowHidden(9998, true);
    EXPECT_EQ(header->sizeHint().width(), numbersWidth) << "the labelled row is hidden";
    spread->view()->setRowHidden(9998, false);
    EXPECT_EQ(header->sizeHint(), qtHeader.sizeHint());

    QFont larger = header->font();
    larger.setPointSize(larger.pointSize() * 3);
    header->setFont(larger);
    qtHeader.setFont(larger);
    EXPECT_EQ(header->sizeHint(), qtHeader.sizeHint());
    spread->setMaxRows(5);
    EXPECT_EQ(header->sizeHint(), qtHeader.sizeHint()) << "a short list";
}

TEST(GridWrapper, OnlyTheUsersSelectionIsReportedAsTheActiveCell) {
    GridForm f(5, 3);
    std::vector<std::pair<int, int>> selected; // (Col, Row)
    QObject::connect(f.spread, &vaSpread::ActiveCellChanged,
                     [&](int col, int row) { selected.emplace_back(col, row); });
    f.at(3, 2)->setAction(vaSpread::ActionActiveCell);
    EXPECT_TRUE(selected.empty());
    EXPECT_EQ(f.spread->view()->currentIndex().row(), 2);

    f.spread->view()->setCurrentIndex(f.spread->model().index(4, 2));
    EXPECT_EQ(selected, (std::vector<std::pair<int, int>>{{3, 5}}));
    EXPECT_EQ(f.spread->ActiveRow(), 5);
    // Removing rows below it moves the active row up to the new last row.
    f.spd.SpdMaxRowsChg(f.grid, 2);
    EXPECT_EQ(f.spread->ActiveRow(), 2);
}

// Combo and picture cells: what the wrapper computes for them (no program fills one yet).
TEST(GridWrapper, ComboCellsSelectTheirFirstItemAndPictureCellsLoadThroughTheMachine) {
    marvek::testing::TempMachine temp;
    QImage image(8, 4, QImage::Format_RGB32);
    image.fill(Qt::red);
    ASSERT_TRUE(QDir().mkpath(temp.host(QStringLiteral("C:\\pic"))));
    ASSERT_TRUE(image.save(temp.host(QStringLiteral("C:\\pic\\car.png"))));
    QWidget form;
    auto* spread = new vaSpread(&form);
    spread->setMaxCols(2);
    clsSpread spd(temp.machine());
    const qint16 grid = spd.SpdIni(spread);
    spd.SpdMaxRowsChg(grid, 3);
    spd.SpdCmboSet(grid, 2, QStringLiteral("Yes\tNo"), 2, -5); // from row 2 to the last row
    const auto cell = [&](int row, int col) {
        spread->setRow(row);
        spread->setCol(col);
        return std::pair(spread->CellType(), spd.SpdItemGet(grid, row, col).toString());
    };
    EXPECT_EQ(cell(1, 2), std::pair(vaSpread::CellTypeEdit, QString()));
    EXPECT_EQ(cell(3, 2), std::pair(vaSpread::CellTypeComboBox, QStringLiteral("Yes")));
    EXPECT_EQ(std::pair(spread->TypeComboBoxList(), spread->TypeComboBoxCurSel()),
              std::pair(QStringLiteral("Yes\tNo"), 0));
    spd.SpdItemSet(grid, 3, 2, QStringLiteral("1"), QStringLiteral("Never")); // no such item: none selected
    EXPECT_EQ(std::pair(spread->TypeComboBoxCurSel(), cell(3, 2).second), std::pair(-1, QString()));

    cell(1, 1);
    spread->setCellType(vaSpread::CellTypePicture);
    for (const auto& [file, size] :
         {std::pair("C:\\pic\\missing.png", QSize(0, 0)), std::pair("C:\\pic\\car.png", QSize(8, 4))}) {
        spd.SpdItemSet(grid, 1, 1, QStringLiteral("0"), QString::fromLatin1(file));
        EXPECT_EQ(spread->TypePictPicture().size(), size) << file;
        EXPECT_EQ(cell(1, 1), std::pair(vaSpread::CellTypePicture, QString())) << "the file name is no text";
    }
    form.show();
    EXPECT_FALSE(form.grab().isNull()); // paints the combo marks and the picture
    clsSpread noFiles;                  // without a machine the cell gets no picture
    noFiles.SpdItemSet(noFiles.SpdIni(spread), 1, 1, QStringLiteral("0"), QStringLiteral("C:\\pic\\car.png"));
    EXPECT_TRUE(spread->TypePictPicture().isNull());
}

} // namespace
