#include "app/Tavik.h"

#include <QKeyEvent>

TFormTavik::TFormTavik(QWidget *parent) : QWidget(parent, Qt::Window) {
    setObjectName(QStringLiteral("FormTavik"));
    setWindowTitle(QStringLiteral("Help v1.0 "));
    resize(581, 450);
}

void TFormTavik::keyPressEvent(QKeyEvent *event) {
    if (event->key() == Qt::Key_Escape) {
        hide();
        return;
    }
    QWidget::keyPressEvent(event);
}
