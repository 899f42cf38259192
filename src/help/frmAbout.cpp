#include "frmAbout.h"

#include "HelpTexts.h"
#include "ProgramVersion.h"
#include "db/Connection.h"
#include "widgets/Twips.h"

#include <QApplication>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QPointer>
#include <cmath>

namespace {
// Designed client size, in twips; the frame fills it.
constexpr int kWidth = 3525, kHeight = 1005;
} // namespace

frmAbout::frmAbout(QWidget* owner, QWidget* mainWindow, const QString& dataAccessVersion)
    : QDialog(owner,
              Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint),
      m_mainWindow(mainWindow ? mainWindow : owner) {
    setObjectName(QStringLiteral("frmAbout"));
    setFocusPolicy(Qt::StrongFocus);
    buildControls();
    Form_Load(dataAccessVersion);
}

void frmAbout::buildControls() {
    const int dpi = logicalDpiX();
    Frame1 = new QFrame(this);
    Frame1->setObjectName(QStringLiteral("Frame1"));
    Frame1->setFrameShape(QFrame::Box);
    Frame1->setFrameShadow(QFrame::Sunken);

    Image1 = new QLabel(Frame1);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setScaledContents(true);
    setTwipsGeometry(Image1, 60, 240, 540, 540);

    auto label = [&](const char* name, int top) {
        auto* l = new QLabel(Frame1);
        l->setObjectName(QString::fromLatin1(name));
        l->setTextFormat(Qt::PlainText);
        setTwipsGeometry(l, 660, top, 2685, 195);
        return l;
    };
    lblTitle = label("lblTitle", 180);
    lblADO = label("lblADO", 630);

    Frame1->setGeometry(0, 0, twipsToPixels(kWidth, dpi), twipsToPixels(kHeight, dpi));
}

void frmAbout::Form_Load(const QString& dataAccessVersion) {
    setWindowTitle(kAboutCaption + productName());
    lblTitle->setText(aboutTitleText(productName(), programVersion()));
    // A version that cannot be read leaves the line empty rather than half a sentence.
    lblADO->setText(dataAccessVersion.isEmpty() ? QString() : kAdoVersion + dataAccessVersion);
    const QIcon icon = programIcon();
    Image1->setPixmap(icon.pixmap(Image1->size() * 2));

    // The designed boxes are small for today's fonts: grow a label that would cut its text,
    // and the window with it, so that nothing is clipped.
    int right = twipsToPixels(kWidth, logicalDpiX());
    for (QLabel* l : {lblTitle, lblADO}) {
        const QSize hint = l->sizeHint();
        l->resize(std::max(l->width(), hint.width()), std::max(l->height(), hint.height()));
        right = std::max(right, l->geometry().right() + twipsToPixels(120, logicalDpiX()));
    }
    const int bottom =
        std::max(Frame1->height(), lblADO->geometry().bottom() + twipsToPixels(150, logicalDpiX()));
    Frame1->resize(right, bottom);
    setFixedSize(Frame1->size());
    placeOnMainWindow();
}

QPoint frmAbout::centredOn(const QRect& mainFrame, const QSize& outerSize) {
    const double top = mainFrame.top() + mainFrame.height() / 2.0 - outerSize.height() / 2.0;
    const double left = mainFrame.left() + mainFrame.width() / 2.0 - outerSize.width() / 2.0;
    return QPoint(int(std::lround(left)), int(std::lround(top)));
}

void frmAbout::placeOnMainWindow() {
    if (!m_mainWindow) return;
    // Before the box is shown its frame is unknown; the client size stands in for it.
    const QSize outer = isVisible() ? frameGeometry().size() : size();
    move(centredOn(m_mainWindow->frameGeometry(), outer));
}

void frmAbout::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    placeOnMainWindow();
    setFocus();
}

void frmAbout::keyPressEvent(QKeyEvent* event) {
    // Esc and Enter close the box; every other key is swallowed here, so it does nothing.
    switch (event->key()) {
    case Qt::Key_Escape:
        reject();
        break;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        accept();
        break;
    default:
        break;
    }
    event->accept();
}

// Every connection has the layer's one version: none need be built to read it.
QString dataAccessVersion(const db::Connection*) {
    return db::Connection::Version();
}

void ShowAboutBox(QWidget* owner, QWidget* mainWindow, const db::Connection* connection) {
    try {
        // Not every desktop hands the focus back when a tool window closes: do it here, so
        // the user types on where he was.
        const QPointer<QWidget> hadFocus = QApplication::focusWidget();
        const QPointer<QWidget> returnTo = owner;
        {
            frmAbout box(owner, mainWindow, dataAccessVersion(connection));
            box.exec();
        }
        if (returnTo && returnTo->isVisible()) returnTo->activateWindow();
        if (hadFocus && hadFocus->isVisible() && hadFocus->isEnabled())
            hadFocus->setFocus(Qt::ActiveWindowFocusReason);
    } catch (...) {
        // The About box never takes the window that opened it down with it.
    }
}
