// Verbs over report files (page streams): info, text, png, emf, make.
#include "cli/Cli.h"

#include "printer/QRPageList.h"
#include "printer/drawing/Metafile.h"
#include "printer/drawing/Units.h"
#include "printer/sample/SampleReport.h"

#include <QDateTime>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QSaveFile>

using namespace cli;

namespace {

void load(TQRPageList &list, const QString &file) {
    if (!QFile::exists(file))
        throw CliError(QStringLiteral("%1: file not found").arg(file));
    list.LoadPages(file);
}

int pageOption(const Args &args, const TQRPageList &list, bool required) {
    if (!args.has(QStringLiteral("page"))) {
        if (required)
            throw CliError(QStringLiteral("missing --page N"));
        return 0;
    }
    const int page = args.intValue(QStringLiteral("page"), 1);
    if (page < 1 || page > list.StoredPages())
        throw CliError(list.StoredPages() == 0
                           ? QStringLiteral("the report has no pages")
                           : QStringLiteral("page %1 is not in 1-%2").arg(page).arg(list.StoredPages()));
    return page;
}

QString outOption(const Args &args) {
    const QString out = args.value(QStringLiteral("out"));
    if (out.isEmpty())
        throw CliError(QStringLiteral("missing --out FILE"));
    return out;
}

std::unique_ptr<TMetafile> fetch(TQRPageList &list, int page) {
    auto recording = list.FetchPage(page);
    if (!recording)
        throw CliError(QStringLiteral("page %1 cannot be read").arg(page));
    return recording;
}

int infoVerb(const QStringList &argv) {
    const Args args(argv, {}, {});
    args.expectPositional(1, 1, "qrp info FILE");
    TQRPageList list;
    load(list, args.positional(0, "FILE"));
    TQRStream &stream = *list.PageStream();
    const TQRFileHeader header = stream.ReadFileHeader();
    const QDateTime written = TQRFileHeader::fromDays(header.Written());
    out(QStringLiteral("pages %1").arg(list.StoredPages()));
    out(QStringLiteral("compressed %1").arg(list.Compression() ? 1 : 0));
    out(QStringLiteral("header %1").arg(stream.HeaderSize()));
    out(QStringLiteral("written %1")
            .arg(written.isValid() ? written.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")) : QStringLiteral("-")));
    return 0;
}

int textVerb(const QStringList &argv) {
    const Args args(argv, {}, {QStringLiteral("page")});
    args.expectPositional(1, 1, "qrp text FILE [--page N]");
    TQRPageList list;
    load(list, args.positional(0, "FILE"));
    const int only = pageOption(args, list, false);
    for (int page = only ? only : 1; page <= (only ? only : list.StoredPages()); ++page) {
        for (const EmfPlayer::TextRun &run : fetch(list, page)->Texts()) {
            QString text = run.text;
            for (QChar &c : text)
                if (c.unicode() < 32)
                    c = QLatin1Char(' ');
            out(QStringLiteral("%1\t%2\t%3\t%4")
                    .arg(page)
                    .arg(rnd(run.position.x()))
                    .arg(rnd(run.position.y()))
                    .arg(text));
        }
    }
    return 0;
}

int pngVerb(const QStringList &argv) {
    const Args args(argv, {}, {QStringLiteral("page"), QStringLiteral("out"), QStringLiteral("dpi")});
    args.expectPositional(1, 1, "qrp png FILE --page N --out OUT.png [--dpi D]");
    TQRPageList list;
    load(list, args.positional(0, "FILE"));
    const int page = pageOption(args, list, true);
    const QString target = outOption(args);
    const auto recording = fetch(list, page);
    const double dpi = args.has(QStringLiteral("dpi")) ? args.intValue(QStringLiteral("dpi"), 96) : recording->DpiX();
    if (dpi < 10 || dpi > 2400)
        throw CliError(QStringLiteral("--dpi takes 10-2400"));
    const int width = std::max(1, rnd(recording->Width() * dpi / recording->DpiX()));
    const int height = std::max(1, rnd(recording->Height() * dpi / recording->DpiY()));
    QImage image(width, height, QImage::Format_RGB32);
    if (image.isNull())
        throw CliError(QStringLiteral("the page is too large at %1 dpi").arg(dpi));
    image.setDotsPerMeterX(rnd(dpi / 0.0254));
    image.setDotsPerMeterY(rnd(dpi / 0.0254));
    image.fill(Qt::white);
    {
        QPainter painter(&image);
        recording->StretchDraw(painter, QRectF(0, 0, width, height));
    }
    if (!image.save(target, "PNG"))
        throw CliError(QStringLiteral("%1: cannot write the file").arg(target));
    return 0;
}

int emfVerb(const QStringList &argv) {
    const Args args(argv, {}, {QStringLiteral("page"), QStringLiteral("out")});
    args.expectPositional(1, 1, "qrp emf FILE --page N --out OUT.emf");
    TQRPageList list;
    load(list, args.positional(0, "FILE"));
    const int page = pageOption(args, list, true);
    const QString target = outOption(args);
    const auto recording = fetch(list, page);
    QSaveFile file(target);
    if (!file.open(QIODevice::WriteOnly) || file.write(recording->Bytes()) != recording->Bytes().size() ||
        !file.commit())
        throw CliError(QStringLiteral("%1: cannot write the file").arg(target));
    return 0;
}

int makeVerb(const QStringList &argv) {
    const Args args(argv, {QStringLiteral("compress")}, {QStringLiteral("pages")});
    args.expectPositional(1, 1, "qrp make OUT.qrp [--compress] [--pages N]");
    const int pages = args.intValue(QStringLiteral("pages"), 3);
    if (pages < 0 || pages > 100000)
        throw CliError(QStringLiteral("--pages takes 0-100000"));
    samplereport::write(args.positional(0, "OUT.qrp"), pages, args.flag(QStringLiteral("compress")));
    return 0;
}

} // namespace

TAVIK_VERB("qrp info", "qrp info FILE", infoVerb);
TAVIK_VERB("qrp text", "qrp text FILE [--page N]", textVerb);
TAVIK_VERB("qrp png", "qrp png FILE --page N --out OUT.png [--dpi D]", pngVerb);
TAVIK_VERB("qrp emf", "qrp emf FILE --page N --out OUT.emf", emfVerb);
TAVIK_VERB("qrp make", "qrp make OUT.qrp [--compress] [--pages N]", makeVerb);
