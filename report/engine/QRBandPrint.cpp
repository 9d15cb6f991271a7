// How a band prints itself during a run: breaks, room, background, controls over as many columns or pages as
// their content needs, frame, and the cursor moved down.
#include "report/engine/QRBand.h"

#include "printer/QRPrinter.h"
#include "report/engine/QRController.h"
#include "report/engine/QRExportFilter.h"
#include "report/engine/QRPrintable.h"
#include "report/engine/QRReport.h"

#include <QPainter>
#include <QVarLengthArray>

#include <algorithm>

namespace {

// Bands of these types never ask for a forced page or column.
bool breakExempt(TQRBandType type) {
    return type == rbTitle || type == rbPageHeader || type == rbPageFooter || type == rbOverlay;
}

QRect deviceRect(int left, int top, int right, int bottom) {
    return QRect(left, top, right - left, bottom - top);
}

} // namespace

void TQRCustomBand::Print() {
    TCustomDezirUzu *report = m_report;
    if (!report)
        return;
    bool printBand = Enabled();
    if (Enabled() && BeforePrint)
        BeforePrint(this, printBand);
    if (m_bandType == rbSummary)
        report->CursorX = rnd(report->Page()->NativeValue(TQRPage::LeftMarginIndex));
    if (printBand) {
        printChild(true);
        // Bands printed by a page or column break (headers, footers, reprinted group headers) make no break of
        // their own: that break would print them again, without end.
        const bool mayBreak = !breakExempt(m_bandType) && report->PageNumber > 0 && !report->Breaking();
        if (m_forceNewPage && !OverflowBreak && mayBreak) {
            report->RequestNewPage();
            OverflowBreak = false;
        } else if (m_forceNewColumn && mayBreak) {
            report->RequestNewColumn();
        } else {
            MakeRoom();
        }
        if (RecordController)
            RecordController->Notify(0);
        if (m_keepOnOnePage && !report->Breaking() && MeasureNeededHeight() > report->SpaceLeft())
            report->StartNewColumn();
        // Where the band (its last part, when it continues) was placed: what a filter hears of.
        int partX = report->CursorX;
        int partY = report->CursorY;
        placeBackground(*report);
        if (Height() != 0 && Enabled())
            printContent(*report, partX, partY);
        if (report->Exporting() && report->ExportFilter)
            report->ExportFilter->BandDone(this, partX, partY, ExtraHeight);
    } else if (RecordController && !Enabled()) {
        // A disabled detail band still counts its record; a vetoed one does not.
        RecordController->Notify(0);
    }
    if (AfterPrint)
        AfterPrint(this, printBand);
    printChild(false);
    OverflowBreak = false;
}

void TQRCustomBand::printChild(bool before) {
    auto *child = qobject_cast<TQRChildBand *>(ChildBand());
    if (!child)
        return;
    const TCBPrintOrder order = child->PrintOrder();
    if (order != cboBeforeAndAfter && (order == cboBeforeParent) != before)
        return;
    // A page footer's child prints as a page footer: no breaks, no forced pages. Its type is changed for the
    // print alone, without re-ordering the report's bands under a running controller.
    const bool asFooter = m_bandType == rbPageFooter;
    if (asFooter)
        child->m_bandType = rbPageFooter;
    try {
        m_report->OutputBand(child);
    } catch (...) {
        if (asFooter)
            child->m_bandType = rbChild;
        throw;
    }
    if (asFooter)
        child->m_bandType = rbChild;
}

void TQRCustomBand::MakeRoom() {
    TCustomDezirUzu *report = m_report;
    if (!report)
        return;
    const TQRPage &page = *report->Page();
    const qint32 need = rnd(HeightWithLinks());
    const double printable = page.NativeValue(TQRPage::LengthIndex) -
                             (page.NativeValue(TQRPage::TopMarginIndex) + page.NativeValue(TQRPage::BottomMarginIndex));
    // A band taller than any page cannot fit anywhere: it prints where it stands, but on a column of its own
    // rather than below the page when the column already holds bands.
    const bool tooTall = need > printable && !(report->PageNumber > 0 && report->CursorY > report->ColumnTop);
    if (m_bandType == rbPageFooter || need <= report->SpaceLeft() || tooTall || report->Breaking()) {
        if (report->PageNumber == 0) {
            OverflowBreak = m_bandType == rbDetail;
            report->StartNewColumn();
        } else if (m_bandType == rbDetail) {
            OverflowBreak = false;
        }
    } else {
        OverflowBreak = m_bandType == rbDetail;
        report->StartNewColumn();
    }
}

void TQRCustomBand::AdvancePosition() {
    if (m_report)
        m_report->CursorY += rnd(m_size->NativeValue(0) + ExtraHeight);
}

bool TQRCustomBand::CanExpand(double amount) const {
    return m_report && m_report->SpaceLeft() >= rnd(m_size->NativeValue(0) + ExtraHeight + amount);
}

bool TQRCustomBand::ExpandBand(double amount, double &newExpanded, bool &hasExpanded) {
    if (!CanExpand(amount))
        return false;
    if (!hasExpanded && amount < ExtraHeight) {
        newExpanded = ExtraHeight;
        hasExpanded = true;
        return true;
    }
    ExtraHeight += amount;
    newExpanded = ExtraHeight;
    hasExpanded = true;
    return false;
}

