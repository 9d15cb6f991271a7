#pragma once

#include <QObject>

/// The user manual of the help content as a report; created at start-up and never shown.
class TFolvexTavik : public QObject {
    Q_OBJECT

public:
    explicit TFolvexTavik(QObject *parent = nullptr);
};
