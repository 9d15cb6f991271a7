#include "app/TavikPrint.h"

TFolvexTavik::TFolvexTavik(QObject *parent) : QObject(parent) { setObjectName(QStringLiteral("FolvexTavik")); }