double TQRCustomBand::MeasureNeededHeight() {
    constexpr double f = NeededHeightPixelsPerUnit;
    NeededHeight = m_size->NativeValue(0);
    double gap = 0;
    for (TQRControl *child : Controls()) {
        auto *printable = qobject_cast<TQRPrintable *>(child);
        if (!printable || !printable->Enabled() || !printable->HasExpandedHeight())
            continue;
        double expanded = 0;
        printable->GetExpandedHeight(expanded);
        const double bottom = (printable->Top() + expanded) / f;
        if (bottom > NeededHeight) {
            NeededHeight = bottom;
            gap = (Height() - printable->Top() - printable->Height() + 1) / f;
        }
    }
    return NeededHeight + std::max(gap, 0.0);
}

void TQRCustomBand::placeBackground(TCustomDezirUzu &report) {
    TQRPrinter *printer = report.ReportPrinter;
    if (m_transparentBand || !Enabled() || !printer)
        return;
    const double height = m_preCalculate ? MeasureNeededHeight() : m_size->NativeValue(0);
    const double width = m_size->NativeValue(1);
    DeviceRect = deviceRect(printer->ToDeviceX(report.CursorX), printer->ToDeviceY(report.CursorY),
                            printer->ToDeviceX(width + report.CursorX), printer->ToDeviceY(height + report.CursorY));
    if (report.Exporting() && report.ExportFilter)
        ExportRectangle(*report.ExportFilter, DeviceRect, Color());
}

void TQRCustomBand::printContent(TCustomDezirUzu &report, int &partX, int &partY) {
    if (report.RenderPages && !m_transparentBand && report.ReportPrinter)
        if (QPainter *canvas = report.ReportPrinter->PageCanvas())
            canvas->fillRect(DeviceRect, Color());
    ExtraHeight = 0;
    double maximum = 0;
    bool first = true;
    // Where the unfinished controls had got to, so that a control making no progress on a fresh column or page
    // is finished instead of asking for columns forever.
    QVarLengthArray<qint64, 8> reached;
    for (;;) {
        bool allDone = true;
        const QList<TQRControl *> &children = Controls();
        for (qsizetype i = 0; i < children.size(); ++i) {
            auto *printable = qobject_cast<TQRPrintable *>(children[i]);
            if (!printable || !printable->Enabled())
                continue;
            ExtraHeight = 0;
            if (first || !printable->ContentDone())
                printable->Print(report.CursorX, report.CursorY);
            allDone = allDone && printable->ContentDone();
            maximum = std::max(maximum, ExtraHeight);
        }
        ExtraHeight = maximum;
        if (report.RenderPages || report.Exporting())
            drawFrameAndLines(report);
        if (!first && !allDone) {
            int n = 0;
            allDone = true;
            for (TQRControl *child : Controls()) {
                auto *printable = qobject_cast<TQRPrintable *>(child);
                if (!printable || !printable->Enabled())
                    continue;
                if (!printable->ContentDone() && n < reached.size() && reached[n] == printable->ContentPosition())
                    printable->DropRemainingContent();
                allDone = allDone && printable->ContentDone();
                ++n;
            }
        }
        // A band printed by a break cannot break again: what does not fit is left out.
        if (!allDone && report.Breaking()) {
            for (TQRControl *child : Controls())
                if (auto *printable = qobject_cast<TQRPrintable *>(child); printable && !printable->ContentDone())
                    printable->DropRemainingContent();
            allDone = true;
        }
        if (allDone)
            break;
        reached.clear();
        for (TQRControl *child : Controls())
            if (auto *printable = qobject_cast<TQRPrintable *>(child); printable && printable->Enabled())
                reached.append(printable->ContentPosition());
        OverflowBreak = true;
        report.StartNewColumn();
        OverflowBreak = false;
        ExtraHeight = 0;
        maximum = 0;
        first = false;
        partX = report.CursorX;
        partY = report.CursorY;
    }
    AdvancePosition();
}

void TQRCustomBand::drawFrameAndLines(TCustomDezirUzu &report) {
    TQRPrinter *printer = report.ReportPrinter;
    QPainter *canvas = printer ? printer->PageCanvas() : nullptr;
    if (!printer)
        return;
    const double x = report.CursorX;
    const double y = report.CursorY;
    DeviceRect =
        deviceRect(printer->ToDeviceX(x), printer->ToDeviceY(y), printer->ToDeviceX(m_size->NativeValue(1) + x),
                   printer->ToDeviceY(m_size->NativeValue(0) + y + ExtraHeight + 1));
    if (canvas)
        Frame()->PaintFrame(*canvas, DeviceRect, printer->PixelsPerUnitX(), printer->PixelsPerUnitY());
    // A zero-width band has nowhere to place its lines.
    if (Width() == 0)
        return;
    for (TQRControl *child : Controls()) {
        auto *printable = qobject_cast<TQRPrintable *>(child);
        if (!printable)
            continue;
        std::optional<QPen> pen = printable->StretchedLinePen();
        if (!pen)
            continue;
        const int lineX = DeviceRect.left() +
                          rnd(double(DeviceRect.width()) * (printable->Left() + printable->Width() / 2) / Width());
        if (canvas) {
            pen->setStyle(Qt::SolidLine);
            pen->setCapStyle(Qt::FlatCap);
            canvas->save();
            canvas->setPen(*pen);
            canvas->drawLine(QLineF(lineX, DeviceRect.top(), lineX, DeviceRect.top() + DeviceRect.height()));
            canvas->restore();
        }
        if (report.Exporting() && report.ExportFilter)
            printable->ExportStretchedLine(*report.ExportFilter,
                                           printer->ToDeviceX(printable->Size()->NativeValue(1) + x), DeviceRect.top(),
                                           DeviceRect.height());
    }
}
