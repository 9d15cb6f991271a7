#include "printer/QRPreviewReport.h"

QString PrevSaveTypeExtension(TPrevSaveType type) {
    switch (type) {
    case stQRP:
        return QStringLiteral(".QRP");
    case stPDF:
        return QStringLiteral(".PDF");
    case stXL:
        return QStringLiteral(".XLS");
    case stHTML:
        return QStringLiteral(".HTML");
    case stRTF:
        return QStringLiteral(".RTF");
    case stCSV:
        return QStringLiteral(".CSV");
    case stASCII:
        return QStringLiteral(".TXT");
    case stXML:
        return QStringLiteral(".XML");
    }
    return QStringLiteral(".QRP");
}
