#pragma once

#include "shared/Context.h"
#include "shared/maninfo/AutRunLocalRead.h"

#include <QString>

namespace marvek::launcher {

// The language identifier that selects the Japanese texts; any other identifier gives English.
inline constexpr auto JapaneseLanguageId = "0411";

// The launcher's file replacement: an existing target has its attributes cleared (then a one-second
// wait, only when it had any) and is deleted; when that fails, "FILE KILL ERROR = " + target is shown
// (OK) and nothing else happens. The source is then copied (a failing copy is ignored silently), the
// copy gets normal attributes, and the users group ("Users") full access; a failing grant shows
// "Set Access Error = " + target (OK).
void ReplaceFileWithAccess(const shared::SharedContext& ctx, const QString& source, const QString& target);

// The launcher's copy of modAutRunLocalRead. It differs from the installer's module in:
// - the texts, which are fixed English or Japanese ones chosen by the language identifier instead
//   of messages M072 to M074 (the date is not shown);
// - no on-CD presence test: every record of the CD catalogue takes part in the comparison;
// - the file replacement (ReplaceFileWithAccess).
class LauncherLocalRead : public shared::AutRunLocalRead {
public:
    // languageId: GetLanguageId's four hexadecimal digits; anything but "0411" counts as "0409".
    LauncherLocalRead(const shared::SharedContext& ctx, QString cdRoot, const QString& languageId);

    // "0411" or "0409".
    const QString& languageId() const { return m_languageId; }

protected:
    bool testsPresenceOnCd() const override { return false; }
    QString notLatestLine(const shared::ManInfoRecord& record) const override;
    QString closingText1() const override;
    QString closingText2() const override;
    void replaceLocalFile(const QString& source, const QString& target) override;

private:
    bool japanese() const;

    QString m_languageId;
};

} // namespace marvek::launcher
