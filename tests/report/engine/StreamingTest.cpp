// Stored definitions: what loads, what is written, and that a saved definition reads back to the same bytes.
#include "EngineTestSupport.h"

#include "store/Query.h"
#include "store/Table.h"
#include "tests/support/TestSupport.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <sqlite3.h>

namespace {

// The manual's definition, its labels and rich text played by test boxes; in the form the writer writes.
const char *const manual = R"(<?xml version="1.0" encoding="UTF-8"?>
<definition>
  <component class="TDezirUzu" name="FolvexTavik">
    <property name="DataSet">FormTavik.TableTV</property>
    <property name="Font.Size">9.75</property>
    <property name="Units">MM</property>
    <property name="Page.PaperSize">A4</property>
    <property name="Page.Values">100.0 2970.0 100.0 2100.0 100.0 100.0 0.0</property>
    <component class="TQRBand" name="QRBand1">
      <property name="Size.Values">209.02083333333334 1899.7083333333335</property>
      <component class="TTestBox" name="QRLabel1">
        <property name="Size.Values">113.77083333333333 476.25 31.75 947.2083333333334</property>
        <property name="Alignment">taCenter</property>
        <property name="AlignToBand">True</property>
        <property name="Caption">Felhasználói kézikönyv</property>
      </component>
    </component>
    <component class="TQRBand" name="QRBand2">
      <property name="Size.Values">127.0 1899.7083333333335</property>
      <property name="BandType">rbDetail</property>
      <component class="TTestBox" name="QRDBRichText1">
        <property name="Size.Values">55.5625 21.166666666666668 21.166666666666668 1865.3125</property>
      </component>
    </component>
  </component>
</definition>
)";

struct Viewer {
    Viewer() {
        form.setObjectName(QStringLiteral("FormTavik"));
        table = new TTable(&form);
        table->setObjectName(QStringLiteral("TableTV"));
        forms.Add(&form);
    }
    TQRDefinition form;
    TTable *table;
    TQRForms forms;
};

template <class T> T *find(const QObject &root, const char *name) {
    return qobject_cast<T *>(FindComponent(&root, QString::fromLatin1(name)));
}

