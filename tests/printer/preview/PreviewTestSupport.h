#pragma once

#include "printer/drawing/Printer.h"
#include "printer/drawing/PrinterFactory.h"
#include "printer/preview/QRPrev.h"
#include "printer/preview/QRPreviewDialogs.h"
#include "tests/printer/ScriptedPrinter.h"
#include "tests/printer/preview/ScriptedReport.h"
#include "tests/support/TestSupport.h"

#include <QPointer>
#include <QStringList>

#include <gtest/gtest.h>

#include <deque>
#include <optional>

/// The preview's questions answered from queues; every message it shows is kept.
class TestDialogs : public TQRPreviewDialogs {
public:
    std::deque<std::optional<QString>> inputs;
    std::deque<std::optional<SearchText>> searches;
    std::deque<std::optional<SaveChoice>> saves;
    std::deque<QString> opens;
    QStringList messages;
    /// The captions and filters the window asked with, as "caption|prompt|value" and "title|filter|name".
    QStringList asked;

    std::optional<QString> InputQuery(const QString &caption, const QString &prompt, const QString &value) override;
    std::optional<SearchText> AskSearchText() override;
    std::optional<SaveChoice> SaveFileName(const QString &title, const QString &filter,
                                           const QString &fileName) override;
    QString OpenFileName(const QString &title, const QString &filter) override;
    void Message(const QString &text) override { messages << text; }
};

/// Report printers on a scripted printer system of one A4 printer, so paper and orientation are taken.
class PreviewTest : public ::testing::Test {
protected:
    PreviewTest();
    ~PreviewTest() override;

    /// Writes a report file of `pages` pages, page n holding "Page n" and the lines `text(n)`.
    QString reportFile(const QString &name, int pages, std::function<QStringList(int)> text = {});
    /// A standard preview window on `printer`, shown, whose questions `dialogs` answers from then on.
    QPointer<TQRStandardPreview> open(TQRPrinter *printer);

    TestDialogs *dialogs = nullptr;

    ScriptedSystem system;
    printers::ScopedFactory factory;
    TempFolder folder;
};
