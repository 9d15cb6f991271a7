#pragma once

#include <QWidget>

/// The help viewer: the help as its reader sees it. Created hidden; the editor's "Help teszt" shows it and
/// Esc hides it again.
class TFormTavik : public QWidget {
    Q_OBJECT

public:
    explicit TFormTavik(QWidget *parent = nullptr);

protected:
    void keyPressEvent(QKeyEvent *event) override;
};
