#include "clsSpread.h"

#include "platform/Machine.h"
#include "vaSpread.h"

#include <QImage>
#include <QWidget>
#include <limits>
#include <utility>

namespace marvek::shared {

namespace {

// The behaviour every registered grid gets, in the order it is applied.
constexpr std::pair<vaSpread::Behaviour, bool> BehaviourSettings[] = {
    {vaSpread::EditModePermanent, false}, {vaSpread::EditModeReplace, false},
    {vaSpread::AutoClipboard, true},      {vaSpread::ArrowsExitEditMode, false},
    {vaSpread::RetainSelBlock, true},     {vaSpread::Protect, true},
    {vaSpread::AllowMultiBlocks, false},  {vaSpread::MoveActiveOnFocus, true},
    {vaSpread::AllowCellOverflow, false}, {vaSpread::NoBeep, false},
    {vaSpread::AllowDragDrop, false},     {vaSpread::NoBorder, false},
    {vaSpread::ProcessTab, false},        {vaSpread::AutoSize, false},
    {vaSpread::AutoCalc, false},          {vaSpread::AllowUserFormulas, false},
    {vaSpread::FormulaSync, false},       {vaSpread::AllowEditOverflow, false},
};
constexpr std::pair<vaSpread::Setting, int> IntegerSettings[] = {
    {vaSpread::ClipboardOptions, 15},  {vaSpread::Appearance, 0},      {vaSpread::CellNoteIndicator, 0},
    {vaSpread::TwoDigitYearMax, 2059}, {vaSpread::ButtonDrawMode, 0},  {vaSpread::SelectBlockOptions, 0},
    {vaSpread::OperationMode, 2},      {vaSpread::EditEnterAction, 0},
};

} // namespace

clsSpread::clsSpread() {
    clsSpead_Initialize();
}

clsSpread::clsSpread(const platform::Machine& machine) : m_machine(&machine) {
    clsSpead_Initialize();
}

void clsSpread::clsSpead_Initialize() {
    m_entries.assign(1, Entry{});
}

qint16 clsSpread::SpdIni(vaSpread* SpdObj) {
    if (!SpdObj)
        return 0;
    size_t slot = 1;
    while (slot < m_entries.size() && m_entries[slot].taken)
        ++slot;
    if (slot > size_t(std::numeric_limits<qint16>::max()))
        return 0;
    if (slot == m_entries.size())
        m_entries.emplace_back();
    Entry& registered = m_entries[slot];
    registered.control = SpdObj;
    registered.taken = true;
    registered.rowHeight1 = SpdObj->RowHeight(1);
    for (const auto& [behaviour, on] : BehaviourSettings)
        SpdObj->setBehaviour(behaviour, on);
    for (const auto& [setting, value] : IntegerSettings)
        SpdObj->setSetting(setting, value);
    return qint16(slot);
}

void clsSpread::SpdClear(qint16 grid, int ChangeMaxRow, int Row1, int Col1, int Row2, int Col2) {
    vaSpread* spd = spread(grid);
    if (!spd)
        return;
    spd->setRow(Row1 == -1 ? 1 : Row1);
    spd->setCol(Col1 == -1 ? 1 : Col1);
    spd->setRow2(Row2 == -1 ? spd->MaxRows() : Row2);
    spd->setCol2(Col2 == -1 ? spd->MaxCols() : Col2);
    spd->setColsFrozen(0);
    spd->setRowsFrozen(0);
    spd->setBlockMode(true);
    spd->setAction(vaSpread::ActionSelModeClear);
    spd->setAction(vaSpread::ActionClearText);
    spd->setBlockMode(false);
    if (ChangeMaxRow != -1)
        spd->setMaxRows(ChangeMaxRow);
    if (spd->MaxRows() > 0) {
        spd->setRow(1);
        spd->setRow2(1);
        spd->setBlockMode(true);
        spd->setAction(vaSpread::ActionActiveCell);
        spd->setBlockMode(false);
    }
}

void clsSpread::SpdItemRowSet(qint16 grid, int Row, const QString& SellColer, const QVariantList& Items) {
    for (int i = 0; i < Items.size(); ++i)
        SpdItemSet(grid, Row, i + 1, SellColer, Items.at(i));
}

void clsSpread::SpdItemSet(qint16 grid, int Row, int Col, const QString& SellColer, const QVariant& vItem) {
    vaSpread* spd = spread(grid);
    if (!spd)
        return;
    spd->setRow(Row);
    spd->setCol(Col);
    spd->setBackColor(RowColor(SellColer));
    if (spd->CellType() == vaSpread::CellTypePicture) {
        spd->setTypeHAlign(0);
        spd->setTypeVAlign(0);
        spd->setTypePictMaintainScale(true);
        spd->setTypePictStretch(true);
        const QString file = vItem.toString();
        spd->setTypePictPicture(m_machine && !file.isEmpty() ? QImage(m_machine->toHost(file)) : QImage());
    } else {
        spd->SetText(Col, Row, vItem);
    }
}

void clsSpread::SpdListRows(qint16 grid, std::shared_ptr<const SpreadListing> listing) {
    const Entry* registered = entry(grid);
    vaSpread* spd = spread(grid);
    if (!spd)
        return;
    spd->setRow(1);
    spd->setCol(1);
    spd->setColsFrozen(0);
    spd->setRowsFrozen(0);
    spd->setAction(vaSpread::ActionSelModeClear);
    const double headerHeight = spd->RowHeight(0);
    spd->list(std::move(listing));
    spd->setRowHeight(-1, registered->rowHeight1);
    spd->setRowHeight(0, headerHeight);
    if (spd->MaxRows() > 0) {
        spd->setRow2(1);
        spd->setBlockMode(true);
        spd->setAction(vaSpread::ActionActiveCell);
        spd->setBlockMode(false);
    }
}

QVariant clsSpread::SpdItemGet(qint16 grid, int Row, int Col) const {
    QVariant value;
    const vaSpread* spd = spread(grid);
    if (!spd || !spd->GetText(Col, Row, value))
        return QString();
    return value;
}

void clsSpread::SpdMaxRowsChg(qint16 grid, int ChangeMaxRow) {
    const Entry* registered = entry(grid);
    vaSpread* spd = spread(grid);
    if (!spd)
        return;
    const double headerHeight = spd->RowHeight(0);
    spd->setMaxRows(ChangeMaxRow);
    spd->setRowHeight(-1, registered->rowHeight1);
    spd->setRowHeight(0, headerHeight);
}

void clsSpread::SpdCmboSet(qint16 grid, int ColNo, const QString& CmbList, int sRow, int eRow) {
    vaSpread* spd = spread(grid);
    if (!spd)
        return;
    spd->setReDraw(false);
    spd->setCol(ColNo);
    spd->setRow(sRow < 0 ? 1 : sRow);
    spd->setCol2(ColNo);
    spd->setRow2(eRow < 0 ? spd->MaxRows() : eRow);
    spd->setBlockMode(true);
    spd->setTypeComboBoxList(CmbList);
    spd->setBlockMode(false);
    spd->setTypeComboBoxCurSel(0);
    spd->setReDraw(true);
}

void clsSpread::SplListingStart(const QWidget* MyForm) const {
    if (!MyForm)
        return;
    for (vaSpread* spd : MyForm->findChildren<vaSpread*>())
        spd->setReDraw(false);
}

void clsSpread::SplListingEnd(const QWidget* MyForm) const {
    if (!MyForm)
        return;
    for (vaSpread* spd : MyForm->findChildren<vaSpread*>())
        spd->setReDraw(true);
}

clsSpread::Entry* clsSpread::entry(qint16 grid) {
    return grid >= 1 && size_t(grid) < m_entries.size() ? &m_entries[size_t(grid)] : nullptr;
}

const clsSpread::Entry* clsSpread::entry(qint16 grid) const {
    return grid >= 1 && size_t(grid) < m_entries.size() ? &m_entries[size_t(grid)] : nullptr;
}

vaSpread* clsSpread::spread(qint16 grid) const {
    const Entry* registered = entry(grid);
    return registered ? registered->control.data() : nullptr;
}

} // namespace marvek::shared
