#pragma once

#include "shared/Context.h"
#include "shared/database/ManualDatabase.h"

#include <QDialog>

class QLabel;

namespace marvek::shared {

// The small modal work window: it shows what it is doing, runs one maintenance job on the database
// when it is first shown (the check of every installed manual for CheckJobMode, else the deletion of
// one manual) and closes itself. The opener shows it with exec() and refreshes its own display after.
class frmTransaction : public QDialog {
    Q_OBJECT

public:
    frmTransaction(const SharedContext& ctx, ManualDatabase& db, int mode, QString pubNo, QString insPath,
                   QWidget* parent = nullptr);

    QLabel* L_Msg() const { return m_message; }

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void reject() override;

private:
    void runJob();

    const SharedContext& m_ctx;
    ManualDatabase& m_db;
    int m_mode;
    QString m_pubNo;
    QString m_insPath;
    QLabel* m_message = nullptr;
    QLabel* m_label1 = nullptr;
    bool m_activated = false;
    bool m_done = false;
};

} // namespace marvek::shared
