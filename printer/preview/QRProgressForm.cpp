#include "printer/preview/QRProgressForm.h"

#include "printer/QRMessages.h"
#include "printer/QRPreviewReport.h"
#include "printer/QRPrinter.h"

#include <QApplication>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>

TQRProgressForm::TQRProgressForm(TQRPrinter &printer, QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowStaysOnTopHint | Qt::MSWindowsFixedSizeDialogHint), m_printer(&printer) {
    setWindowTitle(QStringLiteral("Printing progress"));
    setFixedSize(149, 97);
    Gauge = new QProgressBar(this);
    Gauge->setGeometry(16, 18, 114, 16);
    Gauge->setRange(0, 100);
    Gauge->setValue(0);
    Gauge->setTextVisible(false);
    Info = new QLabel(this);
    Info->setGeometry(0, 44, 145, 16);
    Info->setAlignment(Qt::AlignCenter);
    CancelButton = new QPushButton(QStringLiteral("Cancel"), this);
    CancelButton->setGeometry(36, 68, 75, 25);
    connect(CancelButton, &QPushButton::clicked, this, &TQRProgressForm::CancelButtonClick);
    if (const QScreen *screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

void TQRProgressForm::CancelButtonClick() {
    if (!m_printer)
        return;
    if (TQRPreviewReport *report = PreviewReportOf(m_printer))
        report->SetStopRequested(true);
    m_printer->RequestCancel();
}

bool TQRProgressForm::event(QEvent *event) {
    if (event->type() != qrmessages::Progress)
        return QDialog::event(event);
    const int p = m_printer ? m_printer->Progress() : static_cast<TQRMessageEvent *>(event)->Param();
    if (p % 5 == 0) {
        Gauge->setValue(p);
        Info->setText(QString::number(p) + QStringLiteral("% ") + QStringLiteral(" Completed"));
        QApplication::processEvents();
    }
    return true;
}
