#include "app/HtmlView.h"

#include <QFileInfo>
#include <QTextBrowser>
#include <QUrl>

TextBrowserHtmlView::TextBrowserHtmlView(QWidget *parent) : m_browser(new QTextBrowser(parent)) {
    m_browser->setObjectName(QStringLiteral("WebBrowser1"));
    m_browser->setOpenExternalLinks(false);
    m_browser->setOpenLinks(true);
}

QWidget *TextBrowserHtmlView::widget() { return m_browser; }

void TextBrowserHtmlView::navigate(const QString &path) {
    m_path = path;
    if (path.isEmpty() || !QFileInfo(path).isFile()) {
        m_path.clear();
        m_browser->setSource(QUrl());
        m_browser->setHtml(QString());
        return;
    }
    m_browser->setSource(QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath()));
}
