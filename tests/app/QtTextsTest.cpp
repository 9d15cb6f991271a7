#include "app/QtTexts.h"
#include "app/WidgetDialogs.h"

#include <QApplication>
#include <QFileDialog>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QTranslator>

#include <gtest/gtest.h>

// The boxes of the Hungarian program answer in Hungarian: Qt's own texts of the standard buttons and the file
// dialog come from its Hungarian translation, loaded at start-up.
TEST(QtTexts, StandardButtonsAndTheFileDialogSpeakHungarian) {
    QTranslator *texts = installHungarianQtTexts();
    ASSERT_NE(texts, nullptr) << "Qt's Hungarian translations are not installed (qt6-translations-l10n)";
    QWidget parent;
    WidgetDialogs dialogs(&parent);
    QStringList buttons;
    QTimer::singleShot(0, [&] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        for (QAbstractButton *b : box->buttons())
            buttons << b->text();
        box->button(QMessageBox::No)->click();
    });
    EXPECT_FALSE(
        dialogs.confirm(QStringLiteral("Figyelmeztetés a felhasználónak"), QStringLiteral("Végrehajtható a törlés?")));
    buttons.sort();
    EXPECT_EQ(buttons, QStringList({"&Igen", "&Nem"}));

    QStringList labels;
    QTimer::singleShot(0, [&] {
        auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        for (const QLabel *label : dialog->findChildren<QLabel *>())
            labels << label->text();
        dialog->reject();
    });
    EXPECT_EQ(dialogs.chooseFile(QDir::tempPath(), QStringLiteral("*.htm; *.html")), QString());
    EXPECT_TRUE(labels.contains(QStringLiteral("Keresés itt:"))) << labels.join('|').toStdString();
    EXPECT_TRUE(labels.contains(QStringLiteral("Fájl &neve:"))) << labels.join('|').toStdString();
    QCoreApplication::removeTranslator(texts);
    delete texts;
}
