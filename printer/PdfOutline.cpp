#include "printer/PdfOutline.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

#include <qpdf/QPDF.hh>
#include <qpdf/QPDFObjectHandle.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFWriter.hh>

#include <cstdio>
#include <exception>
#include <vector>

namespace pdf {

namespace {

struct Failure {
    QString message;
};

// Entries a reader shows at first: each entry, and the entries of the open ones.
int visibleCount(const QList<OutlineItem> &items) {
    int count = 0;
    for (const OutlineItem &item : items)
        count += 1 + (item.open ? visibleCount(item.children) : 0);
    return count;
}

void checkPages(const QList<OutlineItem> &items, int pageCount) {
    for (const OutlineItem &item : items) {
        if (item.page < 1 || item.page > pageCount)
            throw Failure{QStringLiteral("The bookmark \"%1\" leads to page %2, but the file has %3 pages")
                              .arg(item.title)
                              .arg(item.page)
                              .arg(pageCount)};
        checkPages(item.children, pageCount);
    }
}

// Links `items` below `parent` as a chain of outline dictionaries.
void addItems(QPDF &document, QPDFObjectHandle parent, const QList<OutlineItem> &items,
              const std::vector<QPDFPageObjectHelper> &pages) {
    QPDFObjectHandle previous;
    for (const OutlineItem &item : items) {
        QPDFObjectHandle entry = document.makeIndirectObject(QPDFObjectHandle::newDictionary());
        entry.replaceKey("/Title", QPDFObjectHandle::newUnicodeString(item.title.toStdString()));
        entry.replaceKey("/Parent", parent);
        QPDFObjectHandle destination = QPDFObjectHandle::newArray();
        destination.appendItem(pages[std::size_t(item.page - 1)].getObjectHandle());
        destination.appendItem(QPDFObjectHandle::newName("/XYZ"));
        for (int i = 0; i < 3; ++i)
            destination.appendItem(QPDFObjectHandle::newNull()); // keep position and zoom
        entry.replaceKey("/Dest", destination);
        if (previous.isInitialized()) {
            entry.replaceKey("/Prev", previous);
            previous.replaceKey("/Next", entry);
        } else {
            parent.replaceKey("/First", entry);
        }
        parent.replaceKey("/Last", entry);
        if (!item.children.isEmpty()) {
            addItems(document, entry, item.children, pages);
            const int count = visibleCount(item.children);
            entry.replaceKey("/Count", QPDFObjectHandle::newInteger(item.open ? count : -count));
        }
        previous = entry;
    }
}

} // namespace

bool AddOutline(const QString &pdfPath, const QList<OutlineItem> &items, QString *error) {
    const QFileInfo info(pdfPath);
    QTemporaryFile temporary(info.absolutePath() + QStringLiteral("/.outline-XXXXXX.pdf"));
    try {
        if (!info.isFile())
            throw Failure{QStringLiteral("No PDF file %1").arg(pdfPath)};
        if (!temporary.open())
            throw Failure{QStringLiteral("Cannot write beside %1: %2").arg(pdfPath, temporary.errorString())};
        temporary.close();
        // qpdf keeps the names it is given, not copies: they must outlive the writing.
        const QByteArray source = QFile::encodeName(pdfPath);
        const QByteArray target = QFile::encodeName(temporary.fileName());
        {
            QPDF document;
            document.setSuppressWarnings(true);
            document.processFile(source.constData());
            const std::vector<QPDFPageObjectHelper> pages = QPDFPageDocumentHelper(document).getAllPages();
            checkPages(items, int(pages.size()));

            QPDFObjectHandle root = document.getRoot();
            if (items.isEmpty()) {
                root.removeKey("/Outlines");
                if (root.getKey("/PageMode").isNameAndEquals("/UseOutlines"))
                    root.removeKey("/PageMode");
            } else {
                QPDFObjectHandle outlines = document.makeIndirectObject(QPDFObjectHandle::newDictionary());
                outlines.replaceKey("/Type", QPDFObjectHandle::newName("/Outlines"));
                addItems(document, outlines, items, pages);
                outlines.replaceKey("/Count", QPDFObjectHandle::newInteger(visibleCount(items)));
                root.replaceKey("/Outlines", outlines);
                root.replaceKey("/PageMode", QPDFObjectHandle::newName("/UseOutlines"));
            }
            QPDFWriter writer(document, target.constData());
            writer.write();
        }
        QFile::setPermissions(temporary.fileName(), QFile::permissions(pdfPath));
        if (std::rename(target.constData(), source.constData()))
            throw Failure{QStringLiteral("Cannot replace %1").arg(pdfPath)};
        temporary.setAutoRemove(false);
        return true;
    } catch (const Failure &failure) {
        if (error)
            *error = failure.message;
    } catch (const std::exception &e) {
        if (error)
            *error = QStringLiteral("Cannot add bookmarks to %1: %2").arg(pdfPath, QString::fromLocal8Bit(e.what()));
    }
    return false;
}

} // namespace pdf
