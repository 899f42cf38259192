// The main window's menu tree and toolbar, as tables.
#include "frmKorvel.h"

#include "widgets/MenuTexts.h"

#include <QAction>
#include <QComboBox>
#include <QIcon>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QToolBar>

namespace {
struct Item {
    const char* name;
    const char* caption; // "-" for a separator
    QKeySequence shortcut = {};
    void (frmKorvel::*handler)() = nullptr;
    // Where the window keeps the item, when it changes it later.
    QAction* frmKorvel::*member = nullptr;
};

struct Button {
    const char* key;
    const char* tooltip;
    const char* image;
    QAction* frmKorvel::*member = nullptr;
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
            if (it.handler) connect(a, &QAction::triggered, this, it.handler);
            if (it.member) this->*it.member = a;
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
    using W = frmKorvel;

    mnuFile = addMenu(nullptr, "mnuFile", menutext::kFile);
    addItems(mnuFile, {{"mnuNewConnection", "新規接続(&N)", Qt::Key_F1, &W::mnuNewConnection_Click},
                       {"mnuDummy", "-"},
                       {"mnuExit", menutext::kExit, Qt::Key_F12, &W::mnuExit_Click}});
    mnuQuery = addMenu(nullptr, "mnuQuery", "クエリ(&Q)");
    addItems(
        mnuQuery,
        {{"mnuExecute", "実行(&J)", Qt::CTRL | Qt::Key_E, &W::ExecuteQueryBox},
         {"mnuExecuteAtCaret", "カーソル位置のクエリを実行(&C)", Qt::CTRL | Qt::Key_Return,
          &W::ExecuteStatementAtCaret},
         {"mnuComplete", "入力補完(&M)", Qt::CTRL | Qt::Key_Space, &W::CompleteAtCaret},
         {"mnuRefresh", "リフレッシュ(&R)", Qt::CTRL | Qt::Key_R, &W::RequeryResult},
         {"mnuNewQuery", "新規クエリ(&N)", Qt::CTRL | Qt::Key_N, &W::mnuNewQuery_Click},
         {"mnuFind", "結果の検索(&F)", Qt::CTRL | Qt::Key_F, &W::openFindBar},
         {"mnuQueryForward", "次のクエリ (ALT + →)", {}, &W::HistoryForward, &W::mnuQueryForward},
         {"mnuQueryBackward",
          "前のクエリ (ALT + ←)",
          {},
          &W::HistoryBackward,
          &W::mnuQueryBackward}});
    // Ctrl+Space completes in the query box alone: the grid keeps it for its selection.
    QAction* complete = m_actions.value(QStringLiteral("mnuComplete"));
    complete->setShortcutContext(Qt::WidgetShortcut);
    txtQuery->addAction(complete);
    mnuImportExport = addMenu(nullptr, "mnuImportExport", "データ入出力(&D)");
    addItems(mnuImportExport, {{"mnuExcel", "EXCEL出力(&E)", Qt::Key_F3, &W::mnuExcel_Click},
                               {"mnuHTML", "ブラウザ出力(&H)", Qt::Key_F4, &W::mnuHTML_Click},
                               {"mnuBatch", "バッチ処理(&B)", Qt::Key_F6, &W::mnuBatch_Click}});
    QMenu* mnuImport = addMenu(mnuImportExport, "mnuImport", "インポート(&I)");
    addItems(mnuImport, {{"mnuImportCSV", "CSV入力(&C)", Qt::Key_F7, &W::mnuImportCSV_Click},
                         {"mnuImportTAB", "TAB入力(&T)", Qt::Key_F8, &W::mnuImportTAB_Click}});
    QMenu* mnuExport = addMenu(mnuImportExport, "mnuExport", "エクスポート(&E)");
    addItems(mnuExport, {{"mnuCSV", "CSV出力(&C)", Qt::CTRL | Qt::Key_F7, &W::mnuCSV_Click},
                         {"mnuTab", "TAB出力(&T)", Qt::CTRL | Qt::Key_F8, &W::mnuTab_Click}});
    mnuOption = addMenu(nullptr, "mnuOption", "オプション(&O)");
    addItems(mnuOption,
             {{"mnuSetup", "環境設定(&S)", Qt::Key_F9, &W::mnuSetup_Click, &W::mnuSetup}});
    mnuHelp = addMenu(nullptr, "mnuHelp", menutext::kHelp);
    addItems(mnuHelp, {{"mnuIndex", menutext::kIndex, Qt::Key_F11, &W::mnuIndex_Click},
                       {"mnuDummy2", "-"},
                       {"mnuAbout", menutext::kAbout, {}, &W::mnuAbout_Click}});
}

void frmKorvel::mnuExit_Click() {
    close();
}

void frmKorvel::buildToolbar() {
    using W = frmKorvel;
    const Button buttons[] = {
        {"Connect", "接続", "connect"},
        {"Execute", "クエリ実行", "execute"},
        {"Refresh", "リフレッシュ", "refresh"},
        {"Backward", "前のクエリ", "backward", &W::tbBackward},
        {"Forward", "次のクエリ", "forward", &W::tbForward},
        {"display_tablelist", "テーブル表示", "display_tablelist", &W::tbDisplayTableList},
        {"refresh_tablelist", "テーブルリストのリフレッシュ", "refresh_tablelist",
         &W::tbRefreshTableList},
        {"HTML", "ブラウザに出力", "html"},
        {"Excel", "エクセルに出力", "excel"},
        {"Setup", "設定", "setup"},
        {"Info", "ヘルプ", "help"},
        {"Shutdown", "終了", "shutdown"},
    };
    for (const Button& b : buttons) {
        const QString key = QString::fromLatin1(b.key);
        QAction* a = Toolbar1->addAction(
            QIcon(QStringLiteral(":/icons/%1.svg").arg(QString::fromLatin1(b.image))),
            QString::fromUtf8(b.tooltip));
        a->setObjectName(QStringLiteral("Toolbar1.") + key);
        a->setToolTip(QString::fromUtf8(b.tooltip));
        a->setData(key);
        connect(a, &QAction::triggered, this, [this, key] { Toolbar1_ButtonClick(key); });
        m_buttons.insert(key, a);
        if (b.member) this->*b.member = a;
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
        if (mnuQueryBackward->isEnabled()) HistoryBackward();
    } else if (key == QLatin1String("Forward")) {
        if (mnuQueryForward->isEnabled()) HistoryForward();
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
