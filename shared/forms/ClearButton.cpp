#include "shared/forms/ClearButton.h"

#include <QLineEdit>
#include <memory>

namespace marvek::shared {

void ClearButtonOnFirstText(QLineEdit& field) {
    if (!field.text().isEmpty()) {
        field.setClearButtonEnabled(true);
        return;
    }
    auto waiting = std::make_shared<QMetaObject::Connection>();
    *waiting =
        QObject::connect(&field, &QLineEdit::textChanged, &field, [&field, waiting](const QString& text) {
            if (text.isEmpty())
                return;
            QObject::disconnect(*waiting);
            field.setClearButtonEnabled(true);
        });
}

} // namespace marvek::shared
