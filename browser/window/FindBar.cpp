#include "FindBar.h"

#include <QAction>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QStyle>
#include <QWebEngineFindTextResult>
#include <QWebEnginePage>

namespace marvek::browser {

FindBar::FindBar(QWebEnginePage* page, bool japanese, QWidget* parent)
    : QToolBar(parent), m_page(page),
      m_noMatch(japanese ? QStringLiteral("見つかりません") : QStringLiteral("Not found")) {
    setObjectName(QStringLiteral("findBar"));
    setMovable(false);
    setFloatable(false);
    setIconSize(QSize(16, 16));

    m_text = new QLineEdit(this);
    m_text->setObjectName(QStringLiteral("findText"));
    m_text->setPlaceholderText(japanese ? QStringLiteral("ページ内検索") : QStringLiteral("Find in page"));
    m_text->setClearButtonEnabled(true);
    m_text->setMaximumWidth(260);
    addWidget(m_text);

    QAction* previous = addAction(style()->standardIcon(QStyle::SP_ArrowUp),
                                  japanese ? QStringLiteral("前へ") : QStringLiteral("Previous"));
    QAction* next = addAction(style()->standardIcon(QStyle::SP_ArrowDown),
                              japanese ? QStringLiteral("次へ") : QStringLiteral("Next"));
    m_result = new QLabel(this);
    m_result->setObjectName(QStringLiteral("findResult"));
    m_result->setContentsMargins(8, 0, 8, 0);
    addWidget(m_result);
    auto* spacer = new QWidget(this);
    spacer->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    addWidget(spacer);
    QAction* hide = addAction(style()->standardIcon(QStyle::SP_TitleBarCloseButton),
                              japanese ? QStringLiteral("閉じる") : QStringLiteral("Close"));

    connect(m_text, &QLineEdit::returnPressed, this,
            [this] { find((QGuiApplication::keyboardModifiers() & Qt::ShiftModifier) != 0); });
    connect(m_text, &QLineEdit::textEdited, this, [this] { find(false); });
    connect(previous, &QAction::triggered, this, [this] { find(true); });
    connect(next, &QAction::triggered, this, [this] { find(false); });
    connect(hide, &QAction::triggered, this, &FindBar::close);
    connect(m_page, &QWebEnginePage::findTextFinished, this, [this](const QWebEngineFindTextResult& result) {
        if (m_text->text().isEmpty())
            m_result->clear();
        else if (result.numberOfMatches() == 0)
            m_result->setText(m_noMatch);
        else
            m_result->setText(
                QStringLiteral("%1/%2").arg(result.activeMatch()).arg(result.numberOfMatches()));
    });
    QToolBar::hide();
}

void FindBar::open() {
    show();
    m_text->setFocus(Qt::ShortcutFocusReason);
    m_text->selectAll();
}

void FindBar::close() {
    m_page->findText(QString());
    m_result->clear();
    hide();
}

void FindBar::find(bool backward) {
    const QString text = m_text->text();
    if (text.isEmpty()) {
        m_page->findText(QString());
        m_result->clear();
        return;
    }
    m_page->findText(text, backward ? QWebEnginePage::FindBackward : QWebEnginePage::FindFlags());
}

QString FindBar::resultText() const {
    return m_result->text();
}

void FindBar::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        close();
        return;
    }
    QToolBar::keyPressEvent(event);
}

} // namespace marvek::browser
