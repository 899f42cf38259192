#include "frmSetup.h"

#include "SettingsStore.h"
#include "Twips.h"

#include <QCheckBox>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>

namespace {
const QString kTitle = QStringLiteral("環境設定");
const QString kBadTimeout = QStringLiteral("タイムアウトの設定が不正です");
const QString kBadCount = QStringLiteral("件数の設定が不正です");

QString boolText(const QCheckBox* box) { return box->isChecked() ? QStringLiteral("True") : QStringLiteral("False"); }

// A numeric text as the dialog accepts it, without full-width forms for the count.
bool numeric(const QString& text, bool fullWidth) {
    if (text.trimmed().isEmpty()) return false;
    if (!fullWidth)
        for (QChar c : text)
            if (c.unicode() >= 0xFF01 && c.unicode() <= 0xFF5E) return false;
    return NumericText(text).has_value();
}
} // namespace

frmSetup::frmSetup(QWidget* mainWindow, std::function<void(QWidget*, const QString&)> showMessage)
    : QDialog(mainWindow), m_showMessage(std::move(showMessage)) {
    setObjectName(QStringLiteral("frmSetup"));
    if (!m_showMessage)
        m_showMessage = [](QWidget* parent, const QString& text) {
            QMessageBox::information(parent, kApplicationName, text, QMessageBox::Ok);
        };
    buildControls();
    Form_Load(mainWindow);
}

void frmSetup::buildControls() {
    const int dpi = logicalDpiX();
    setFixedSize(twipsToPixels(4455, dpi), twipsToPixels(5280, dpi));
    auto* frame = new QGroupBox(this);
    frame->setObjectName(QStringLiteral("Frame1"));
    setTwipsGeometry(frame, 30, -60, 4365, 4815);

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
        c->resize(std::max(c->width(), c->sizeHint().width()), std::max(c->height(), c->sizeHint().height()));
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
    label("lblQOption1", QStringLiteral("タイムアウト"), 150, 1380, false);
    txtTimeout = edit("txtTimeout", 1170, 1350, 495);
    label("lblSec", QStringLiteral("sec"), 1740, 1380, false);
    Check4 = check("Check4", QStringLiteral("削除クエリの警告を行う"), 1740, 3195);
    label("lblImport", QStringLiteral("インポートの設定"), 120, 2250, true);
    Check2 = check("Check2", QStringLiteral("ADOエラーを無視する"), 2550, 2325);
    txtOption3 = edit("txtOption3", 120, 2880, 795);
    label("lblOption3", QStringLiteral("件毎に処理件数を表示する"), 1020, 2940, false);
    label("lblExport", QStringLiteral("エクスポートの設定"), 120, 3390, true);
    Check3 = check("Check3", QStringLiteral("Excel出力時、フィールド名を出力する"), 3690, 3345);
    label("Label1", QStringLiteral("ログインの設定"), 120, 4140, true);
    Check1 = check("Check1", QStringLiteral("パスワードを保存する"), 4440, 3345);
    // Lines between the sections.
    for (int top : {960, 2130, 3270, 4020}) {
        auto* line = new QFrame(frame);
        line->setFrameShape(QFrame::HLine);
        line->setFrameShadow(QFrame::Sunken);
        setTwipsGeometry(line, 60, top, 4245, 30);
    }

    cmdSet = new QPushButton(QStringLiteral("設定"), this);
    cmdSet->setObjectName(QStringLiteral("cmdSet"));
    setTwipsGeometry(cmdSet, 2370, 4830, 945, 345);
    cmdSet->setDefault(true);
    cmdCancel = new QPushButton(QStringLiteral("キャンセル"), this);
    cmdCancel->setObjectName(QStringLiteral("cmdCancel"));
    cmdCancel->setAutoDefault(false);
    setTwipsGeometry(cmdCancel, 3390, 4830, 975, 345);
    connect(cmdSet, &QPushButton::clicked, this, &frmSetup::cmdSet_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &frmSetup::cmdCancel_Click);

    QWidget* order[] = {Check5, txtTimeout, Check4, Check2, txtOption3, Check3, cmdSet, cmdCancel, Check1};
    for (size_t i = 0; i + 1 < std::size(order); ++i) setTabOrder(order[i], order[i + 1]);
}

void frmSetup::Form_Load(QWidget* mainWindow) {
    setWindowTitle(kTitle);
    if (mainWindow) {
        const QRect m = mainWindow->frameGeometry();
        move(int(m.width() / 2.0 + m.left() - width() / 2.0), int(m.height() / 2.0 + m.top() - height() / 2.0));
    }
    txtTimeout->setText(GetSetting(QStringLiteral("Query"), QStringLiteral("Timeout"), 30));
    Check4->setChecked(GetBoolSetting(QStringLiteral("Query"), QStringLiteral("Delete"), true));
    Check2->setChecked(GetBoolSetting(QStringLiteral("Import"), QStringLiteral("ErrorHandling"), false));
    txtOption3->setText(GetSetting(QStringLiteral("Import"), QStringLiteral("Refresh"), 100));
    Check3->setChecked(GetBoolSetting(QStringLiteral("Export"), QStringLiteral("Field"), false));
    Check5->setChecked(GetBoolSetting(QStringLiteral("TableList"), QStringLiteral("AutoRefresh"), true));
    Check1->setChecked(GetBoolSetting(QStringLiteral("Password"), QStringLiteral("Save"), false));
}

void frmSetup::cmdSet_Click() {
    if (!numeric(txtTimeout->text(), true)) return m_showMessage(this, kBadTimeout);
    if (!numeric(txtOption3->text(), false)) return m_showMessage(this, kBadCount);
    // A value beyond 16 bits is not written; the other options still are.
    if (const auto timeout = Integer16Text(txtTimeout->text()))
        SaveSetting(QStringLiteral("Query"), QStringLiteral("Timeout"), QString::number(*timeout));
    SaveSetting(QStringLiteral("Import"), QStringLiteral("ErrorHandling"), boolText(Check2));
    if (const auto count = Integer16Text(txtOption3->text()))
        SaveSetting(QStringLiteral("Import"), QStringLiteral("Refresh"), QString::number(*count));
    SaveSetting(QStringLiteral("Export"), QStringLiteral("Field"), boolText(Check3));
    SaveSetting(QStringLiteral("Query"), QStringLiteral("Delete"), boolText(Check4));
    SaveSetting(QStringLiteral("TableList"), QStringLiteral("AutoRefresh"), boolText(Check5));
    SaveSetting(QStringLiteral("Password"), QStringLiteral("Save"), boolText(Check1));
    if (!Check1->isChecked())
        for (const char* key : {"SQLPass", "OraclePass", "ODBCPass", "AccessPass"})
            SaveSetting(QStringLiteral("LOGIN"), QString::fromLatin1(key), QString());
    accept();
}

void frmSetup::cmdCancel_Click() { reject(); }
