#include "StatusPanels.h"

#include "widgets/Twips.h"

#include <QEvent>
#include <QPainter>
#include <QStringList>
#include <algorithm>

namespace {
const char* const kPanelKeys[] = {"database", "user", "datagrid", "status"};
constexpr int kIndent = 4;      // pixels between the frame and the text
constexpr int kGap = 2;         // pixels between two panels
constexpr int kMinimumText = 3; // characters a panel keeps room for, besides the "…"
} // namespace

int StatusPanel::wantedWidth() const {
    if (m_measuredWidth < 0 || m_measuredText != text() || m_measuredFont != font()) {
        m_measuredText = text();
        m_measuredFont = font();
        m_measuredWidth = fontMetrics().horizontalAdvance(m_measuredText);
    }
    return m_measuredWidth + 2 * (frameWidth() + kIndent) + 1;
}

bool StatusPanel::isElided() const {
    return shownText() != text();
}

QString StatusPanel::shownText() const {
    const int room = contentsRect().width() - 2 * kIndent;
    return fontMetrics().elidedText(text(), Qt::ElideRight, std::max(0, room));
}

void StatusPanel::paintEvent(QPaintEvent* event) {
    QFrame::paintEvent(event);
    QPainter painter(this);
    painter.setPen(
        palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::WindowText));
    const QRect area = contentsRect().adjusted(kIndent, 0, -kIndent, 0);
    painter.drawText(area, int(Qt::AlignLeft | Qt::AlignVCenter) | Qt::TextSingleLine, shownText());
}

StatusPanels::StatusPanels(QWidget* parent, const std::array<int, 4>& designWidthsTwips)
    : QStatusBar(parent), m_designWidths(designWidthsTwips) {
    setObjectName(QStringLiteral("StatusBar1"));
    setSizeGripEnabled(false);
    for (size_t i = 0; i < m_panels.size(); ++i) {
        // Placed by hand, not through the bar's layout, which lets fixed widths overlap.
        auto* p = new StatusPanel(this);
        p->setObjectName(QString::fromLatin1(kPanelKeys[i]));
        p->setFrameShape(QFrame::Panel);
        p->setFrameShadow(QFrame::Sunken);
        m_panels[i] = p;
    }
    m_selection = new StatusPanel(this);
    m_selection->setObjectName(QStringLiteral("selection"));
    m_selection->setFrameShape(QFrame::Panel);
    m_selection->setFrameShadow(QFrame::Sunken);
    m_selection->hide();
}

void StatusPanels::placePanels() {
    const int dpi = logicalDpiX();
    int selection = 0;
    if (!m_selection->text().isEmpty()) {
        selection = std::min(m_selection->wantedWidth(), width() / 2);
        m_selection->setGeometry(width() - selection, 0, selection, height());
        m_selection->setToolTip(m_selection->isElided() ? m_selection->text() : QString());
        selection += kGap;
    }
    m_selection->setVisible(selection > 0);
    const int available = std::max(0, width() - selection - kGap * int(m_panels.size() - 1));
    const int minimum = fontMetrics().horizontalAdvance(QStringLiteral("…")) +
                        kMinimumText * fontMetrics().averageCharWidth() + 2 * (kIndent + 2);

    // The status panel tells the outcome of the last operation: it keeps its whole text
    // longest. The others give up first what their texts do not need, then shrink alike.
    std::array<int, 4> widths{};
    std::array<int, 3> design{};
    std::array<int, 3> needed{};
    int designSum = 0, neededSum = 0;
    for (size_t i = 0; i < 3; ++i) {
        design[i] = twipsToPixels(m_designWidths[i], dpi);
        needed[i] = std::min(design[i], std::max(minimum, m_panels[i]->wantedWidth()));
        designSum += design[i];
        neededSum += needed[i];
    }
    const int statusWanted = std::max(minimum, m_panels[3]->wantedWidth());
    if (designSum + statusWanted <= available) {
        for (size_t i = 0; i < 3; ++i)
            widths[i] = design[i];
    } else if (neededSum + statusWanted <= available) {
        // Room beyond the needs goes back to the panels in proportion to what they gave up.
        const double share =
            double(available - neededSum - statusWanted) / double(designSum - neededSum);
        for (size_t i = 0; i < 3; ++i)
            widths[i] = needed[i] + int((design[i] - needed[i]) * share);
    } else {
        const int status = std::max(minimum, std::min(statusWanted, available - 3 * minimum));
        const double scale = double(std::max(0, available - status)) / double(neededSum);
        for (size_t i = 0; i < 3; ++i)
            widths[i] = int(needed[i] * scale);
    }
    widths[3] = available - (widths[0] + widths[1] + widths[2]);

    int x = 0;
    for (size_t i = 0; i < m_panels.size(); ++i) {
        m_panels[i]->setGeometry(x, 0, std::max(0, widths[i]), height());
        x += widths[i] + kGap;
        if (i == 2) continue; // the grid panel's tip describes the column type
        QStringList tip;
        if (m_panels[i]->isElided()) tip << m_panels[i]->text();
        if (!m_notes[i].isEmpty()) tip << m_notes[i];
        m_panels[i]->setToolTip(tip.join(QLatin1Char('\n')));
    }
}

void StatusPanels::setNote(int index, const QString& note) {
    m_notes[size_t(index)] = note;
    placePanels();
}

bool StatusPanels::event(QEvent* event) {
    // A panel's text changed.
    if (event->type() == QEvent::LayoutRequest) placePanels();
    return QStatusBar::event(event);
}

void StatusPanels::resizeEvent(QResizeEvent* event) {
    QStatusBar::resizeEvent(event);
    placePanels();
}
