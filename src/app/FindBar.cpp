#include "FindBar.h"

#include "query/modKorvel.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>

FindBar::FindBar(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("FindBar"));
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(4, 2, 4, 2);
    row->addWidget(new QLabel(kFindLabel, this));
    m_field = new QLineEdit(this);
    m_field->setObjectName(QStringLiteral("txtFind"));
    m_field->installEventFilter(this);
    row->addWidget(m_field, 1);
    auto* next = new QPushButton(kFindNext, this);
    next->setObjectName(QStringLiteral("cmdFindNext"));
    auto* previous = new QPushButton(kFindPrevious, this);
    previous->setObjectName(QStringLiteral("cmdFindPrevious"));
    for (QPushButton* b : {next, previous}) {
        b->setAutoDefault(false);
        b->setFocusPolicy(Qt::NoFocus);
        row->addWidget(b);
    }
    m_case = new QCheckBox(kFindMatchCase, this);
    m_case->setObjectName(QStringLiteral("chkFindCase"));
    m_filter = new QCheckBox(kFindRowsOnly, this);
    m_filter->setObjectName(QStringLiteral("chkFindRowsOnly"));
    row->addWidget(m_case);
    row->addWidget(m_filter);
    auto* close = new QToolButton(this);
    close->setObjectName(QStringLiteral("cmdFindClose"));
    close->setText(QStringLiteral("×"));
    close->setAutoRaise(true);
    row->addWidget(close);
    connect(next, &QPushButton::clicked, this, &FindBar::findNext);
    connect(previous, &QPushButton::clicked, this, &FindBar::findPrevious);
    connect(m_field, &QLineEdit::textChanged, this, &FindBar::searchChanged);
    connect(m_case, &QCheckBox::toggled, this, &FindBar::searchChanged);
    connect(m_filter, &QCheckBox::toggled, this, &FindBar::searchChanged);
    connect(close, &QToolButton::clicked, this, &FindBar::closed);
    hide();
}

QString FindBar::text() const {
    return m_field->text();
}
bool FindBar::matchCase() const {
    return m_case->isChecked();
}
bool FindBar::matchingRowsOnly() const {
    return m_filter->isChecked();
}

void FindBar::open() {
    show();
    m_field->setFocus(Qt::ShortcutFocusReason);
    m_field->selectAll();
}

void FindBar::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        emit closed();
        return;
    }
    QWidget::keyPressEvent(event);
}

bool FindBar::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_field && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            if (key->modifiers() & Qt::ShiftModifier)
                emit findPrevious();
            else
                emit findNext();
            return true;
        }
        if (key->key() == Qt::Key_Escape) {
            emit closed();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}
