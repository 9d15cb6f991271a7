#pragma once

#include <QString>

#include <optional>

class QWidget;

/// Every modal question the standard preview window asks. The window answers them with real dialogs;
/// tests and the command-line tool answer them with their own.
class TQRPreviewDialogs {
public:
    struct SearchText {
        QString text;
        bool matchCase = false;
    };
    struct SaveChoice {
        QString fileName;
        /// The chosen filter, from 1.
        int filterIndex = 1;
    };

    virtual ~TQRPreviewDialogs() = default;
    /// A one-line question; none when cancelled.
    virtual std::optional<QString> InputQuery(const QString &caption, const QString &prompt, const QString &value) = 0;
    /// The search dialog; none when dismissed.
    virtual std::optional<SearchText> AskSearchText() = 0;
    /// A save dialog over `filter` (description and pattern pairs separated by "|"); none when cancelled.
    virtual std::optional<SaveChoice> SaveFileName(const QString &title, const QString &filter,
                                                   const QString &fileName) = 0;
    /// An open dialog over `filter`; empty when cancelled.
    virtual QString OpenFileName(const QString &title, const QString &filter) = 0;
    /// A message with an OK button.
    virtual void Message(const QString &text) = 0;
};

/// The questions as dialogs over a window.
class TQRWidgetPreviewDialogs : public TQRPreviewDialogs {
public:
    explicit TQRWidgetPreviewDialogs(QWidget *parent) : m_parent(parent) {}
    std::optional<QString> InputQuery(const QString &caption, const QString &prompt, const QString &value) override;
    std::optional<SearchText> AskSearchText() override;
    std::optional<SaveChoice> SaveFileName(const QString &title, const QString &filter,
                                           const QString &fileName) override;
    QString OpenFileName(const QString &title, const QString &filter) override;
    void Message(const QString &text) override;

    /// A filter of description and pattern pairs ("Text (*.TXT)|*.TXT|...") as Qt's name filters, each
    /// pattern also in lower case.
    static QStringList NameFilters(const QString &filter);

private:
    QWidget *m_parent;
};
