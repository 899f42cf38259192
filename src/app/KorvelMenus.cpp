// The main window's menu tree and toolbar, as tables.
#include "frmKorvel.h"

#include <QAction>
#include <QComboBox>
#include <QIcon>
#include <QMenuBar>
#include <QToolBar>

namespace {
struct Item {
    const char* name;
    const char* caption; // "-" for a separator
    QKeySequence shortcut;
};

struct Button {
    const char* key;
    const char* tooltip;
    const char* image;
};

const Button kButtons[] = {
    {"Connect", "接続", "connect"},
    {"Execute", "クエリ実行", "execute"},
    {"Refresh", "リフレッシュ", "refresh"},
    {"Backward", "前のクエリ", "backward"},
    {"Forward", "次のクエリ", "forward"},
    {"display_tablelist", "テーブル表示", "display_tablelist"},
    {"refresh_tablelist", "テーブルリストのリフレッシュ", "refresh_tablelist"},
    {"HTML", "ブラウザに出力", "html"},
    {"Excel", "エクセルに出力", "excel"},
    {"Setup", "設定", "setup"},
    {"Info", "ヘルプ", "help"},
    {"Shutdown", "終了", "shutdown"},
};
} // namespace

void frmKorvel::buildMenus() {
    auto addItems = [this](QMenu* menu, std::initializer_list<Item> items) {
        for (const Item& it : items) {
            if (QByteArrayView(it.caption) == "-") {
                QAction* separator = menu->addSeparator();
                separator->setObjectName(QString::fromLatin1(it.name));
                m_actions.insert(QString::fromLatin1(it.name), separator);
                continue;
            }
            QAction* a = menu->addAction(QString::fromUtf8(it.caption));
            a->setObjectName(QString::fromLatin1(it.name));
            a->setShortcut(it.shortcut);
            m_actions.insert(a->objectName(), a);
        }
    };
    auto addMenu = [this](QMenu* parent, const char* name, const char* caption) {
        QMenu* m = parent ? parent->addMenu(QString::fromUtf8(caption))
                          : menuBar()->addMenu(QString::fromUtf8(caption));
        m->setObjectName(QString::fromLatin1(name));
        m_actions.insert(m->objectName(), m->menuAction());
        m_menuEnabled.insert(m, true);
        return m;
    };

    mnuFile = addMenu(nullptr, "mnuFile", "ファイル(&F)");
    addItems(mnuFile, {{"mnuNewConnection", "新規接続(&N)", Qt::Key_F1},
                       {"mnuDummy", "-", {}},
                       {"mnuExit", "終了(&X)", Qt::Key_F12}});
    mnuQuery = addMenu(nullptr, "mnuQuery", "クエリ(&Q)");
    addItems(mnuQuery, {{"mnuExecute", "実行(&J)", Qt::CTRL | Qt::Key_E},
                        {"mnuRefresh", "リフレッシュ(&R)", Qt::CTRL | Qt::Key_R},
                        {"mnuNewQuery", "新規クエリ(&N)", Qt::CTRL | Qt::Key_N},
                        {"mnuQueryForward", "次のクエリ (ALT + →)", {}},
                        {"mnuQueryBackward", "前のクエリ (ALT + ←)", {}}});
    mnuImportExport = addMenu(nullptr, "mnuImportExport", "データ入出力(&D)");
    addItems(mnuImportExport, {{"mnuExcel", "EXCEL出力(&E)", Qt::Key_F3},
                               {"mnuHTML", "ブラウザ出力(&H)", Qt::Key_F4},
                               {"mnuBatch", "バッチ処理(&B)", Qt::Key_F6}});
    QMenu* mnuImport = addMenu(mnuImportExport, "mnuImport", "インポート(&I)");
    addItems(mnuImport, {{"mnuImportCSV", "CSV入力(&C)", Qt::Key_F7},
                         {"mnuImportTAB", "TAB入力(&T)", Qt::Key_F8}});
    QMenu* mnuExport = addMenu(mnuImportExport, "mnuExport", "エクスポート(&E)");
    addItems(mnuExport, {{"mnuCSV", "CSV出力(&C)", Qt::CTRL | Qt::Key_F7},
                         {"mnuTab", "TAB出力(&T)", Qt::CTRL | Qt::Key_F8}});
    mnuOption = addMenu(nullptr, "mnuOption", "オプション(&O)");
    addItems(mnuOption, {{"mnuSetup", "環境設定(&S)", Qt::Key_F9}});
    mnuHelp = addMenu(nullptr, "mnuHelp", "ヘルプ(&H)");
    addItems(mnuHelp, {{"mnuIndex", "目次(&I)", Qt::Key_F11},
                       {"mnuDummy2", "-", {}},
                       {"mnuAbout", "About(&A)", {}}});

    connect(action(QStringLiteral("mnuNewConnection")), &QAction::triggered, this,
            &frmKorvel::mnuNewConnection_Click);
    connect(action(QStringLiteral("mnuExit")), &QAction::triggered, this, &QWidget::close);
    connect(action(QStringLiteral("mnuExecute")), &QAction::triggered, this,
            &frmKorvel::ExecuteQueryBox);
    connect(action(QStringLiteral("mnuRefresh")), &QAction::triggered, this,
            &frmKorvel::RequeryResult);
    connect(action(QStringLiteral("mnuNewQuery")), &QAction::triggered, this,
            &frmKorvel::mnuNewQuery_Click);
    connect(action(QStringLiteral("mnuQueryForward")), &QAction::triggered, this,
            &frmKorvel::HistoryForward);
    connect(action(QStringLiteral("mnuQueryBackward")), &QAction::triggered, this,
            &frmKorvel::HistoryBackward);
    connect(action(QStringLiteral("mnuSetup")), &QAction::triggered, this,
            &frmKorvel::mnuSetup_Click);
    connect(action(QStringLiteral("mnuBatch")), &QAction::triggered, this,
            &frmKorvel::mnuBatch_Click);
    connect(action(QStringLiteral("mnuCSV")), &QAction::triggered, this, &frmKorvel::mnuCSV_Click);
    connect(action(QStringLiteral("mnuTab")), &QAction::triggered, this, &frmKorvel::mnuTab_Click);
    connect(action(QStringLiteral("mnuImportCSV")), &QAction::triggered, this,
            &frmKorvel::mnuImportCSV_Click);
    connect(action(QStringLiteral("mnuImportTAB")), &QAction::triggered, this,
            &frmKorvel::mnuImportTAB_Click);
    connect(action(QStringLiteral("mnuIndex")), &QAction::triggered, this,
            &frmKorvel::mnuIndex_Click);
    connect(action(QStringLiteral("mnuAbout")), &QAction::triggered, this,
            &frmKorvel::mnuAbout_Click);
    connect(action(QStringLiteral("mnuExcel")), &QAction::triggered, this,
            &frmKorvel::mnuExcel_Click);
    connect(action(QStringLiteral("mnuHTML")), &QAction::triggered, this,
            &frmKorvel::mnuHTML_Click);
}

