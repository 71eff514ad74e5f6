#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <array>
#include <vector>

namespace marvek::cdbuilder {

// The keys of car_info.ci, in the order the file lists them.
inline constexpr std::array<const char*, 9> CarInfoKeys = {
    "Pub_No", "Model_desc", "Model_ID", "Version", "Year", "Kubun", "Country", "Lang", "Ldup"};

struct TroubleCode {
    QString code;
    QString title;
};

// One line of an information file: fields 1 to 3 (model, classification, manual type); field 4 is
// the manual's folder, field 5 its publication number and field 6 the issue month.
using ManInfoFields = std::array<QString, 3>;

struct ManualSpec {
    enum class Kind { Html, Pdf };
    enum class Frames { Simple, Nested };

    QString folder;
    Kind kind = Kind::Html;
    QString title;
    QString language; // "en" or "ja"
    Frames frames = Frames::Simple;
    QString archiveTop;                            // top folder inside manual.zip (HTML)
    QString sectionName = QStringLiteral("sec%1"); // %1: two-digit section number
    QString pageName = QStringLiteral("page%1");   // %1: three-digit page number
    QStringList sections;
    int pagesPerSection = 0;
    std::vector<std::pair<int, int>> revisedPages; // (section, page), both from 1
    std::vector<TroubleCode> troubleCodes;
    std::array<QString, CarInfoKeys.size()> carInfo; // values in CarInfoKeys order
    QString issued;                                  // YYYY/MM
    ManInfoFields manInfoDo;
    ManInfoFields manInfoUs;

    QString pubNo() const { return carInfo[0]; }
    QString modelDesc() const { return carInfo[1]; }
    QString version() const { return carInfo[3]; }
    bool isRevised(int section, int page) const;
};

struct ModelOrder {
    QString modelId;
    QString modelDesc;
    int orderNo = 0;
};

struct CdManifest {
    QDateTime fileTime;
    QString databaseVersion;
    std::vector<ModelOrder> modelOrder;
    std::vector<ManualSpec> manuals;
};

// Reads and checks manuals.json; throws BuildError on anything the CD could not be built from.
CdManifest readManifest(const QString& hostPath);

} // namespace marvek::cdbuilder
