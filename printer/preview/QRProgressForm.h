#pragma once

#include "printer/QRProgressWindow.h"

#include <QDialog>
#include <QPointer>

class QLabel;
class QProgressBar;
class QPushButton;
class TQRPrinter;

/// The small window that shows printing progress in steps of 5 % and lets the user cancel: Cancel asks the
/// printer's report to stop and the printer to cancel. It follows its printer through a guarded pointer.
class TQRProgressForm : public QDialog, public TQRProgressWindow {
    Q_OBJECT
public:
    explicit TQRProgressForm(TQRPrinter &printer, QWidget *parent = nullptr);

    TQRPrinter *AttachedPrinter() const { return m_printer; }
    QProgressBar *Gauge;
    QLabel *Info;
    QPushButton *CancelButton;

    void CancelButtonClick();

    QObject *Receiver() override { return this; }
    void Show() override { show(); }
    void Hide() override { hide(); }
    void SetCaption(const QString &caption) override { setWindowTitle(caption); }

protected:
    bool event(QEvent *event) override;

private:
    QPointer<TQRPrinter> m_printer;
};