void frmKorvel::buildToolbar() {
    for (const Button& b : kButtons) {
        const QString key = QString::fromLatin1(b.key);
        QAction* a = Toolbar1->addAction(
            QIcon(QStringLiteral(":/icons/%1.svg").arg(QString::fromLatin1(b.image))),
            QString::fromUtf8(b.tooltip));
        a->setObjectName(QStringLiteral("Toolbar1.") + key);
        a->setToolTip(QString::fromUtf8(b.tooltip));
        a->setData(key);
        connect(a, &QAction::triggered, this, [this, key] { Toolbar1_ButtonClick(key); });
        m_buttons.insert(key, a);
        // The table list stands between the history buttons and the table buttons.
        if (key == QLatin1String("Forward")) Toolbar1->addWidget(cboTableList);
    }
}

void frmKorvel::Toolbar1_ButtonClick(const QString& key) {
    if (key == QLatin1String("Connect"))
        mnuNewConnection_Click();
    else if (key == QLatin1String("Execute"))
        ExecuteQueryBox();
    else if (key == QLatin1String("Refresh"))
        RequeryResult();
    else if (key == QLatin1String("Backward")) {
        if (action(QStringLiteral("mnuQueryBackward"))->isEnabled()) HistoryBackward();
    } else if (key == QLatin1String("Forward")) {
        if (action(QStringLiteral("mnuQueryForward"))->isEnabled()) HistoryForward();
    } else if (key == QLatin1String("display_tablelist"))
        OpenSelectedTable();
    else if (key == QLatin1String("refresh_tablelist"))
        RefreshTableList();
    else if (key == QLatin1String("Setup"))
        mnuSetup_Click();
    else if (key == QLatin1String("HTML"))
        mnuHTML_Click();
    else if (key == QLatin1String("Excel"))
        mnuExcel_Click();
    else if (key == QLatin1String("Info"))
        mnuIndex_Click();
    else if (key == QLatin1String("Shutdown"))
        close();
    // Any other key does nothing.
}
