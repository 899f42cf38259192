// The About box offscreen: its texts, window kind, geometry, placement and keys.
#include "db/Connection.h"
#include "help/ProgramVersion.h"
#include "help/frmAbout.h"
#include "widgets/Twips.h"

#include <QApplication>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QTest>
#include <QTimer>

namespace {
// A stand-in main window with a text field that holds the focus before the box opens.
struct MainWindow {
    QWidget window;
    QLineEdit* field;
    MainWindow() : field(new QLineEdit(&window)) {
        window.setObjectName(QStringLiteral("main"));
        window.setGeometry(100, 80, 800, 600);
        field->setObjectName(QStringLiteral("field"));
        window.show();
        QApplication::setActiveWindow(&window);
        field->setFocus();
    }
};

QLabel* label(QWidget* box, const char* name) {
    return box->findChild<QLabel*>(QString::fromLatin1(name));
}

frmAbout* openBox() {
    return qobject_cast<frmAbout*>(QApplication::activeModalWidget());
}

// Closes the box when a check inside it fails, so the test reports instead of waiting.
struct CloseAtEnd {
    ~CloseAtEnd() {
        if (frmAbout* box = openBox()) box->reject();
    }
};
} // namespace

class TestAbout : public QObject {
    Q_OBJECT

private slots:
    void titleLineFromTheVersionNumbers() {
        QCOMPARE(aboutTitleText(QStringLiteral("Tolvan"), {1, 0, 4}),
                 QStringLiteral("Tolvan version 1.0.4"));
        // Numbers are not padded.
        QCOMPARE(aboutTitleText(QStringLiteral("Tolvan"), {2, 10, 0}),
                 QStringLiteral("Tolvan version 2.10.0"));
        // The build's version reaches the program unchanged from the one place it is set.
        QCOMPARE(versionText(programVersion()), QStringLiteral(TOLVAN_TEST_VERSION));
    }

    void textsCaptionAndWindowKind() {
        MainWindow main;
        const QString layer = dataAccessVersion(nullptr);
        QVERIFY(!layer.isEmpty());
        frmAbout box(&main.window, &main.window, layer);
        QCOMPARE(box.windowTitle(), QStringLiteral("About Tolvan"));
        QCOMPARE(label(&box, "lblTitle")->text(),
                 QStringLiteral("Tolvan version ") + QStringLiteral(TOLVAN_TEST_VERSION));
        QCOMPARE(label(&box, "lblADO")->text(), QStringLiteral("ADO version ") + layer);

        // A tool window: no task-bar entry, a close button only, not resizable.
        QCOMPARE(box.windowType(), Qt::Tool);
        QVERIFY(box.windowFlags() & Qt::WindowCloseButtonHint);
        QVERIFY(!(box.windowFlags() & Qt::WindowMinimizeButtonHint));
        QVERIFY(!(box.windowFlags() & Qt::WindowMaximizeButtonHint));
        QCOMPARE(box.minimumSize(), box.maximumSize());

        // Nothing but the frame, the icon and the two lines.
        QCOMPARE(box.findChildren<QLabel*>().size(), 3);
        QCOMPARE(box.findChildren<QFrame*>(QString(), Qt::FindDirectChildrenOnly).size(), 1);
        auto* frame = box.findChild<QFrame*>(QStringLiteral("Frame1"));
        QCOMPARE(frame->geometry(), box.rect());
        QLabel* image = label(&box, "Image1");
        const int dpi = box.logicalDpiX();
        QCOMPARE(image->geometry(), QRect(twipsToPixels(60, dpi), twipsToPixels(240, dpi),
                                          twipsToPixels(540, dpi), twipsToPixels(540, dpi)));
        QVERIFY(image->hasScaledContents());
        QVERIFY(!image->pixmap().isNull());
        for (const char* name : {"lblTitle", "lblADO"}) {
            QLabel* l = label(&box, name);
            QCOMPARE(l->x(), twipsToPixels(660, dpi));
            QVERIFY(l->width() >= twipsToPixels(2685, dpi));
            // The whole line shows: neither cut by its own box nor by the window.
            QVERIFY2(l->width() >= l->sizeHint().width(), name);
            QVERIFY2(l->geometry().right() < box.width(), name);
        }
        QCOMPARE(label(&box, "lblTitle")->y(), twipsToPixels(180, dpi));
        QCOMPARE(label(&box, "lblADO")->y(), twipsToPixels(630, dpi));
    }

    void theConnectionGivesTheDataAccessVersion() {
        db::Connection connection; // not open: the version needs no database
        QCOMPARE(dataAccessVersion(&connection), connection.Version());
        // A version that cannot be read leaves the line empty, the rest filled.
        MainWindow main;
        frmAbout box(&main.window, &main.window, QString());
        QCOMPARE(label(&box, "lblADO")->text(), QString());
        QVERIFY(!label(&box, "lblTitle")->text().isEmpty());
    }

