// The options dialog offscreen against a real settings file.
#include "options/SettingsStore.h"
#include "options/frmSetup.h"

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

class TestFrmSetup : public QObject {
    Q_OBJECT
    std::unique_ptr<QTemporaryDir> m_config;
    QStringList m_messages;

    std::unique_ptr<frmSetup> dialog() {
        return std::make_unique<frmSetup>(
            nullptr, [this](QWidget*, const QString& text) { m_messages << text; });
    }
    static QLineEdit* edit(QWidget* d, const char* name) {
        return d->findChild<QLineEdit*>(QString::fromLatin1(name));
    }
    static QCheckBox* check(QWidget* d, const char* name) {
        return d->findChild<QCheckBox*>(QString::fromLatin1(name));
    }
    static QString setting(const char* section, const char* key) {
        return GetSetting(QString::fromLatin1(section), QString::fromLatin1(key),
                          QStringLiteral("<none>"));
    }

private slots:
    void init() {
        m_config = std::make_unique<QTemporaryDir>();
        qputenv("XDG_CONFIG_HOME", m_config->path().toUtf8());
        m_messages.clear();
    }

    void firstShowingHasTheDefaults() {
        auto d = dialog();
        QCOMPARE(d->windowTitle(), QStringLiteral("環境設定"));
        QCOMPARE(edit(d.get(), "txtTimeout")->text(), QStringLiteral("30"));
        QCOMPARE(edit(d.get(), "txtOption3")->text(), QStringLiteral("100"));
        QVERIFY(check(d.get(), "Check4")->isChecked());
        QVERIFY(check(d.get(), "Check5")->isChecked());
        QVERIFY(check(d.get(), "Check6")->isChecked());
        QVERIFY(!check(d.get(), "Check1")->isChecked());
        QVERIFY(!check(d.get(), "Check2")->isChecked());
        QVERIFY(!check(d.get(), "Check3")->isChecked());
        QVERIFY(d->findChild<QPushButton*>(QStringLiteral("cmdSet"))->isDefault());
        QCOMPARE(check(d.get(), "Check1")->text(), QStringLiteral("パスワードを保存する"));
    }

    void invalidNumbersWriteNothing_data() {
        QTest::addColumn<QString>("timeout");
        QTest::addColumn<QString>("count");
        QTest::addColumn<QString>("message");
        QTest::newRow("timeout abc") << "abc"
                                     << "100"
                                     << "タイムアウトの設定が不正です";
        QTest::newRow("empty timeout, count abc") << ""
                                                  << "abc"
                                                  << "タイムアウトの設定が不正です";
        QTest::newRow("blank timeout") << "   "
                                       << "100"
                                       << "タイムアウトの設定が不正です";
        QTest::newRow("count abc") << "30"
                                   << "abc"
                                   << "件数の設定が不正です";
    }
    void invalidNumbersWriteNothing() {
        QFETCH(QString, timeout);
        QFETCH(QString, count);
        QFETCH(QString, message);
        auto d = dialog();
        edit(d.get(), "txtTimeout")->setText(timeout);
        edit(d.get(), "txtOption3")->setText(count);
        d->cmdSet_Click();
        QCOMPARE(m_messages, QStringList{message});
        QVERIFY(!QFile::exists(settingsFilePath()));
        QCOMPARE(d->result(), 0);
    }

    void numbersAreWrittenAs16BitIntegers_data() {
        QTest::addColumn<QString>("timeout");
        QTest::addColumn<QString>("count");
        QTest::addColumn<QString>("storedTimeout");
        QTest::addColumn<QString>("storedCount");
        QTest::newRow("60 and 50") << "60"
                                   << "50"
                                   << "60"
                                   << "50";
        QTest::newRow("1.5 rounds up") << "1.5"
                                       << "100"
                                       << "2"
                                       << "100";
        QTest::newRow("2.5 rounds to even") << "2.5"
                                            << "0.5"
                                            << "2"
                                            << "0";
        QTest::newRow("negative") << "-5"
                                  << " 7 "
                                  << "-5"
                                  << "7";
        QTest::newRow("full-width timeout") << "１２０"
                                            << "100"
                                            << "120"
                                            << "100";
        QTest::newRow("full-width count") << "30"
                                          << "５０"
                                          << "30"
                                          << "50";
        QTest::newRow("40000 not written") << "40000"
                                           << "40000"
                                           << "<none>"
                                           << "<none>";
    }
    void numbersAreWrittenAs16BitIntegers() {
        QFETCH(QString, timeout);
        QFETCH(QString, count);
        QFETCH(QString, storedTimeout);
        QFETCH(QString, storedCount);
        auto d = dialog();
        edit(d.get(), "txtTimeout")->setText(timeout);
        edit(d.get(), "txtOption3")->setText(count);
        check(d.get(), "Check3")->setChecked(true);
        check(d.get(), "Check6")->setChecked(false);
        d->cmdSet_Click();
        QVERIFY(m_messages.isEmpty());
        QCOMPARE(d->result(), int(QDialog::Accepted));
        QCOMPARE(setting("Query", "Timeout"), storedTimeout);
        QCOMPARE(setting("Import", "Refresh"), storedCount);
        QCOMPARE(setting("Export", "Field"), QStringLiteral("True"));
        QCOMPARE(setting("Query", "Delete"), QStringLiteral("True"));
        QCOMPARE(setting("Grid", "ShowNull"), QStringLiteral("False"));
    }

