#include "printer/preview/QRSearchDlg.h"

#include "printer/drawing/Metafile.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

TSearchDlg::TSearchDlg(QWidget *parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Search for Text"));
    Label1 = new QLabel(QStringLiteral("Search Text"), this);
    Edit1 = new QLineEdit(this);
    CheckBox1 = new QCheckBox(QStringLiteral("Match case"), this);
    SpeedButton1 = new QPushButton(QStringLiteral("Cancel"), this);
    SpeedButton2 = new QPushButton(QStringLiteral("Search"), this);
    SpeedButton2->setDefault(true);
    Label1->setBuddy(Edit1);
    Edit1->setMinimumWidth(220);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(SpeedButton2);
    buttons->addWidget(SpeedButton1);
    auto *layout = new QGridLayout(this);
    layout->addWidget(Label1, 0, 0);
    layout->addWidget(Edit1, 1, 0);
    layout->addWidget(CheckBox1, 2, 0);
    layout->addLayout(buttons, 3, 0);

    connect(SpeedButton1, &QPushButton::clicked, this, [this] {
        Dismissed = true;
        reject();
    });
    connect(SpeedButton2, &QPushButton::clicked, this, [this] {
        Dismissed = false;
        accept();
    });
}

bool PageContainsText(const QString &text, const TMetafile &recording, bool matchCase) {
    if (text.isEmpty())
        return false;
    const QString needle = matchCase ? text : text.toUpper();
    bool found = false;
    recording.Enumerate([&](const EmfRecord &record) {
        if (!record.isText())
            return true;
        const QString haystack = record.text();
        found = (matchCase ? haystack : haystack.toUpper()).contains(needle);
        return !found;
    });
    return found;
}
