#pragma once

#include <QString>

class QWidget;
class QTextBrowser;

/// The page area of a window: told to show a local file, it shows whatever the file holds. Behind this small
/// interface so another renderer can take the place of the text browser.
class HtmlView {
public:
    virtual ~HtmlView() = default;
    virtual QWidget *widget() = 0;
    /// Shows the file; "" shows an empty page.
    virtual void navigate(const QString &path) = 0;
    /// The file shown last ("" for the empty page).
    virtual QString currentPath() const = 0;
};

/// Pages rendered by Qt's rich-text browser: no scripts run, so pages from anyone are safe to show.
class TextBrowserHtmlView : public HtmlView {
public:
    explicit TextBrowserHtmlView(QWidget *parent);
    QWidget *widget() override;
    void navigate(const QString &path) override;
    QString currentPath() const override { return m_path; }
    QTextBrowser *browser() const { return m_browser; }

private:
    QTextBrowser *m_browser;
    QString m_path;
};
