#include "app/Application.h"
#include "app/Main.h"
#include "app/Tavik.h"
#include "help/HelpViewerStore.h"
#include "manual/TavikPrint.h"
#include "report/engine/Streaming.h"

#include <QApplication>
#include <QDir>
#include <QMessageBox>

int main(int argc, char **argv) {
    QApplication app(argc, argv);
    prepareApplication();
    const QStringList args = QApplication::arguments();
    if (args.size() > 1 && !QDir::setCurrent(args[1])) {
        QMessageBox::critical(nullptr, QApplication::applicationName(),
                              QStringLiteral("A mappa nem található: %1").arg(args[1]));
        return 1;
    }
    // Start-up order: the editor (main window), the viewer (hidden), the manual report (never shown).
    auto *FormEdit = new TFormEdit();
    auto *FormTavik = new TFormTavik();
    // The manual's data set is the viewer's table, found under the viewer's name.
    TQRForms forms;
    forms.Add(QStringLiteral("FormTavik"), FormTavik->store);
    auto *manualRoot = new TQRDefinition(&app);
    try {
        FormTavik->FolvexTavik = TFolvexTavik::Load(manualRoot, forms, FormTavik->StartDir);
    } catch (const std::exception &e) {
        QMessageBox::critical(nullptr, QApplication::applicationName(), QString::fromUtf8(e.what()));
    }
    FormEdit->FormTavik = FormTavik;
    // Closing the editor frees it and ends the program; the viewer goes with it.
    QObject::connect(FormEdit, &QObject::destroyed, &app, [] { QApplication::quit(); });
    FormEdit->show();
    return app.exec();
}
