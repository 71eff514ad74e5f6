#pragma once

#include "platform/FileVersion.h"

#include <QDialog>
#include <array>
#include <optional>

class QLabel;
class QPushButton;

namespace marvek::browser {

class BrowserContext;

// The version box: the browser name, the program's version, the rights notice, the reserved-rights
// line and the build date, all but the version from the message table. Shown modally; OK closes it.
class frmVer : public QDialog {
    Q_OBJECT

public:
    // version: the program's own version record; by default read from the running program's file.
    explicit frmVer(const BrowserContext& context, QWidget* parent = nullptr,
                    std::optional<platform::FileVersion> version = programVersion());

    // "Ver." & major & "." & minor & "." & revision (file version 1.1.0.2 gives "Ver.1.1.2").
    static QString versionText(const std::optional<platform::FileVersion>& version);
    // The version record of the running program, read from its file.
    static std::optional<platform::FileVersion> programVersion();

    QLabel* lblVersion(int index) const { return m_lblVersion.at(static_cast<size_t>(index)); }
    QPushButton* cmdOK() const { return m_cmdOK; }

private:
    void Form_Load(const BrowserContext& context, const std::optional<platform::FileVersion>& version);

    QLabel* m_image1 = nullptr;
    std::array<QLabel*, 5> m_lblVersion{};
    QPushButton* m_cmdOK = nullptr;
};

} // namespace marvek::browser
