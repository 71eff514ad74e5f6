#pragma once

#include <QString>
#include <QtGlobal>
#include <vector>

namespace marvek::shared {

// One manual folder of the CD as the installer's survey sees it.
struct ManualEntry {
    QString Folder;
    QString Pub_No;
    QString Version;
    QString Model_desc;
    QString Model_ID;
    QString Lang;
    QString Ldup;
    QString Year;
    QString Kubun;
    QString Country;
    qint16 OrderNo = 0;
    QString Selected;    // "1" install, "0" nothing to do, "9" a later revision is installed
    QString InstallKind; // "1" full, "2" differential, "" none
    QString Status;      // "1" new, "2" update, "3" no change
    QString PdfFlag;     // "1" PDF manual, "0" HTML manual
    QString SourcePath;
    QString ComparePath;
    QString InstallPath;
    QString Done = QStringLiteral("0");
};

// The survey's table, indexed from 1 as the installer counts (entry(1) is the first manual).
class ManualTable {
public:
    int count() const { return static_cast<int>(m_entries.size()); }
    void clear() { m_entries.clear(); }
    ManualEntry& append() { return m_entries.emplace_back(); }
    ManualEntry& entry(int index) { return m_entries.at(static_cast<size_t>(index - 1)); }
    const ManualEntry& entry(int index) const { return m_entries.at(static_cast<size_t>(index - 1)); }
    ManualEntry& current() { return m_entries.back(); }

private:
    std::vector<ManualEntry> m_entries;
};

} // namespace marvek::shared
