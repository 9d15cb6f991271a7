// A definition is outside input: every fault is refused with an EQRError that names the component and the
// property, and nothing of the definition stays behind.
#include "EngineTestSupport.h"

#include "store/Table.h"

#include <gtest/gtest.h>

namespace {

QString wrap(const QString &components) {
    return QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<definition>\n") + components +
           QStringLiteral("\n</definition>\n");
}

// A report R with the given inside.
QString report(const QString &inside) {
    return wrap(QStringLiteral("<component class=\"TDezirUzu\" name=\"R\">%1</component>").arg(inside));
}

struct Refusal {
    const char *what;
    QString xml;
    QString message; // the start of the message
};

} // namespace

TEST(DefinitionFaults, EachFaultIsNamedAndNothingStays) {
    RegisterTestClasses();
    const QString band = QStringLiteral("<component class=\"TQRBand\" name=\"%1\">%2</component>");
    const QString child = QStringLiteral("<component class=\"TQRChildBand\" name=\"%1\">%2</component>");
    const QString sub = QStringLiteral("<component class=\"TQRSubDetail\" name=\"%1\">%2</component>");
    const QString prop = QStringLiteral("<property name=\"%1\">%2</property>");
    const Refusal cases[] = {
        {"unknown class", report(band.arg("B", "") + "<component class=\"TQRLabel\" name=\"L\"/>"),
         "L: unknown class 'TQRLabel' (line 3)"},
        {"unknown property", report(band.arg("B", prop.arg("Heigth", "3"))), "B.Heigth: unknown property"},
        {"unknown sub-property", report(prop.arg("Page.Colour", "1")), "R.Page.Colour: unknown property"},
        {"through a value", report(prop.arg("Page.Columns.X", "1")), "R.Page.Columns.X: Columns has no properties"},
        {"an object as a value", report(prop.arg("Page", "A4")), "R.Page: an object, not a value"},
        {"a length that is not stored", report(band.arg("B", prop.arg("Size.Height", "3"))),
         "B.Size.Height: the property is not stored"},
        {"a switch that is not stored", report(prop.arg("Bands.HasTitle", "True")),
         "R.Bands.HasTitle: the property is not stored"},
        {"unknown enumerator", report(band.arg("B", prop.arg("BandType", "rbFooter"))),
         "B.BandType: 'rbFooter' is not a value of TQRBandType"},
        {"unknown member of a set", report(prop.arg("Options", "FirstPageHeader,Compressed")),
         "R.Options: 'Compressed' is not a member of TQROptions"},
        {"Values too short", report(band.arg("B", prop.arg("Size.Values", "100.0"))),
         "B.Size.Values: Values needs 2 numbers, not 1"},
        {"Values too long", report(prop.arg("Page.Values", "1 2 3 4 5 6 7 8")),
         "R.Page.Values: Values needs 7 numbers, not 8"},
        {"overflowing number", report(band.arg("B", prop.arg("Size.Values", "1e999 5"))),
         "B.Size.Values: '1e999' is not a finite number"},
        {"not a number", report(band.arg("B", prop.arg("Size.Values", "nan 5"))),
         "B.Size.Values: 'nan' is not a finite number"},
        {"infinite", report(band.arg("B", prop.arg("Size.Values", "5 -inf"))),
         "B.Size.Values: '-inf' is not a finite number"},
        {"a length beyond any paper", report(band.arg("B", prop.arg("Size.Values", "5 1e300"))),
         "B.Size.Values: Values: 1e+300 is not a length"},
        {"a word for a number", report(prop.arg("Zoom", "large")), "R.Zoom: 'large' is not a whole number in range"},
        {"a number beyond 32 bits", report(prop.arg("PagesInPreview", "4294967296")),
         "R.PagesInPreview: '4294967296' is not a whole number in range"},
        {"not a boolean", report(prop.arg("SnapToGrid", "yes")), "R.SnapToGrid: 'yes' is not True or False"},
        {"not a colour", report(prop.arg("BackgroundColor", "#12345")), "R.BackgroundColor: '#12345' is not a colour"},
        {"a list as text", report(prop.arg("Description", "one line")), "R.Description: a list takes <item> elements"},
        {"a zero-point font", report(prop.arg("Font.Size", "0")), "R.Font.Size: Font size 0 is not a size"},
        {"a zero-pixel font", report(prop.arg("Font.Height", "0")), "R.Font.Height: Font size 0 is not a size"},
        {"unresolved reference", report(prop.arg("DataSet", "Orders")), "R.DataSet: no component named Orders"},
        {"reference to another form", report(prop.arg("DataSet", "FormTavik.TableTV")),
         "R.DataSet: no component named FormTavik.TableTV"},
        {"reference of the wrong kind", report(prop.arg("DataSet", "B") + band.arg("B", "")),
         "R.DataSet: B is not a TDataSet"},
        {"LinkBand cycle",
         report(band.arg("A", prop.arg("LinkBand", "C")) + band.arg("B", prop.arg("LinkBand", "A")) +
                band.arg("C", prop.arg("LinkBand", "B"))),
         "C.LinkBand: Circular linking not allowed"},
        {"LinkBand to itself", report(band.arg("A", prop.arg("LinkBand", "A"))),
         "A.LinkBand: Circular linking not allowed"},
        {"ParentBand cycle",
         report(band.arg("D", prop.arg("BandType", "rbDetail")) + child.arg("C1", prop.arg("ParentBand", "C2")) +
                child.arg("C2", prop.arg("ParentBand", "C1"))),
         "C2.ParentBand: Circular linking not allowed"},
        {"Master cycle", report(sub.arg("S1", prop.arg("Master", "S2")) + sub.arg("S2", prop.arg("Master", "S1"))),
         "S2.Master: Circular linking not allowed"},
        {"Master of a wrong kind", report(band.arg("B", "") + sub.arg("S1", prop.arg("Master", "B"))),
         "S1.Master: The master of S1 is a report or a controller band"},
        {"a child band off any report", wrap(band.arg("D", "") + "\n" + child.arg("C", prop.arg("ParentBand", "D"))),
         "C.ParentBand: A child band takes a parent band only on a report"},
        {"duplicate names", report(band.arg("B", "") + band.arg("b", "")), "b: a component named b exists already"},
        {"a name that is no name", report(band.arg("B 2", "")), "B 2: 'B 2' is not a component name"},
        {"a report on a band", report(band.arg("B", "<component class=\"TDezirUzu\" name=\"R2\"/>")),
         "R2: A report cannot be placed on another control"},
        {"a band on a control",
         report(band.arg("B", "<component class=\"TTestBox\" name=\"X\">" + band.arg("B2", "") + "</component>")),
         "B2: A band can only be placed on a report"},
        {"a component inside a data set",
         wrap("<component class=\"TQuery\" name=\"Q\">" + band.arg("B", "") + "</component>"),
         "Q: a TQuery holds no components"},
        {"a control on nothing's band", wrap("<component class=\"TTestBox\" name=\"X\"/>") /* fine: top level */,
         QString()},
        {"text among properties", report("stray text"), "R: text outside the properties"},
        {"an unknown element", report("<prop name=\"Zoom\">5</prop>"), "R: unexpected <prop> element"},
        {"an attribute of a value", report("<property name=\"Zoom\" unit=\"%\">5</property>"),
         "R.Zoom: unknown attribute unit"},
        {"an unknown parameter",
         wrap("<component class=\"TQuery\" name=\"Q\">" + prop.arg("SQL", "<item>SELECT :A</item>") +
              "<property name=\"Params\"><param name=\"B\" type=\"ftString\"/></property></component>"),
         "Q.Params: the SQL has no parameter 'B'"},
        {"an unknown field type",
         wrap("<component class=\"TQuery\" name=\"Q\">" + prop.arg("SQL", "<item>SELECT :A</item>") +
              "<property name=\"Params\"><param name=\"A\" type=\"ftMoney\"/></property></component>"),
         "Q.Params: 'ftMoney' is not a field type"},
        {"not a definition", "<report/>", "<report> is not a definition (line 1)"},
        {"not XML", "<definition><component class=\"TDezirUzu\" name=\"R\"></definition>",
         "not a well-formed definition"},
        {"empty", "", "not a well-formed definition"},
        {"entity expansion",
         "<?xml version=\"1.0\"?><!DOCTYPE d [<!ENTITY a \"aaaaaaaaaa\"><!ENTITY b \"&a;&a;&a;&a;&a;\">]>"
         "<definition/>",
         "a definition has no document type declaration (line 1)"},
        {"deep nesting", wrap(QString("<component class=\"TQRBand\">").repeated(200)), "elements nested too deeply"},
    };
    int checked = 0;
    for (const Refusal &c : cases) {
        if (c.message.isEmpty())
            continue;
        TQRDefinition root;
        auto *before = new TDezirUzu(&root);
        before->setObjectName(QStringLiteral("Existing"));
        TQRReadOptions options;
        try {
            ReadDefinition(&root, c.xml.toUtf8(), options);
            ADD_FAILURE() << c.what << ": read";
        } catch (const EQRError &e) {
            EXPECT_TRUE(e.message().startsWith(c.message)) << c.what << ": " << e.message().toStdString();
            ++checked;
        }
        EXPECT_EQ(root.children(), QObjectList{before}) << c.what;
        EXPECT_TRUE(before->OrderedBands().isEmpty()) << c.what;
    }
    EXPECT_EQ(checked, int(std::size(cases)) - 1);
}

