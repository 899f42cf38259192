#include "frmSetup.h"

#include "SettingsKeys.h"
#include "widgets/Twips.h"

#include <QCheckBox>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>

#include <algorithm>

namespace {
const QString kTitle = QStringLiteral("環境設定");
const QString kBadTimeout = QStringLiteral("タイムアウトの設定が不正です");
const QString kBadCount = QStringLiteral("件数の設定が不正です");

// A numeric text as the dialog accepts it; full-width digits count as their narrow forms.
bool numeric(const QString& text) {
    return !text.trimmed().isEmpty() && NumericText(text).has_value();
}
} // namespace

frmSetup::frmSetup(QWidget* mainWindow, std::function<void(QWidget*, const QString&)> showMessage)
    : QDialog(mainWindow), m_showMessage(std::move(showMessage)) {
    setObjectName(QStringLiteral("frmSetup"));
    // A fixed-size dialog: no maximise or minimise buttons.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);
    if (!m_showMessage)
        m_showMessage = [](QWidget* parent, const QString& text) {
            QMessageBox::information(parent, kApplicationName, text, QMessageBox::Ok);
        };
    buildControls();
    Form_Load(mainWindow);
}

void frmSetup::buildControls() {
    const int dpi = logicalDpiX();
    setFixedSize(twipsToPixels(4455, dpi), twipsToPixels(5640, dpi));
    auto* frame = new QGroupBox(this);
    frame->setObjectName(QStringLiteral("Frame1"));
    setTwipsGeometry(frame, 30, -60, 4365, 5175);

    auto label = [&](const char* name, const QString& text, int left, int top, bool bold) {
        auto* l = new QLabel(text, frame);
        l->setObjectName(QString::fromLatin1(name));
        setTwipsGeometry(l, left, top, 3300, 200);
        if (bold) {
            QFont f = l->font();
            f.setBold(true);
            l->setFont(f);
        }
        l->adjustSize();
        return l;
    };
    auto check = [&](const char* name, const QString& text, int top, int width) {
        auto* c = new QCheckBox(text, frame);
        c->setObjectName(QString::fromLatin1(name));
        setTwipsGeometry(c, 150, top, width, 200);
        c->resize(std::max(c->width(), c->sizeHint().width()),
                  std::max(c->height(), c->sizeHint().height()));
        return c;
    };
    auto edit = [&](const char* name, int left, int top, int width) {
        auto* e = new QLineEdit(frame);
        e->setObjectName(QString::fromLatin1(name));
        setTwipsGeometry(e, left, top, width, 270);
        return e;
    };

    label("Label3", QStringLiteral("起動の設定"), 120, 240, true);
    Check5 = check("Check5", QStringLiteral("起動時にテーブルリストの更新を行う"), 570, 3195);
    label("lblQuery", QStringLiteral("クエリの設定"), 120, 1080, true);
    QLabel* lblTimeout = label("lblQOption1", QStringLiteral("タイムアウト"), 150, 1380, false);
    txtTimeout = edit("txtTimeout", 1170, 1350, 495);
    QLabel* lblSec = label("lblSec", QStringLiteral("sec"), 1740, 1380, false);
    Check4 = check("Check4", QStringLiteral("削除クエリの警告を行う"), 1740, 3195);
    Check6 = check("Check6", QStringLiteral("結果のNULLを「NULL」と表示する"), 2040, 3195);
    label("lblImport", QStringLiteral("インポートの設定"), 120, 2610, true);
    Check2 = check("Check2", QStringLiteral("ADOエラーを無視する"), 2910, 2325);
    txtOption3 = edit("txtOption3", 120, 3240, 795);
    QLabel* lblCount =
        label("lblOption3", QStringLiteral("件毎に処理件数を表示する"), 1020, 3300, false);
    label("lblExport", QStringLiteral("エクスポートの設定"), 120, 3750, true);
    Check3 = check("Check3", QStringLiteral("Excel出力時、フィールド名を出力する"), 4050, 3345);
    label("Label1", QStringLiteral("ログインの設定"), 120, 4500, true);
    Check1 = check("Check1", QStringLiteral("パスワードを保存する"), 4800, 3345);
    // Lines between the sections.
    for (int top : {960, 2490, 3630, 4380}) {
        auto* line = new QFrame(frame);
        line->setFrameShape(QFrame::HLine);
        line->setFrameShadow(QFrame::Sunken);
        setTwipsGeometry(line, 60, top, 4245, 30);
    }

    cmdSet = new QPushButton(QStringLiteral("設定"), this);
    cmdSet->setObjectName(QStringLiteral("cmdSet"));
    setTwipsGeometry(cmdSet, 2370, 5190, 945, 345);
    cmdCancel = new QPushButton(QStringLiteral("キャンセル"), this);
    cmdCancel->setObjectName(QStringLiteral("cmdCancel"));
    setTwipsGeometry(cmdCancel, 3390, 5190, 975, 345);
    // Enter presses the focused button; in any other control it presses 設定.
    cmdCancel->setAutoDefault(true);
    cmdSet->setAutoDefault(true);
    cmdSet->setDefault(true);

    // The design assumes a narrower font: keep a gap after each label and field, and give the
    // buttons room for their texts, growing the dialog where needed.
    const int gap = twipsToPixels(90, dpi);
    const auto after = [&](QWidget* first, QWidget* next) {
        if (next->x() < first->geometry().right() + 1 + gap)
            next->move(first->geometry().right() + 1 + gap, next->y());
    };
    after(lblTimeout, txtTimeout);
    after(txtTimeout, lblSec);
    after(txtOption3, lblCount);
    int right = 0;
    for (QWidget* w : frame->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        right = std::max(right, w->geometry().right());
    const int margin = twipsToPixels(120, dpi);
    for (QPushButton* b : {cmdSet, cmdCancel})
        b->resize(std::max(b->width(), b->sizeHint().width()),
                  std::max(b->height(), b->sizeHint().height()));
    const int buttonsWidth = cmdSet->width() + gap + cmdCancel->width();
    const int frameWidth = std::max({frame->width(), right + margin, buttonsWidth});
    frame->resize(frameWidth, frame->height());
    cmdCancel->move(frame->geometry().right() + 1 - cmdCancel->width(), cmdCancel->y());
    cmdSet->move(cmdCancel->x() - gap - cmdSet->width(), cmdSet->y());
    setFixedSize(std::max(width(), frame->geometry().right() + 1 + twipsToPixels(60, dpi)),
                 std::max(height(), cmdCancel->geometry().bottom() + 1 + twipsToPixels(90, dpi)));
    connect(cmdSet, &QPushButton::clicked, this, &frmSetup::cmdSet_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &frmSetup::cmdCancel_Click);

    QWidget* order[] = {Check5,     txtTimeout, Check4, Check6,    Check2,
                        txtOption3, Check3,     cmdSet, cmdCancel, Check1};
    for (size_t i = 0; i + 1 < std::size(order); ++i)
        setTabOrder(order[i], order[i + 1]);
}

void frmSetup::Form_Load(QWidget* mainWindow) {
    setWindowTitle(kTitle);
    if (mainWindow) {
        const QRect m = mainWindow->frameGeometry();
        move(int(m.width() / 2.0 + m.left() - width() / 2.0),
             int(m.height() / 2.0 + m.top() - height() / 2.0));
    }
    txtTimeout->setText(ReadSetting(keys::QueryTimeout));
    Check4->setChecked(ReadBoolSetting(keys::QueryDelete));
    Check6->setChecked(ReadBoolSetting(keys::GridShowNull));
    Check2->setChecked(ReadBoolSetting(keys::ImportErrorHandling));
    txtOption3->setText(ReadSetting(keys::ImportRefresh));
    Check3->setChecked(ReadBoolSetting(keys::ExportField));
    Check5->setChecked(ReadBoolSetting(keys::TableListAutoRefresh));
    Check1->setChecked(ReadBoolSetting(keys::PasswordSave));
}

void frmSetup::cmdSet_Click() {
    if (!numeric(txtTimeout->text())) return m_showMessage(this, kBadTimeout);
    if (!numeric(txtOption3->text())) return m_showMessage(this, kBadCount);
    // A value beyond 16 bits is not written; the other options still are.
    if (const auto timeout = Integer16Text(txtTimeout->text()))
        WriteSetting(keys::QueryTimeout, QString::number(*timeout));
    WriteBoolSetting(keys::ImportErrorHandling, Check2->isChecked());
    if (const auto count = Integer16Text(txtOption3->text()))
        WriteSetting(keys::ImportRefresh, QString::number(*count));
    WriteBoolSetting(keys::ExportField, Check3->isChecked());
    WriteBoolSetting(keys::QueryDelete, Check4->isChecked());
    WriteBoolSetting(keys::GridShowNull, Check6->isChecked());
    WriteBoolSetting(keys::TableListAutoRefresh, Check5->isChecked());
    WriteBoolSetting(keys::PasswordSave, Check1->isChecked());
    if (!Check1->isChecked())
        for (const SettingKey& key : {keys::LoginSqlPass, keys::LoginOraclePass,
                                      keys::LoginOdbcPass, keys::LoginAccessPass})
            WriteSetting(key, QString());
    accept();
}

void frmSetup::cmdCancel_Click() {
    reject();
}
