#include "WaitPanel.h"

#include "query/modKorvel.h"
#include "widgets/Twips.h"

#include <QEventLoop>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QRandomGenerator>
#include <QScrollBar>
#include <QTextBlockFormat>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextEdit>

#include <cmath>

namespace {
constexpr int kPanelWidth = 3930, kPanelHeight = 4965;
constexpr int kPictureWidth = 3855, kPictureHeight = 3600, kPictureTop = 30;
constexpr int kMargin = 30, kBarTop = 3420, kBarWidth = 3885, kBarHeight = 225, kGap = 15;
} // namespace

WaitPanel::WaitPanel(QWidget* parent) : QFrame(parent) {
    setObjectName(QStringLiteral("frameWait"));
    setFrameShape(QFrame::Box);
    setAutoFillBackground(true);
    const int dpi = logicalDpiX();
    resize(twipsToPixels(kPanelWidth, dpi), twipsToPixels(kPanelHeight, dpi));
    for (int i = 0; i < 5; ++i) {
        imgWait[size_t(i)] = new QLabel(this);
        imgWait[size_t(i)]->setObjectName(QStringLiteral("imgWait(%1)").arg(i));
        imgWait[size_t(i)]->setScaledContents(true);
        imgWait[size_t(i)]->hide();
    }
    ProgressBar1 = new QProgressBar(this);
    ProgressBar1->setObjectName(QStringLiteral("ProgressBar1"));
    setTwipsGeometry(ProgressBar1, kMargin, kBarTop, kBarWidth, kBarHeight);
    ProgressBar1->setTextVisible(false);
    ProgressBar1->hide();
    txtMessage = new QTextEdit(this);
    txtMessage->setObjectName(QStringLiteral("txtMessage"));
    txtMessage->setReadOnly(true);
    txtMessage->setAcceptRichText(false);
    // Long words such as paths wrap too, so that nothing needs a horizontal scroll.
    txtMessage->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    txtMessage->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setTwipsGeometry(txtMessage, kMargin, kBarTop + kBarHeight + kGap, kBarWidth, 1035);
    m_designMessageHeight = txtMessage->height();
    cmdOK = new QPushButton(QStringLiteral("OK"), this);
    cmdOK->setObjectName(QStringLiteral("cmdOK"));
    setTwipsGeometry(cmdOK, 30, 4710, 1905, 225);
    cmdCancel = new QPushButton(QStringLiteral("Cancel"), this);
    cmdCancel->setObjectName(QStringLiteral("cmdCancel"));
    setTwipsGeometry(cmdCancel, 1980, 4710, 1905, 225);
    // The buttons are designed low; keep their text readable.
    for (QPushButton* b : {cmdOK, cmdCancel}) {
        b->resize(b->width(), std::max(b->height(), b->sizeHint().height()));
        // Enter presses the focused button, as in a dialog.
        b->setAutoDefault(true);
    }
    resize(width(), std::max(height(), cmdOK->geometry().bottom() + 4));
    // Until pictures are found there are none.
    layoutControls();
    connect(cmdOK, &QPushButton::clicked, this, [this] { answer(PanelAnswer::Ok); });
    connect(cmdCancel, &QPushButton::clicked, this, [this] {
        answer(PanelAnswer::Cancel);
        emit cancelPressed();
    });
    hide();
}

int WaitPanel::LoadWaitPictures(const QStringList& folders, const QString& title) {
    const int dpi = logicalDpiX();
    const int offset = int(std::lround((kPanelWidth - kPictureWidth) / 2.0));
    m_pictureCount = 0;
    // A second load starts from empty slots.
    for (QLabel* slot : imgWait) {
        slot->clear();
        slot->hide();
    }
    for (const QString& folder : folders) {
        for (int i = 0; i < 5; ++i) {
            const QString file = folder + title + QStringLiteral("00%1.jpg").arg(i + 1);
            if (!QFileInfo::exists(file)) continue;
            const QPixmap picture(file);
            if (picture.isNull()) continue;
            imgWait[size_t(i)]->setPixmap(picture);
            imgWait[size_t(i)]->setGeometry(
                twipsToPixels(offset, dpi), twipsToPixels(kPictureTop, dpi),
                twipsToPixels(kPictureWidth, dpi), twipsToPixels(kPictureHeight, dpi));
            ++m_pictureCount;
        }
        if (m_pictureCount > 0) break;
    }
    layoutControls();
    return m_pictureCount;
}

void WaitPanel::layoutControls() {
    // Without a picture the progress bar and the message move up into its place, and the panel
    // ends below the buttons as ever: no empty area stays above the text.
    const int barTop = m_pictureCount > 0 ? kBarTop : kPictureTop;
    setTwipsGeometry(ProgressBar1, kMargin, barTop, kBarWidth, kBarHeight);
    const int dpi = logicalDpiX();
    txtMessage->move(twipsToPixels(kMargin, dpi), twipsToPixels(barTop + kBarHeight + kGap, dpi));
    fitMessage();
}

void WaitPanel::ShowRandomWaitPicture() {
    const int slot = waitPictureSlot(m_pictureCount, QRandomGenerator::global()->generateDouble());
    for (int i = 0; i < 5; ++i)
        imgWait[size_t(i)]->setVisible(i == slot && !imgWait[size_t(i)]->pixmap().isNull());
}

void WaitPanel::setButtons(bool okEnabled, bool cancelEnabled) {
    cmdOK->setEnabled(okEnabled);
    cmdCancel->setEnabled(cancelEnabled);
}

void WaitPanel::setMessage(const QString& text) {
    // The panel shows line breaks as they are; CR LF counts as one.
    txtMessage->setPlainText(QString(text).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
    QTextCursor all(txtMessage->document());
    all.select(QTextCursor::Document);
    QTextBlockFormat centred;
    centred.setAlignment(Qt::AlignHCenter);
    all.mergeBlockFormat(centred);
    fitMessage();
}

void WaitPanel::fitMessage() {
    QTextDocument* doc = txtMessage->document();
    doc->setTextWidth(txtMessage->viewport()->width());
    const int frame = txtMessage->height() - txtMessage->viewport()->height();
    const int needed = int(std::ceil(doc->size().height())) + frame;
    const int below = cmdOK->height() + 8; // the buttons and the margin under them
    int room = needed;
    if (const QWidget* window = parentWidget()) room = window->height() - txtMessage->y() - below;
    const int height = std::max(m_designMessageHeight, std::min(needed, room));
    txtMessage->resize(txtMessage->width(), height);
    const int buttonsTop = txtMessage->geometry().bottom() + 1 + twipsToPixels(15, logicalDpiX());
    cmdOK->move(cmdOK->x(), buttonsTop);
    cmdCancel->move(cmdCancel->x(), buttonsTop);
    resize(width(), cmdOK->geometry().bottom() + 4);
}

QString WaitPanel::message() const {
    return txtMessage->toPlainText();
}

PanelAnswer WaitPanel::waitForAnswer() {
    m_answer = PanelAnswer::Ok;
    QEventLoop loop;
    m_loop = &loop;
    loop.exec();
    m_loop = nullptr;
    return m_answer;
}

// A question that has Cancel takes Escape for it, wherever the focus is in the panel, as a
// dialog does. The busy panel lets Escape through to the window, which stops the operation.
void WaitPanel::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape && m_loop && cmdCancel->isEnabled()) {
        cmdCancel->click();
        return;
    }
    QFrame::keyPressEvent(event);
}

void WaitPanel::answer(PanelAnswer value) {
    m_answer = value;
    if (m_loop) m_loop->quit();
}
