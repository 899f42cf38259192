#pragma once

class QCoreApplication;

// Qt's own dialogs and buttons (file dialogs, Cancel, the context menus of text fields) in
// Japanese, as the rest of the program: the translations Qt installs beside itself. Without
// them Qt speaks English, as before.
bool installQtTranslations(QCoreApplication& app);