void sql(const QString &file, const char *statements) {
    sqlite3 *db = nullptr;
    ASSERT_EQ(sqlite3_open(file.toUtf8().constData(), &db), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(db, statements, nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
    sqlite3_close(db);
}

int rows(const QString &file) {
    sqlite3 *db = nullptr;
    sqlite3_open(file.toUtf8().constData(), &db);
    sqlite3_stmt *stmt = nullptr;
    sqlite3_prepare_v2(db, "SELECT count(*) FROM Orders", -1, &stmt, nullptr);
    sqlite3_step(stmt);
    const int n = sqlite3_column_int(stmt, 0);
    sqlite3_finalize(stmt);
    sqlite3_close(db);
    return n;
}

} // namespace

TEST(Streaming, TheManualLoadsWithItsPixelsAndWritesBackTheSameBytes) {
    MetricLocale metric;
    Viewer viewer;
    const auto root = readText(QString::fromUtf8(manual), &viewer.forms);
    auto *report = find<TDezirUzu>(*root, "FolvexTavik");
    auto *title = find<TQRBand>(*root, "QRBand1");
    auto *label = find<TTestBox>(*root, "QRLabel1");
    auto *rich = find<TTestBox>(*root, "QRDBRichText1");
    ASSERT_TRUE(report && title && label && rich);
    EXPECT_EQ(report->DataSet(), viewer.table);
    EXPECT_EQ(report->Font()->Height(), -13);
    EXPECT_EQ(report->BoundsRect(), QRect(0, 0, 794, 1123));
    EXPECT_EQ(title->BoundsRect(), QRect(38, 38, 718, 79));
    EXPECT_EQ(find<TQRBand>(*root, "QRBand2")->BoundsRect(), QRect(38, 117, 718, 48));
    EXPECT_EQ(label->BoundsRect(), QRect(180, 12, 358, 43)); // centred on its band
    EXPECT_EQ(rich->BoundsRect(), QRect(8, 8, 705, 21));
    EXPECT_EQ(label->Size()->Units(), TQRUnit::MM);
    EXPECT_DOUBLE_EQ(label->Size()->Left(), 47.625);
    EXPECT_EQ(bandOrder(*report), QStringLiteral("QRBand1 QRBand2"));
    // Owned by the root in document order; print order inside the bands.
    QStringList owned;
    for (QObject *c : root->children())
        owned << c->objectName();
    EXPECT_EQ(owned, (QStringList{"FolvexTavik", "QRBand1", "QRLabel1", "QRBand2", "QRDBRichText1"}));
    EXPECT_EQ(title->Controls(), QList<TQRControl *>{label});

    EXPECT_EQ(writeText(root.get()), QString::fromUtf8(manual));
}

TEST(Streaming, DefaultsAreLeftOutAndLocaleDependentSettingsKept) {
    MetricLocale metric;
    TQRDefinition root;
    auto *report = new TDezirUzu(&root);
    report->setObjectName(QStringLiteral("R"));
    report->Page()->SetPaperSize(TQRPaperSize::A4);
    report->CreateBand(rbTitle);
    const QString text = writeText(&root);
    QStringList names;
    for (const QString &line : text.split(QLatin1Char('\n')))
        if (line.contains(QLatin1String("<property name=\"")))
            names << line.section(QLatin1Char('"'), 1, 1);
    // The unit and paper follow the machine for a new report, so they are always written, as are lengths.
    EXPECT_EQ(names, (QStringList{"Units", "Page.PaperSize", "Page.Values", "Size.Values"}));
    EXPECT_TRUE(text.contains(QLatin1String("<property name=\"Size.Values\">105.83333333333333 1899.7083333333335<")))
        << text.toStdString();

    // Read on a machine of inches, the definition keeps its millimetres and paper.
    const QLocale saved;
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    const auto back = readText(text);
    QLocale::setDefault(saved);
    auto *r = find<TDezirUzu>(*back, "R");
    EXPECT_EQ(r->Units(), TQRUnit::MM);
    EXPECT_EQ(r->Page()->PaperSize(), TQRPaperSize::A4);
    EXPECT_EQ(find<TQRBand>(*back, "TitleBand1")->Size()->Units(), TQRUnit::MM);
    EXPECT_EQ(writeText(back.get()), text);
}

TEST(Streaming, EveryKindOfPropertyReadsBackAsWritten) {
    ReportFixture f;
    TDezirUzu *r = f.report;
    auto *query = new TQuery(&f.root);
    query->setObjectName(QStringLiteral("Q"));
    query->SetDatabaseName(QStringLiteral("data folder/x"));
    query->SetSQL({QStringLiteral("SELECT * FROM T"), QStringLiteral("WHERE A = :A AND B < :B AND C = :C")});
    query->Params(0).SetAsInteger(42);
    query->Params(1).SetDataType(ftFloat);
    query->Params(2).SetAsString(QStringLiteral("a < b & \"c\""));
    query->setProperty("Tag", 12);
    r->SetDataSet(query);
    r->SetReportTitle(QStringLiteral("  Árvíztűrő <tükör> & \"fúrógép\"\ttab\r\nnext  "));
    r->SetDescription({QStringLiteral("first"), QString(), QStringLiteral("  indented")});
    r->SetOptions(TQROptions());
    r->SetPrintIfEmpty(false);
    r->SetZoom(150);
    r->SetPreviewWidth(640);
    r->SetPrevInitialZoom(qrZoom100);
    r->SetPreviewDefaultSaveType(stPDF);
    r->SetBackgroundColor(QColor(0x12, 0x34, 0x56));
    r->SetPagesInPreview(3);
    r->SetTag(-7);
    r->Font()->SetName(QStringLiteral("Times New Roman"));
    r->Font()->SetSize(28);
    r->Font()->SetStyle(TFontStyle::fsBold | TFontStyle::fsItalic);
    r->Font()->SetCharset(qrengine::EASTEUROPE_CHARSET);
    r->Frame()->SetDrawLeft(true);
    r->Frame()->SetStyle(psDashDot);
    r->Frame()->SetWidth(-1);
    r->Functions()->AddEntry(QStringLiteral("TOTAL"), QStringLiteral("SUM(AMOUNT)"));
    r->PrinterSettings().SetPrintQuality(600);
    r->PrinterSettings().SetOutputBin(TQRBin::Manual);
    r->Page()->SetOrientation(poLandscape);
    r->Page()->SetPaperSize(TQRPaperSize::Custom);
    r->Page()->SetWidth(123.456);
    r->Page()->SetColumns(3);
    r->Page()->SetRuler(false);
    r->SetUnits(TQRUnit::Characters);

    TQRBand *detail = f.band(rbDetail);
    TQRBand *footer = f.band(rbGroupFooter);
    detail->SetLinkBand(footer);
    detail->SetHasChild(true);
    auto *child = static_cast<TQRChildBand *>(detail->ChildBand());
    child->SetPrintOrder(cboBeforeAndAfter);
    detail->SetForceNewPage(true);
    detail->SetTransparentBand(true);
    detail->Font()->SetSize(8); // no longer the report's font
    auto *group = new TQRGroup(&f.root);
    group->setObjectName(QStringLiteral("G"));
    group->SetParentControl(r);
    group->SetExpression(QStringLiteral("COPY(NAME, 1, 1) = 'A'"));
    group->SetFooterBand(footer);
    auto *sub = new TQRSubDetail(&f.root);
    sub->setObjectName(QStringLiteral("S"));
    sub->SetParentControl(r);
    sub->SetDataSet(query);
    sub->SetPrintBefore(true);
    group->SetMaster(sub);
    TTestBox *box = f.box(detail, 1.5, 2, 30, 4);
    box->SetAlignment(taRightJustify);
    box->SetTransparent(true);
    box->SetVisible(false);
    box->SetEnabled(false);
    box->SetColor(QColor(0xC0, 0xC0, 0xC0));

    const QString text = writeText(&f.root);
    const auto back = readText(text);
    EXPECT_EQ(writeText(back.get()), text);

    auto *r2 = find<TDezirUzu>(*back, "Report1");
    auto *q2 = find<TQuery>(*back, "Q");
    ASSERT_TRUE(r2 && q2);
    EXPECT_EQ(r2->DataSet(), q2);
    EXPECT_EQ(r2->ReportTitle(), r->ReportTitle());
    EXPECT_EQ(r2->Description(), r->Description());
    EXPECT_EQ(r2->Options(), TQROptions());
    EXPECT_FALSE(r2->PrintIfEmpty());
    EXPECT_EQ(r2->Zoom(), 150);
    EXPECT_EQ(r2->Units(), TQRUnit::Characters);
    EXPECT_EQ(r2->Font()->Style(), TFontStyle::fsBold | TFontStyle::fsItalic);
    EXPECT_EQ(r2->Font()->Charset(), qrengine::EASTEUROPE_CHARSET);
    EXPECT_EQ(r2->Frame()->Width(), -1);
    EXPECT_EQ(r2->Functions()->Strings(), r->Functions()->Strings());
    EXPECT_EQ(r2->Functions()->Data(), r->Functions()->Data());
    EXPECT_EQ(r2->PrinterSettings().PrintQuality(), 600);
    EXPECT_EQ(r2->PrinterSettings().OutputBin(), TQRBin::Manual);
    EXPECT_EQ(r2->Page()->Values(), r->Page()->Values());
    EXPECT_EQ(r2->Page()->Orientation(), poLandscape);
    EXPECT_EQ(r2->Page()->Columns(), 3);
    EXPECT_EQ(r2->BackgroundColor(), QColor(0x12, 0x34, 0x56));
    EXPECT_EQ(r2->Tag(), -7);
    EXPECT_EQ(q2->DatabaseName(), QStringLiteral("data folder/x"));
    EXPECT_EQ(q2->property("Tag").toInt(), 12);
    EXPECT_EQ(q2->ParamList().size(), 3);
    EXPECT_EQ(q2->Params(0).Value(), QVariant(qint64(42)));
    EXPECT_EQ(q2->Params(1).DataType(), ftFloat);
    EXPECT_TRUE(q2->Params(1).IsNull());
    EXPECT_EQ(q2->Params(2).Value().toString(), QStringLiteral("a < b & \"c\""));
    auto *detail2 = find<TQRBand>(*back, "DetailBand1");
    EXPECT_EQ(detail2->LinkBand(), find<TQRBand>(*back, "GroupFooterBand1"));
    EXPECT_FALSE(detail2->ParentFont());
    EXPECT_EQ(detail2->Font()->Size(), 8);
    EXPECT_EQ(detail2->Font()->Name(), QStringLiteral("Times New Roman"));
    EXPECT_TRUE(find<TQRBand>(*back, "GroupFooterBand1")->ParentFont());
    EXPECT_EQ(static_cast<TQRChildBand *>(detail2->ChildBand())->PrintOrder(), cboBeforeAndAfter);
    EXPECT_EQ(find<TQRGroup>(*back, "G")->Master(), find<TQRSubDetail>(*back, "S"));
    EXPECT_EQ(find<TQRSubDetail>(*back, "S")->DataSet(), q2);
    EXPECT_TRUE(find<TQRSubDetail>(*back, "S")->PrintBefore());
    auto *box2 = find<TTestBox>(*back, box->objectName().toLatin1().constData());
    EXPECT_EQ(box2->Alignment(), taRightJustify);
    EXPECT_FALSE(box2->Enabled());
    EXPECT_FALSE(box2->Visible());
    EXPECT_TRUE(box2->Transparent());
    EXPECT_EQ(box2->Size()->Values(), box->Size()->Values());
    EXPECT_EQ(bandOrder(*r2), bandOrder(*r));
}

TEST(Streaming, UnstorableTextIsRefusedByTheWriter) {
    ReportFixture f;
    f.report->SetReportTitle(QStringLiteral("bell \a"));
    try {
        writeText(&f.root);
        FAIL() << "written";
    } catch (const EQRError &e) {
        EXPECT_EQ(e.message(), QStringLiteral("Report1.ReportTitle: the character U+0007 cannot be stored"));
    }
    f.report->SetReportTitle(QString());
    auto *unregistered = new TQRPrintable(&f.root);
    unregistered->SetParentControl(f.report);
    EXPECT_THROW(writeText(&f.root), EQRError);
}

TEST(Streaming, SmallRulesOfTheReaderAndTheLoadedPass) {
    MetricLocale metric;
    const auto root = readText(QStringLiteral(R"(<?xml version="1.0"?>
<definition>
  <!-- hand-written -->
  <component class="TDezirUzu" name="R">
    <property name="Zoom">301</property>
    <property name="PreviewWidth">0</property>
    <property name="PreviewHeight">-4</property>
    <property name="Font.Height">-16</property>
    <property name="Options"></property>
    <property name="Page.Columns">0</property>
    <component class="TQRBand" name="NoSize"/>
    <component class="TQRBand" name="B">
      <property name="BandType"> rbSummary </property>
      <property name="Size.Values">
        100 2000
      </property>
      <property name="Color">clBtnFace</property>
    </component>
  </component>
</definition>)"));
    auto *r = find<TDezirUzu>(*root, "R");
    EXPECT_EQ(r->Zoom(), 100);         // out of range: ignored
    EXPECT_EQ(r->PreviewWidth(), 500); // 0 or less reads as 500
    EXPECT_EQ(r->PreviewHeight(), 500);
    EXPECT_EQ(r->Font()->Size(), 12);
    EXPECT_EQ(r->Options(), TQROptions());
    EXPECT_EQ(r->Page()->Columns(), 1);
    EXPECT_EQ(find<TQRBand>(*root, "NoSize")->Height(), 40); // a band without a size keeps its 40 pixels
    auto *b = find<TQRBand>(*root, "B");
    EXPECT_EQ(b->BandType(), rbSummary);
    EXPECT_EQ(b->Height(), 38);
    EXPECT_EQ(b->Width(), 718); // arranged, whatever was stored
    EXPECT_EQ(b->Color(), QColor(0xF0, 0xF0, 0xF0));
    EXPECT_EQ(bandOrder(*r), QStringLiteral("NoSize B")); // a band of no stated type is a title
}

TEST(Streaming, DataSetsReadTheirFolderReadOnlyAndOpenLast) {
    TempFolder dir;
    QDir(dir.path()).mkpath(QStringLiteral("data"));
    const QString table = dir.filePath(QStringLiteral("data/Orders.db"));
    sql(table, "CREATE TABLE Orders(CUSTOMER TEXT, AMOUNT REAL);"
               "INSERT INTO Orders VALUES('Kiss', 150.5), ('Nagy', 80), ('Kiss', 200);");
    const QString definition = QStringLiteral(R"(<definition>
  <component class="TQuery" name="Q">
    <property name="Active">True</property>
    <property name="DatabaseName">data</property>
    <property name="SQL"><item>SELECT * FROM Orders WHERE AMOUNT &gt; :MINIMUM</item></property>
    <property name="Params"><param name="MINIMUM" type="ftFloat">100</param></property>
  </component>
  <component class="TTable" name="T">
    <property name="DatabaseName">%1</property>
    <property name="TableName">Orders</property>
    <property name="Active">True</property>
  </component>
  <component class="TDezirUzu" name="R">
    <property name="DataSet">Q</property>
  </component>
</definition>)")
                                   .arg(dir.filePath(QStringLiteral("data")));
    const auto root = readText(definition, nullptr, dir.path());
    auto *q = find<TQuery>(*root, "Q");
    auto *t = find<TTable>(*root, "T");
    ASSERT_TRUE(q->Active()); // opened after its parameter was set
    EXPECT_EQ(q->RecordCount(), 2);
    ASSERT_TRUE(t->Active());
    EXPECT_EQ(t->RecordCount(), 3);
    EXPECT_EQ(find<TDezirUzu>(*root, "R")->DataSet(), q);
    // Neither the data set's name nor its activity changes what is written.
    const QString text = writeText(root.get());
    EXPECT_TRUE(text.contains(QLatin1String("<property name=\"DatabaseName\">data</property>")));
    EXPECT_EQ(text.count(QLatin1String("<property name=\"Active\">True</property>")), 2);

    // SQL of a definition cannot change a table.
    const QString erase = QStringLiteral(R"(<definition>
  <component class="TQuery" name="Eraser">
    <property name="DatabaseName">data</property>
    <property name="SQL"><item>DELETE FROM Orders</item></property>
    <property name="Active">True</property>
  </component>
</definition>)");
    try {
        readText(erase, nullptr, dir.path());
        FAIL() << "the query ran";
    } catch (const EQRError &e) {
        EXPECT_TRUE(e.message().startsWith(QLatin1String("Eraser.Active: "))) << e.message().toStdString();
    }
    EXPECT_EQ(rows(table), 3);
}

TEST(Streaming, BandsBeyondAnyPageStayWithinThePixelRange) {
    MetricLocale metric;
    QString bands;
    for (int i = 0; i < 2000; ++i)
        bands += QStringLiteral("<component class=\"TQRBand\" name=\"B%1\"><property name=\"Size.Values\">1000000.0 "
                                "1000.0</property><property name=\"BandType\">rbDetail</property></component>")
                     .arg(i);
    const auto root = readText(QStringLiteral("<definition><component class=\"TDezirUzu\" name=\"R\"><property "
                                              "name=\"Zoom\">300</property>%1</component></definition>")
                                   .arg(bands));
    const TDezirUzu *report = find<TDezirUzu>(*root, "R");
    ASSERT_EQ(report->OrderedBands().size(), 2000);
    int previous = 0;
    for (const TQRCustomBand *band : report->OrderedBands()) {
        EXPECT_EQ(band->Height(), rnd(1e6 / (254.0 / 96) * 3)); // 1,133,858 pixels each
        EXPECT_GE(band->Top(), previous);
        EXPECT_LE(qint64(band->Top()) + band->Height(), qint64(std::numeric_limits<int>::max()));
        previous = band->Top();
    }
    EXPECT_EQ(report->OrderedBands().last()->Top(), 1 << 29);
}
