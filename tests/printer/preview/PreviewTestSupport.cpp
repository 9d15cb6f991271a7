#include "tests/printer/preview/PreviewTestSupport.h"

#include "printer/preview/QRPreviewWindows.h"

#include <QApplication>

template <typename T> static std::optional<T> next(std::deque<std::optional<T>> &queue) {
    if (queue.empty())
        return std::nullopt;
    std::optional<T> value;
    value.swap(queue.front());
    queue.pop_front();
    return value;
}

std::optional<QString> TestDialogs::InputQuery(const QString &caption, const QString &prompt, const QString &value) {
    asked << caption + QLatin1Char('|') + prompt + QLatin1Char('|') + value;
    return next(inputs);
}

std::optional<TQRPreviewDialogs::SearchText> TestDialogs::AskSearchText() {
    asked << QStringLiteral("search");
    return next(searches);
}

std::optional<TQRPreviewDialogs::SaveChoice> TestDialogs::SaveFileName(const QString &title, const QString &filter,
                                                                       const QString &fileName) {
    asked << title + QLatin1Char('|') + filter + QLatin1Char('|') + fileName;
    return next(saves);
}

QString TestDialogs::OpenFileName(const QString &title, const QString &filter) {
    asked << title + QLatin1Char('|') + filter;
    if (opens.empty())
        return {};
    const QString name = opens.front();
    opens.pop_front();
    return name;
}

PreviewTest::PreviewTest()
    : system([] {
          ScriptedSystem s;
          s.queues << ScriptedQueue{};
          return s;
      }()),
      factory(system.factory()) {
    RegisterPreviewWindows();
}

PreviewTest::~PreviewTest() = default;

QString PreviewTest::reportFile(const QString &name, int pages, std::function<QStringList(int)> text) {
    ScriptedReport report;
    report.pageText = std::move(text);
    report.Run(pages);
    const QString path = folder.filePath(name);
    report.Printer()->SavePages(path);
    return path;
}

QPointer<TQRStandardPreview> PreviewTest::open(TQRPrinter *printer) {
    QPointer<TQRStandardPreview> window = new TQRStandardPreview(printer);
    auto answers = std::make_unique<TestDialogs>();
    dialogs = answers.get();
    window->SetDialogs(std::move(answers));
    window->show();
    QApplication::processEvents();
    return window;
}
