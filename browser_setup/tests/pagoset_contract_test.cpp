// The agreement dialog driven by mouse clicks on the offscreen platform.

#include "PagosetFixture.h"

#include <QLabel>
#include <QPlainTextEdit>

namespace {

class ContractDialog : public PagosetFixture {};

TEST_F(ContractDialog, TextsComeFromTheMessageTableAndOkWaitsForAnOption) {
    for (const char* langId : {"0411", "0409"}) {
        SCOPED_TRACE(langId);
        setMachine(langId, "5", "1", "Service Pack 2");
        const auto ctx = makeContext();
        frmContract form(*ctx);
        EXPECT_EQ(form.windowTitle(), QStringLiteral("Setup"));
        EXPECT_FALSE(form.imgSign->pixmap().isNull());
        QString contract = ctx->GFncMsg_Get(QStringLiteral("WC101"));
        EXPECT_EQ(form.txtContract->toPlainText(),
                  contract.replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
        EXPECT_TRUE(form.txtContract->isReadOnly());
        EXPECT_EQ(form.optContract[0]->text(), ctx->GFncMsg_Get(QStringLiteral("OB101")));
        EXPECT_EQ(form.optContract[1]->text(), ctx->GFncMsg_Get(QStringLiteral("OB102")));
        EXPECT_EQ(form.cmdOK->text(), QStringLiteral("OK"));
        EXPECT_FALSE(form.optContract[0]->isChecked() || form.optContract[1]->isChecked());
        EXPECT_FALSE(form.cmdOK->isEnabled());
        EXPECT_EQ(form.optContract[0]->text().contains(QStringLiteral("同意します")), langId[3] == '1');
    }
}

TEST_F(ContractDialog, AnswersOfTheDialogInBothLanguages) {
    const std::pair<const char*, bool> cases[] = {
        {"AO", true},                  // agree, OK
        {"DO", false},                 // disagree, OK
        {"ADO", false}, {"OAO", true}, // OK before an option does nothing
        {"AC", false},                 // agree, then the close box
    };
    for (const char* langId : {"0411", "0409"}) {
        setMachine(langId, "5", "1", "Service Pack 2");
        const auto ctx = makeContext();
        for (const auto& [steps, agreed] : cases) {
            SCOPED_TRACE(std::string(langId) + ": " + steps);
            ctx->mbolAgree = !agreed;
            frmContract form(*ctx);
            const auto poll = whenContractShown(answering(steps));
            EXPECT_EQ(form.GFncCon_Show(), agreed);
            EXPECT_EQ(ctx->mbolAgree, agreed);
            EXPECT_FALSE(form.isVisible());
        }
    }
}

} // namespace
