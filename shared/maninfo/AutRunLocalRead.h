#pragma once

#include "shared/Context.h"

#include <QDate>
#include <QString>
#include <QStringList>
#include <vector>

namespace marvek::shared {

// The installed-manual information files: the CD's catalogue of its manuals with their issue months
// ("programs\setup\man_info_do.ci") against the copy the PC keeps in "C:\man_info".
inline constexpr auto ManInfoFolder = "C:\\man_info";
inline constexpr auto ManInfoFileName = "man_info_do.ci";
inline constexpr auto ManInfoCdFolder = "programs\\setup\\";
inline constexpr auto ManInfoTitle = "Marvek Manual Information";
inline constexpr auto ManInfoSystemError = "Marvec Service System Error";
// Style of the not-latest question: Yes and No buttons with the exclamation icon.
inline constexpr int ManInfoQuestionStyle = 52;

// What the latest-CD check tells its caller.
enum class CheckLatestResult {
    NotLatest,  // a manual on the CD is older than recorded: ask with ManInfo_ShowNotLatest
    Latest,     // the CD is the latest one (or the PC had no record yet)
    EndProgram, // "C:\man_info" could not be created; the error box was shown and the program must
                // end at once, without opening any page
};

// One line of an information file. The local file keeps the key and the date; the CD file also the
// model (field 1), the classification (field 2) and whether the manual's folder is on the CD.
struct ManInfoRecord {
    QString model;          // field 1
    QString classification; // field 2
    QString key;            // field 4: the manual's folder at the CD root
    QDate date;             // field 6 ("YYYY/MM") as the first day of that month
    QString onCd;           // "1" when the CD root holds the folder, else "0" (CD file only)
};

// The module modAutRunLocalRead: the latest-CD check of the installer. One object serves one check;
// the message lines of a comparison stay ready for ManInfo_ShowNotLatest.
//
// The launcher carries a variant (launcher/LauncherLocalRead) that overrides the protected steps: the
// on-CD presence test, the texts of the warning and the replacement of the local file.
class AutRunLocalRead {
public:
    // cdRoot: the drive root of the CD with its trailing "\" ("D:\").
    AutRunLocalRead(const SharedContext& ctx, QString cdRoot);
    virtual ~AutRunLocalRead() = default;
    AutRunLocalRead(const AutRunLocalRead&) = delete;
    AutRunLocalRead& operator=(const AutRunLocalRead&) = delete;

    // Makes sure "C:\man_info" exists, compares the CD's catalogue with the PC's, replaces the PC's
    // catalogue when the CD has newer issues and none older, and tells whether the CD is the latest.
    // With no catalogue on the PC yet, the CD's is copied there and the CD counts as the latest (also
    // when the CD has none, so that nothing can be copied).
    CheckLatestResult ManInfo_CheckLatest();
    // Shows the not-latest warning built from the message lines (Yes/No, exclamation, titled
    // "Marvek Manual Information") and returns the button pressed: 6 Yes, 7 No.
    int ManInfo_ShowNotLatest();
    // Creates one folder level; false on any error.
    bool ManInfo_MakeFolder(const QString& path) const;

    // The steps of the check.
    // Compares every CD record (on the CD) with the PC's date of the same key; false when a CD record is
    // older, or when a file cannot be read or holds a broken line (fewer than six fields, a field 6
    // that is no year and month). Sets the newer flag when a CD record is newer.
    bool ManInfo_Compare();
    bool ManInfo_ReadLocal(const QString& path);
    bool ManInfo_ReadCd(const QString& path);
    // The date of the first local record whose key equals key exactly; 1900/01/01 when there is none.
    QDate ManInfo_FindLocalDate(const QString& key) const;
    // Adds the not-latest line of CD record number record (from 1).
    void ManInfo_AddNotLatestLine(int record);

    QString localPath() const;
    QString cdPath() const;
    const QStringList& notLatestLines() const { return m_notLatestLines; }
    bool newerFound() const { return m_newer; }
    const std::vector<ManInfoRecord>& localRecords() const { return m_local; }
    const std::vector<ManInfoRecord>& cdRecords() const { return m_cd; }

protected:
    // Whether records of manuals whose folder is not on this CD are left out of the comparison.
    virtual bool testsPresenceOnCd() const { return true; }
    // The warning line of one older record, without the closing "|".
    virtual QString notLatestLine(const ManInfoRecord& record) const;
    // The two closing texts of the warning.
    virtual QString closingText1() const;
    virtual QString closingText2() const;
    // Replaces the local catalogue by the CD's.
    virtual void replaceLocalFile(const QString& source, const QString& target);

    const SharedContext& m_ctx;
    const QString m_cdRoot;

private:
    // Reads one information file into records; false on a read error or a broken line.
    bool readFile(const QString& path, std::vector<ManInfoRecord>& records) const;

    std::vector<ManInfoRecord> m_local;
    std::vector<ManInfoRecord> m_cd;
    QStringList m_notLatestLines;
    bool m_newer = false;
};

// The issue month of an information file (field 6, "YYYY/MM") as the first day of that month; an
// invalid date when the text is not a year and month.
QDate ManInfoIssueDate(const QString& field);

} // namespace marvek::shared