    void centringArithmetic() {
        // Halves are kept until the end: a 7-pixel difference lands on the nearest pixel.
        QCOMPARE(frmAbout::centredOn(QRect(100, 80, 800, 600), QSize(236, 67)), QPoint(382, 347));
        QCOMPARE(frmAbout::centredOn(QRect(-50, 0, 100, 100), QSize(100, 100)), QPoint(-50, 0));
    }

    void centredOnTheMainWindowFromEitherWindow_data() {
        QTest::addColumn<bool>("fromBatch");
        QTest::newRow("main window") << false;
        QTest::newRow("batch window") << true;
    }
    void centredOnTheMainWindowFromEitherWindow() {
        QFETCH(bool, fromBatch);
        MainWindow main;
        // The batch window is a window of its own, away from the main window's centre.
        QWidget batch(&main.window, Qt::Window);
        batch.setGeometry(850, 600, 300, 200);
        QWidget* owner = &main.window;
        if (fromBatch) {
            batch.show();
            QApplication::setActiveWindow(&batch);
            owner = &batch;
        }
        QRect seen;
        QWidget* parent = nullptr;
        bool modal = false;
        QTimer::singleShot(0, [&] {
            CloseAtEnd guard;
            frmAbout* box = openBox();
            QVERIFY(box);
            seen = box->frameGeometry();
            parent = box->parentWidget();
            modal = box->isModal();
            box->reject();
        });
        ShowAboutBox(owner, &main.window, nullptr);
        QVERIFY(seen.isValid());
        QCOMPARE(parent, owner);
        QVERIFY(modal);
        const QPoint expected = frmAbout::centredOn(main.window.frameGeometry(), seen.size());
        QCOMPARE(seen.topLeft(), expected);
        QVERIFY((seen.center() - main.window.frameGeometry().center()).manhattanLength() <= 2);
    }

    void escapeAndEnterCloseOtherKeysDoNothing_data() {
        QTest::addColumn<int>("closingKey");
        QTest::newRow("Esc") << int(Qt::Key_Escape);
        QTest::newRow("Enter") << int(Qt::Key_Return);
        QTest::newRow("keypad Enter") << int(Qt::Key_Enter);
    }
    void escapeAndEnterCloseOtherKeysDoNothing() {
        QFETCH(int, closingKey);
        MainWindow main;
        QVERIFY(QTest::qWaitForWindowActive(&main.window));
        QCOMPARE(QApplication::focusWidget(), main.field);
        int finished = 0;
        bool stayedOpen = true;
        QTimer::singleShot(0, [&] {
            CloseAtEnd guard;
            frmAbout* box = openBox();
            QVERIFY(box);
            connect(box, &QDialog::finished, box, [&] { ++finished; });
            QTRY_COMPARE(QApplication::activeWindow(), box);
            // The focus moved into the box, so the keys go to it.
            QWidget* focus = QApplication::focusWidget();
            QVERIFY(focus == box || box->isAncestorOf(focus));
            for (Qt::Key key : {Qt::Key_Space, Qt::Key_A, Qt::Key_Tab, Qt::Key_Left, Qt::Key_F11,
                                Qt::Key_Delete}) {
                QTest::keyClick(QApplication::focusWidget(), key);
                stayedOpen = stayedOpen && box->isVisible();
            }
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_A, Qt::ControlModifier);
            stayedOpen = stayedOpen && box->isVisible() && finished == 0;
            QTest::keyClick(QApplication::focusWidget(), Qt::Key(closingKey));
        });
        ShowAboutBox(&main.window, &main.window, nullptr);
        QVERIFY(stayedOpen);
        QCOMPARE(finished, 1);
        QVERIFY(!openBox());
        // The field that had the focus has it again, with nothing typed into it.
        QTRY_COMPARE(QApplication::focusWidget(), main.field);
        QCOMPARE(main.field->text(), QString());
    }

    void openedTwiceInARow() {
        MainWindow main;
        QList<QRect> places;
        QStringList titles;
        for (Qt::Key key : {Qt::Key_Escape, Qt::Key_Return}) {
            QTimer::singleShot(0, [&, key] {
                CloseAtEnd guard;
                frmAbout* box = openBox();
                QVERIFY(box);
                QVERIFY(QTest::qWaitForWindowActive(box));
                places << box->frameGeometry();
                titles << label(box, "lblTitle")->text();
                QTest::keyClick(QApplication::focusWidget(), key);
            });
            ShowAboutBox(&main.window, &main.window, nullptr);
            QVERIFY(!openBox());
        }
        QCOMPARE(places.size(), 2);
        QCOMPARE(places.at(0), places.at(1));
        QCOMPARE(titles.at(0), titles.at(1));
    }
};

QTEST_MAIN(TestAbout)
#include "tst_about.moc"
