// The manual's stored definition and the HELP field it prints: what each topic's band gets from the pages.
#include "manual/ManualJob.h"

#include "help/HelpPages.h"
#include "printer/QRError.h"
#include "report/controls/QRLabel.h"
#include "report/controls/QRRichText.h"
#include "store/DatabaseError.h"
#include "store/Table.h"
#include "tests/cli/CliRunner.h"
#include "tests/support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QStringDecoder>
#include <QStringEncoder>

#include <gtest/gtest.h>

namespace {

void write(const QString &path, const QByteArray &bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

// A help set of three topics: "Első" with the page one.htm, "Második" without a page below it, "Harmadik" whose
// page name leads out of the page folder.
struct HelpSet {
    HelpSet() {
        EXPECT_EQ(tavik({"init", dir.path()}).status, 0);
        EXPECT_EQ(tavik({"insert", dir.path(), "--top", "--title", "Első", "--page", "one.htm"}).status, 0);
        EXPECT_EQ(tavik({"insert", dir.path(), "--under", "1", "--title", "Második"}).status, 0);
        EXPECT_EQ(tavik({"insert", dir.path(), "--top", "--title", "Harmadik", "--page", "../../x/one.htm"}).status, 0);
    }
    QString pages() const { return dir.filePath(QStringLiteral("Help/HTML")); }
    TempFolder dir;
};

// The HELP field of every topic in display order.
QStringList helpOfEach(TTable &table) {
    QStringList texts;
    const TField *help = table.FieldByName(QStringLiteral("HELP"));
    for (table.First(); !table.Eof(); table.Next())
        texts << help->AsString();
    return texts;
}

} // namespace

TEST(ManualDefinition, IsWhatTheWriterWritesAndHoldsTheDesign) {
    TManualJob job(sourceDir() + QStringLiteral("/demo"));
    // The stored bytes are the writer's own (what equals a default is left out), save the title label's size:
    // the label sizes itself to its caption in the fonts at hand, so only that line comes back changed.
    TQRDefinition root;
    TQRReadOptions options;
    options.forms = &job.Forms;
    options.openDataSets = false;
    ReadDefinition(&root, TFolvexTavik::StoredDefinition(), options);
    const QStringList stored = QString::fromUtf8(TFolvexTavik::StoredDefinition()).split('\n');
    const QStringList written = QString::fromUtf8(WriteDefinition(&root)).split('\n');
    ASSERT_EQ(written.size(), stored.size());
    const QString labelSize =
        "        <property name=\"Size.Values\">113.77083333333333 476.25 31.75 947.2083333333334</property>";
    for (qsizetype i = 0; i < stored.size(); ++i) {
        if (stored[i] != labelSize) {
            EXPECT_EQ(written[i].toStdString(), stored[i].toStdString());
        }
    }
    EXPECT_EQ(stored.count(labelSize), 1);

    TFolvexTavik *manual = job.FolvexTavik;
    EXPECT_EQ(manual->objectName(), "FolvexTavik");
    EXPECT_EQ(manual->DataSet(), job.Viewer.TableTV);
    EXPECT_EQ(manual->Units(), TQRUnit::MM);
    EXPECT_EQ(PropertyText(manual, "Page.Values", TQRUnit::Native).toStdString(),
              "100.0 2970.0 100.0 2100.0 100.0 100.0 0.0");
    EXPECT_EQ(manual->Page()->PaperSize(), TQRPaperSize::A4);
    EXPECT_EQ(manual->Page()->Orientation(), poPortrait);
    EXPECT_TRUE(manual->PrintIfEmpty());
    EXPECT_EQ(manual->Options(), TQROption::FirstPageHeader | TQROption::LastPageFooter);
    EXPECT_EQ(manual->Font()->Name(), "Arial");
    EXPECT_EQ(manual->Font()->Height(), -13); // 13 pixels

    auto *title = qobject_cast<TQRBand *>(FindComponent(&job.Root, "QRBand1"));
    auto *detail = qobject_cast<TQRBand *>(FindComponent(&job.Root, "QRBand2"));
    auto *label = qobject_cast<TQRLabel *>(FindComponent(&job.Root, "QRLabel1"));
    TQRDBRichText *text = manual->QRDBRichText1();
    ASSERT_TRUE(title && detail && label && text);
    EXPECT_EQ(title->BandType(), rbTitle);
    EXPECT_EQ(detail->BandType(), rbDetail);
    EXPECT_EQ(PropertyText(title, "Size.Values", TQRUnit::Native).toStdString(),
              "209.02083333333334 1899.7083333333335");
    EXPECT_EQ(PropertyText(detail, "Size.Values", TQRUnit::Native).toStdString(), "127.0 1899.7083333333335");
    EXPECT_EQ(label->Caption(), "Felhasználói kézikönyv");
    EXPECT_EQ(label->Font()->Name(), "Times New Roman");
    EXPECT_EQ(label->FontSize(), 28);
    EXPECT_TRUE(label->Font()->Style().testFlag(TFontStyle::fsBold));
    EXPECT_EQ(label->Font()->Charset(), qrengine::EASTEUROPE_CHARSET);
    EXPECT_TRUE(label->AlignToBand() && label->AutoSize() && label->WordWrap() && !label->AutoStretch());
    EXPECT_DOUBLE_EQ(label->Size()->NativeValue(0), 113.77083333333333);
    EXPECT_DOUBLE_EQ(label->Size()->NativeValue(2), 31.75);
    EXPECT_EQ(text->DataSet(), job.Viewer.TableTV);
    EXPECT_EQ(text->DataField(), "HELP");
    EXPECT_TRUE(text->AutoStretch());
    EXPECT_EQ(PropertyText(text, "Size.Values", TQRUnit::Native).toStdString(),
              "55.5625 21.166666666666668 21.166666666666668 1865.3125");
    // Pictures come from the page folder alone.
    EXPECT_EQ(text->Source().ImageFolder(), helppages::pageFolder(sourceDir() + QStringLiteral("/demo")));

    // Without the viewer's table the manual cannot be read, and nothing of it is kept.
    TQRDefinition orphan;
    EXPECT_THROW(TFolvexTavik::Load(&orphan, TQRForms(), QDir::tempPath()), EQRError);
    EXPECT_TRUE(orphan.children().isEmpty());
}

TEST(HelpField, HoldsEachTopicsPageAndTheBlankPageOtherwise) {
    HelpSet set;
    write(set.pages() + "/one.htm", "<html><body><h1>Egy</h1></body></html>");
    write(set.pages() + "/Blank.htm", "<html><body>üres</body></html>");
    HelpViewerStore viewer;
    viewer.setStartDir(set.dir.path());
    AddHelpField(*viewer.TableTV, set.dir.path());
    AddHelpField(*viewer.TableTV, set.dir.path()); // once is enough
    viewer.open();
    TTable &table = *viewer.TableTV;
    EXPECT_EQ(table.FieldCount(), 13);
    EXPECT_EQ(table.FieldByName("HELP")->DataType(), ftMemo);
    // "../../x/one.htm" is only a name in the page folder: one.htm.
    const QString one = "<html><body><h1>Egy</h1></body></html>";
    const QString blank = "<html><body>üres</body></html>";
    EXPECT_EQ(helpOfEach(table), (QStringList{one, blank, one}));

    // The field follows the page: a changed page is read again, a page that went gives the blank page.
    write(set.pages() + "/one.htm", "<p>Új szöveg, hosszabb mint az előző</p>");
    table.First();
    EXPECT_EQ(table.FieldByName("HELP")->AsString(), "<p>Új szöveg, hosszabb mint az előző</p>");
    QFile::remove(set.pages() + "/one.htm");
    EXPECT_EQ(table.FieldByName("HELP")->AsString(), blank);
    QFile::remove(set.pages() + "/Blank.htm");
    EXPECT_TRUE(table.FieldByName("HELP")->AsString().isEmpty());

    // A page in the character set it declares.
    QStringEncoder encoder("windows-1250");
    write(set.pages() + "/one.htm",
          encoder.encode(QStringLiteral("<html><head><meta charset=\"windows-1250\"></head><body>Őrült ű</body>")));
    EXPECT_TRUE(table.FieldByName("HELP")->AsString().contains("Őrült ű"));

    // The field is the data set's own calculation: it is neither set nor searched from outside.
    EXPECT_THROW(table.FieldByName("HELP")->SetAsString("x"), EDatabaseError);
    EXPECT_THROW(table.Locate("HELP", "x"), EDatabaseError);
    // Every stored field reads as before.
    EXPECT_EQ(table.FieldByName("TEMAKOR")->AsString(), "Első");
}
