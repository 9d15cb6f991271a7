#pragma once

#include <QDialog>
#include <QString>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class TMetafile;

/// Asks for the text to search the pages for, and whether its case must match.
class TSearchDlg : public QDialog {
    Q_OBJECT
public:
    explicit TSearchDlg(QWidget *parent = nullptr);

    QLabel *Label1;
    QLineEdit *Edit1;
    QCheckBox *CheckBox1;
    QPushButton *SpeedButton1; // Cancel
    QPushButton *SpeedButton2; // Search
    /// True unless the dialog was closed with "Search".
    bool Dismissed = true;
};

/// Whether a text record of the page holds `text` (in upper case on both sides unless `matchCase`). Records
/// are read as whole characters: wide ones as UTF-16, the older single-byte ones as Windows-1250; a record
/// whose count or offset falls outside it holds no text. An empty text is never found, and text split
/// across two records is not found.
bool PageContainsText(const QString &text, const TMetafile &recording, bool matchCase);