    void passwordSavingOffEmptiesThePasswords() {
        SaveSetting(QStringLiteral("Password"), QStringLiteral("Save"), QStringLiteral("True"));
        for (const char* key : {"SQLPass", "OraclePass", "ODBCPass", "AccessPass"})
            SaveSetting(QStringLiteral("LOGIN"), QString::fromLatin1(key),
                        QStringLiteral("secret"));
        auto d = dialog();
        QVERIFY(check(d.get(), "Check1")->isChecked());
        check(d.get(), "Check1")->setChecked(false);
        d->cmdSet_Click();
        QCOMPARE(setting("Password", "Save"), QStringLiteral("False"));
        for (const char* key : {"SQLPass", "OraclePass", "ODBCPass", "AccessPass"})
            QCOMPARE(setting("LOGIN", key), QString());
    }

    // Enter on a focused button presses that button; in a field it presses 設定.
    void enterPressesTheFocusedButton_data() {
        QTest::addColumn<QString>("focus");
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("result");
        QTest::newRow("Return on キャンセル")
            << "cmdCancel" << int(Qt::Key_Return) << int(QDialog::Rejected);
        QTest::newRow("keypad Enter on キャンセル")
            << "cmdCancel" << int(Qt::Key_Enter) << int(QDialog::Rejected);
        QTest::newRow("Return on 設定")
            << "cmdSet" << int(Qt::Key_Return) << int(QDialog::Accepted);
        QTest::newRow("Return in the count")
            << "txtOption3" << int(Qt::Key_Return) << int(QDialog::Accepted);
        QTest::newRow("Return on a check box")
            << "Check2" << int(Qt::Key_Return) << int(QDialog::Accepted);
    }
    void enterPressesTheFocusedButton() {
        QFETCH(QString, focus);
        QFETCH(int, key);
        QFETCH(int, result);
        auto d = dialog();
        d->show();
        QVERIFY(QTest::qWaitForWindowActive(d.get()));
        check(d.get(), "Check2")->setChecked(true);
        // Walk there with Tab, as a user does.
        QWidget* target = d->findChild<QWidget*>(focus);
        for (int i = 0; i < 12 && QApplication::focusWidget() != target; ++i)
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), target);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key(key));
        QCOMPARE(d->result(), result);
        QVERIFY(!d->isVisible());
        QCOMPARE(setting("Import", "ErrorHandling"), result == int(QDialog::Accepted)
                                                         ? QStringLiteral("True")
                                                         : QStringLiteral("<none>"));
    }

    // Labels, fields and buttons keep apart and show their whole texts in the font in use.
    void controlsFitTheirTexts() {
        auto d = dialog();
        d->show();
        QVERIFY(QTest::qWaitForWindowExposed(d.get()));
        QVERIFY(
            !(d->windowFlags() & (Qt::WindowMaximizeButtonHint | Qt::WindowMinimizeButtonHint)));
        QCOMPARE(d->minimumSize(), d->maximumSize());
        const auto global = [&](const char* name) {
            QWidget* w = d->findChild<QWidget*>(QString::fromLatin1(name));
            return QRect(w->mapTo(d.get(), QPoint(0, 0)), w->size());
        };
        for (auto [left, right] :
             {std::pair{"lblQOption1", "txtTimeout"}, std::pair{"txtTimeout", "lblSec"},
              std::pair{"txtOption3", "lblOption3"}, std::pair{"cmdSet", "cmdCancel"}})
            QVERIFY2(global(left).right() + 3 < global(right).left(),
                     qPrintable(QString::fromLatin1(left)));
        for (const char* name : {"cmdSet", "cmdCancel"}) {
            auto* b = d->findChild<QPushButton*>(QString::fromLatin1(name));
            QVERIFY2(b->width() >= b->sizeHint().width(), name);
        }
        for (QLabel* l : d->findChildren<QLabel*>())
            QVERIFY2(l->width() >= l->sizeHint().width(), qPrintable(l->objectName()));
        for (QWidget* w : d->findChildren<QWidget*>())
            if (w->isVisibleTo(d.get()) && w->parentWidget() == d.get())
                QVERIFY2(global(qPrintable(w->objectName())).right() < d->width() &&
                             global(qPrintable(w->objectName())).bottom() < d->height(),
                         qPrintable(w->objectName()));
    }

    void cancelWritesNothing() {
        auto d = dialog();
        for (const char* name : {"Check1", "Check2", "Check3", "Check4", "Check5", "Check6"})
            check(d.get(), name)->setChecked(!check(d.get(), name)->isChecked());
        edit(d.get(), "txtTimeout")->setText(QStringLiteral("99"));
        QTest::mouseClick(d->findChild<QPushButton*>(QStringLiteral("cmdCancel")), Qt::LeftButton);
        QCOMPARE(d->result(), int(QDialog::Rejected));
        QVERIFY(!QFile::exists(settingsFilePath()));
    }
};

QTEST_MAIN(TestFrmSetup)
#include "tst_frmsetup.moc"
