// A PDF's bookmarks read back through qpdf's own outline reader, for tests that link qpdf.
#pragma once

#include <QFile>
#include <QList>
#include <QString>

#include <qpdf/QPDF.hh>
#include <qpdf/QPDFOutlineDocumentHelper.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>

#include <functional>

struct PdfBookmark {
    int depth = 0;
    QString title;
    int page = 0; // 1-based; 0 when it leads to no page of the file
    int count = 0;
};

/// Every bookmark in reading order, children after their parent.
inline QList<PdfBookmark> pdfBookmarks(const QString &path) {
    QPDF pdf;
    pdf.processFile(QFile::encodeName(path).constData());
    const auto pages = QPDFPageDocumentHelper(pdf).getAllPages();
    QPDFOutlineDocumentHelper outlines(pdf);
    QList<PdfBookmark> marks;
    std::function<void(std::vector<QPDFOutlineObjectHelper>, int)> walk = [&](auto items, int depth) {
        for (QPDFOutlineObjectHelper &item : items) {
            const QPDFObjectHandle target = item.getDestPage();
            int number = 0;
            for (std::size_t i = 0; i < pages.size(); ++i)
                if (pages[i].getObjectHandle().getObjGen() == target.getObjGen())
                    number = int(i) + 1;
            marks << PdfBookmark{depth, QString::fromStdString(item.getTitle()), number, item.getCount()};
            walk(item.getKids(), depth + 1);
        }
    };
    walk(outlines.getTopLevelOutlines(), 0);
    return marks;
}
