// The agreement dialog driven by mouse clicks on the offscreen platform.

#include "PagosetFixture.h"

#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

using namespace marvek;
using namespace marvek::browser_setup;
using namespace marvek::testing;

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
    }
    setMachine("0411", "5", "1", "Service Pack 2");
    EXPECT_TRUE(makeContext()->GFncMsg_Get(QStringLiteral("OB101")).contains(QStringLiteral("同意します")));
}

TEST_F(ContractDialog, AnswersOfTheDialogInBothLanguages) {
    struct Case {
        const char* what;
        std::function<void(frmContract&)> act;
        bool agreed;
    };
    const auto click = [](QWidget* widget) {
        QTest::mouseClick(widget, Qt::LeftButton);
    };
    const Case cases[] = {
        {"agree, OK",
         [&](frmContract& f) {
             clickOption(f.optContract[0]);
             click(f.cmdOK);
         },
         true},
        {"disagree enables OK, OK",
         [&](frmContract& f) {
             clickOption(f.optContract[1]);
             EXPECT_TRUE(f.cmdOK->isEnabled());
             click(f.cmdOK);
         },
         false},
        {"agree, then disagree, OK",
         [&](frmContract& f) {
             clickOption(f.optContract[0]);
             clickOption(f.optContract[1]);
             click(f.cmdOK);
         },
         false},
        {"OK before an option does nothing, then agree",
         [&](frmContract& f) {
             click(f.cmdOK);
             EXPECT_TRUE(f.isVisible());
             clickOption(f.optContract[0]);
             click(f.cmdOK);
         },
         true},
        {"agree, then the close box",
         [&](frmContract& f) {
             clickOption(f.optContract[0]);
             f.close();
         },
         false},
    };
    for (const char* langId : {"0411", "0409"}) {
        setMachine(langId, "5", "1", "Service Pack 2");
        const auto ctx = makeContext();
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(langId) + ": " + c.what);
            ctx->mbolAgree = !c.agreed;
            frmContract form(*ctx);
            const auto poll = whenContractShown(c.act);
            EXPECT_EQ(form.GFncCon_Show(), c.agreed);
            EXPECT_EQ(ctx->mbolAgree, c.agreed);
            EXPECT_FALSE(form.isVisible());
        }
    }
}

} // namespace
