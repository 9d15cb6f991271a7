#include "report/expr/ExprUnit.h"

#include "report/expr/Environment.h"
#include "report/expr/FunctionLibrary.h"
#include "report/expr/Functions.h"

#include "store/ValueText.h"

#include <QDateTime>
#include <QLocale>

namespace {

// The moment the process started, for AppStartTime and AppStartDate.
const QDateTime g_processStart = QDateTime::currentDateTime();

// Plain data, so it stays readable after every static object is gone.
bool g_unitGone = false;

QString quoted(const QString &text) {
    return QLatin1Char('\'') + text + QLatin1Char('\'');
}

} // namespace

namespace qrexpr {

Unit::Unit() {
    registry = new TQRFunctionLibrary;
    registerBuiltInFunctions(*registry);
    global = new TQREvEnvironment;
    const QLocale locale = QLocale::system();
    global->AddEntry(QStringLiteral("AppStartTime"), quoted(longTimeText(g_processStart.time())));
    global->AddEntry(QStringLiteral("AppStartDate"),
                     quoted(locale.toString(g_processStart.date(), QLocale::ShortFormat)));
    global->AddEntry(QStringLiteral("AppName"), quoted(applicationTitle()));
}

Unit::~Unit() {
    g_unitGone = true;
    TQRFunctionLibrary *r = registry;
    registry = nullptr;
    delete r;
    TQREvEnvironment *g = global;
    global = nullptr;
    delete g;
}

Unit *unit() {
    if (g_unitGone)
        return nullptr;
    static Unit theUnit;
    return &theUnit;
}

QString applicationTitle() {
    return QStringLiteral("TavikEditor");
}

} // namespace qrexpr
