#include "report/controls/QRImage.h"

#include "printer/QRPrinter.h"
#include "report/controls/ControlMessages.h"
#include "report/engine/QRExportFilter.h"
#include "report/engine/QRReport.h"

#include <QPainter>

TQRImage::TQRImage(QObject *owner) : TQRPrintable(owner) {
    SetPixelSize(105, 105);
}

void TQRImage::SetAutoSize(bool on) {
    m_autoSize = on;
    pictureChanged();
}

void TQRImage::SetCenter(bool on) {
    m_center = on;
    pictureChanged();
}

void TQRImage::SetStretch(bool on) {
    m_stretch = on;
    pictureChanged();
}

void TQRImage::LoadPicture(const QByteArray &bytes, const QString &file) {
    m_bytes = bytes;
    m_file = file;
    m_error.clear();
    m_picture = qrcontrols::Picture::FromBytes(bytes, &m_error);
    if (!m_picture.IsNull())
        m_error.clear();
    pictureChanged();
}

void TQRImage::SetPictureError(const QString &error) {
    m_picture = {};
    m_bytes.clear();
    m_file.clear();
    m_error = error;
    pictureChanged();
}

void TQRImage::ClearPicture() {
    SetPictureError(QString());
}

bool TQRImage::Opaque() const {
    const QSize size = m_picture.PixelSize();
    return m_picture.kind() == qrcontrols::Picture::Kind::Bitmap && size.width() >= Width() &&
           size.height() >= Height();
}

void TQRImage::pictureChanged() {
    if (m_autoSize && !Loading()) {
        const QSize size = m_picture.SizeOnDevice(ScreenPixelsPerInch(), ScreenPixelsPerInch(), ScreenPixelsPerInch(),
                                                  ScreenPixelsPerInch());
        if (size.width() > 0 && size.height() > 0)
            SetBounds(Left(), Top(), size.width(), size.height());
    }
    Invalidate();
}

void TQRImage::Prepare() {
    TQRPrintable::Prepare();
    if (!m_error.isEmpty())
        qrcontrols::ReportControlMessage(QStringLiteral("%1: %2").arg(objectName(), m_error));
}

void TQRImage::Print(int offsetX, int offsetY) {
    TCustomDezirUzu *report = ParentReport();
    if (!report || !ShouldPrint())
        return;
    TQRPrinter *printer = PagePrinter();
    if (!printer)
        return;
    const double left = Size()->NativeValue(1) + offsetX;
    const double top = Size()->NativeValue(2) + offsetY;
    const int x0 = printer->ToDeviceX(left);
    const int y0 = printer->ToDeviceY(top);
    if (report->Exporting() && report->ExportFilter)
        report->ExportFilter->PutGraphic(this, x0, y0);
    if (QPainter *canvas = printer->PageCanvas()) {
        const QRect target(x0, y0, printer->ToDeviceX(left + Size()->NativeValue(3)) - x0,
                           printer->ToDeviceY(top + Size()->NativeValue(0)) - y0);
        qrcontrols::PicturePlacement placement;
        placement.stretch = m_stretch;
        placement.center = m_center;
        placement.deviceDpiX = printer->PixelsPerUnitX() * 254;
        placement.deviceDpiY = printer->PixelsPerUnitY() * 254;
        placement.screenDpiX = placement.screenDpiY = ScreenPixelsPerInch();
        qrcontrols::DrawPicture(*canvas, m_picture, target, placement);
    }
    TQRPrintable::Print(offsetX, offsetY);
}

void TQRImage::StretchDrawPicture(QPainter &canvas, const QRect &rect) {
    m_picture.StretchDraw(canvas, QRectF(rect));
}

void TQRImage::Paint(QPainter &painter) {
    if (RunActive())
        return;
    const int w = Width();
    const int h = Height();
    painter.save();
    painter.setPen(QPen(Qt::black, 1, Qt::DashLine));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(QRect(0, 0, w - 1, h - 1));
    const QSize size = m_picture.PixelSize();
    QRect place(0, 0, size.width(), size.height());
    if (m_stretch)
        place = QRect(0, 0, w, h);
    else if (m_center)
        place.moveTo((w - size.width()) / 2, (h - size.height()) / 2);
    const qint32 zoom = Size()->Zoom();
    if (zoom != 100)
        place.setSize(place.size() * (zoom / 100.0));
    painter.setClipRect(QRect(0, 0, w, h));
    m_picture.StretchDraw(painter, QRectF(place));
    painter.restore();
}
