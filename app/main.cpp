#include "store/DatabaseError.h"
#include "store/HelpTopicStore.h"
#include "store/Table.h"

#include <QApplication>
#include <QDir>
#include <QHeaderView>
#include <QMainWindow>
#include <QMessageBox>
#include <QTableWidget>

// A plain window over the outline until the editor window replaces it.
int main(int argc, char **argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("TavikEditor"));
    if (argc > 1 && !QDir::setCurrent(QString::fromLocal8Bit(argv[1]))) {
        QMessageBox::critical(nullptr, QStringLiteral("TavikEditor"),
                              QStringLiteral("%1: folder not found").arg(QString::fromLocal8Bit(argv[1])));
        return 1;
    }
    QMainWindow window;
    window.setWindowTitle(QStringLiteral("TavikEditor v1.0"));
    auto *grid = new QTableWidget(&window);
    grid->setColumnCount(3);
    grid->setHorizontalHeaderLabels({QStringLiteral("Sorszám"), QStringLiteral("Témakör"), QStringLiteral("WORDS")});
    grid->horizontalHeader()->setStretchLastSection(true);
    window.setCentralWidget(grid);
    HelpTopicStore store;
    try {
        store.open(QDir::currentPath());
        TTable *t = store.TableHelp;
        for (t->First(); !t->Eof(); t->Next()) {
            const int row = grid->rowCount();
            grid->insertRow(row);
            grid->setItem(row, 0, new QTableWidgetItem(t->FieldByName(QStringLiteral("SORSZAMSZOV"))->AsString()));
            grid->setItem(row, 1, new QTableWidgetItem(t->FieldByName(QStringLiteral("TEMAKOR"))->AsString()));
            grid->setItem(row, 2, new QTableWidgetItem(t->FieldByName(QStringLiteral("WORDS"))->AsString()));
        }
    } catch (const EDatabaseError &e) {
        QMessageBox::critical(&window, QStringLiteral("TavikEditor"), e.message());
    }
    window.resize(656, 567);
    window.show();
    return app.exec();
}