TEST(DefinitionFaults, ReferencesReachOtherFormsOnlyThroughTheRegistry) {
    RegisterTestClasses();
    TQRDefinition viewer;
    viewer.setObjectName(QStringLiteral("FormTavik"));
    auto *table = new TTable(&viewer);
    table->setObjectName(QStringLiteral("TableTV"));
    TQRForms forms;
    forms.Add(&viewer);
    const QString xml = report(QStringLiteral("<property name=\"DataSet\">formtavik.tabletv</property>"));
    const auto root = readText(xml, &forms);
    EXPECT_EQ(qobject_cast<TDezirUzu *>(FindComponent(root.get(), QStringLiteral("R")))->DataSet(), table);
    EXPECT_THROW(readText(report(QStringLiteral("<property name=\"DataSet\">Other.TableTV</property>")), &forms),
                 EQRError);
    delete table; // the reference is forgotten with it
    EXPECT_EQ(qobject_cast<TDezirUzu *>(FindComponent(root.get(), QStringLiteral("R")))->DataSet(), nullptr);
}

TEST(DefinitionFaults, ALaterFaultUndoesWhatWasMadeBeforeIt) {
    RegisterTestClasses();
    TQRDefinition root;
    const QString xml = wrap(QStringLiteral(R"(
<component class="TQuery" name="Q"><property name="SQL"><item>SELECT 1</item></property></component>
<component class="TDezirUzu" name="R">
  <property name="DataSet">Q</property>
  <component class="TQRBand" name="T"><property name="Size.Values">100 1000</property>
    <component class="TTestBox" name="X"><property name="Size.Values">1 2 3 4</property></component>
  </component>
  <component class="TQRBand" name="D"><property name="BandType">rbDetail</property><property name="LinkBand">T</property></component>
  <component class="TQRChildBand" name="C"><property name="ParentBand">D</property></component>
</component>
<component class="TQuery" name="Broken"><property name="Active">True</property></component>)"));
    try {
        ReadDefinition(&root, xml.toUtf8());
        FAIL() << "read";
    } catch (const EQRError &e) {
        EXPECT_TRUE(e.message().startsWith(QLatin1String("Broken.Active: "))) << e.message().toStdString();
        EXPECT_TRUE(e.message().contains(QLatin1String("No SQL statement"))) << e.message().toStdString();
    }
    EXPECT_TRUE(root.children().isEmpty());
    // The same definition without the broken query loads whole.
    const QList<QObject *> made = ReadDefinition(
        &root,
        xml.left(xml.indexOf(QLatin1String("<component class=\"TQuery\" name=\"Broken\""))).toUtf8() + "</definition>");
    EXPECT_EQ(made.size(), 6);
    EXPECT_EQ(bandOrder(*qobject_cast<TDezirUzu *>(FindComponent(&root, QStringLiteral("R")))),
              QStringLiteral("T D C"));
}
