// Bands on a report: names, switches, print order, child chains, links and the design-surface arrangement.
#include "EngineTestSupport.h"

#include "report/engine/QRController.h"

#include <gtest/gtest.h>

TEST(Bands, CreateBandNamesAfterTypeWithSmallestFreeNumber) {
    ReportFixture f;
    TQRBand *d1 = f.report->CreateBand(rbDetail);
    TQRBand *d2 = f.report->CreateBand(rbDetail);
    TQRBand *h1 = f.report->CreateBand(rbPageHeader);
    EXPECT_EQ(d1->objectName(), QStringLiteral("DetailBand1"));
    EXPECT_EQ(d2->objectName(), QStringLiteral("DetailBand2"));
    EXPECT_EQ(h1->objectName(), QStringLiteral("PageHeaderBand1"));
    EXPECT_EQ(d1->parent(), &f.root); // owned by the report's owner
    EXPECT_EQ(d1->ParentControl(), f.report);
    EXPECT_EQ(d1->ParentReport(), f.report);
    delete d1;
    EXPECT_EQ(f.report->CreateBand(rbDetail)->objectName(), QStringLiteral("DetailBand1"));
    auto *taken = new TQRBand(&f.root);
    taken->setObjectName(QStringLiteral("SummaryBand1"));
    EXPECT_EQ(f.report->CreateBand(rbSummary)->objectName(), QStringLiteral("SummaryBand2"));

    TDezirUzu alone; // no owner: the report owns its bands
    TQRBand *own = alone.CreateBand(rbTitle);
    EXPECT_EQ(own->parent(), &alone);
    EXPECT_EQ(own->objectName(), QStringLiteral("TitleBand1"));
    EXPECT_EQ(own->DisplayName(), QStringLiteral("Title"));
}

TEST(Bands, SwitchesMakeAndFreeBands) {
    ReportFixture f;
    TDezirUzuBands *bands = f.report->Bands();
    EXPECT_FALSE(bands->HasTitle());
    bands->SetHasTitle(true);
    bands->SetHasPageFooter(true);
    bands->SetHasPageFooter(true); // a second one is not made
    EXPECT_TRUE(bands->HasTitle());
    EXPECT_EQ(bandOrder(*f.report), QStringLiteral("TitleBand1 PageFooterBand1"));
    EXPECT_EQ(bands->BandOfType(rbPageFooter)->objectName(), QStringLiteral("PageFooterBand1"));
    bands->SetHasTitle(false);
    EXPECT_FALSE(bands->HasTitle());
    EXPECT_EQ(bandOrder(*f.report), QStringLiteral("PageFooterBand1"));
    EXPECT_EQ(f.root.findChild<QObject *>(QStringLiteral("TitleBand1")), nullptr);
}

TEST(Bands, PrintOrderFollowsTypesControllersAndChildren) {
    ReportFixture f;
    // Made in an order that says nothing.
    TQRBand *summary = f.band(rbSummary);
    TQRBand *wild = f.band(rbWild);
    TQRBand *detail = f.band(rbDetail);
    TQRBand *footer = f.band(rbPageFooter);
    TQRBand *colHeader = f.band(rbColumnHeader);
    TQRBand *title = f.band(rbTitle);
    TQRBand *pageHeader = f.band(rbPageHeader);
    TQRBand *overlay = f.band(rbOverlay);

    auto *outer = new TQRGroup(&f.root);
    outer->setObjectName(QStringLiteral("Outer"));
    outer->SetParentControl(f.report);
    auto *inner = new TQRGroup(&f.root);
    inner->setObjectName(QStringLiteral("Inner"));
    inner->SetParentControl(f.report);
    TQRBand *outerFoot = f.band(rbGroupFooter);
    outerFoot->setObjectName(QStringLiteral("OuterFoot"));
    TQRBand *innerFoot = f.band(rbGroupFooter);
    innerFoot->setObjectName(QStringLiteral("InnerFoot"));
    outer->SetFooterBand(outerFoot);
    inner->SetFooterBand(innerFoot);
    EXPECT_EQ(outer->Master(), f.report); // placed on a report without a master

    auto *before = new TQRSubDetail(&f.root);
    before->setObjectName(QStringLiteral("Before"));
    before->SetParentControl(f.report);
    before->SetPrintBefore(true);
    before->Bands()->SetHasHeader(true);
    auto *after = new TQRSubDetail(&f.root);
    after->setObjectName(QStringLiteral("After"));
    after->SetParentControl(f.report);
    after->Bands()->SetHasFooter(true);
    EXPECT_EQ(after->Master(), f.report);

    detail->SetHasChild(true);
    auto *child = static_cast<TQRChildBand *>(detail->ChildBand());
    ASSERT_TRUE(child);
    EXPECT_EQ(child->objectName(), QStringLiteral("ChildBand1"));
    child->SetHasChild(true);
    footer->SetHasChild(true);

    // Overlay and wild bands keep the order they had; a new band arrives as a title, so the overlay band
    // made last sat among the titles before it took its type.
    EXPECT_EQ(bandOrder(*f.report),
              QStringLiteral("PageHeaderBand1 TitleBand1 ColumnHeaderBand1 Outer Inner GroupHeaderBand1 Before "
                             "DetailBand1 ChildBand1 ChildBand2 After GroupFooterBand1 InnerFoot OuterFoot "
                             "SummaryBand1 PageFooterBand1 ChildBand3 OverlayBand1 WildBand1"));
    auto *main = qobject_cast<TQRController *>(f.report->MainController());
    ASSERT_TRUE(main);
    EXPECT_EQ(main->HeaderBand(), title);
    EXPECT_EQ(main->DetailBand(), detail);
    EXPECT_EQ(main->FooterBand(), summary);
    EXPECT_EQ(main->GroupBands(), (QList<TQRGroup *>{outer, inner}));
    EXPECT_EQ(main->PrecedingControllers(), QList<TQRCustomController *>{before->Controller()});
    EXPECT_EQ(main->FollowingControllers(), QList<TQRCustomController *>{after->Controller()});

    // The sub-detail goes after the detail once it no longer prints before it.
    before->SetPrintBefore(false);
    EXPECT_TRUE(bandOrder(*f.report).contains(QStringLiteral("ChildBand2 GroupHeaderBand1 Before After")));
    Q_UNUSED(wild);
    Q_UNUSED(colHeader);
    Q_UNUSED(pageHeader);
    Q_UNUSED(overlay);
}

TEST(Bands, RemovingAChildReattachesItsChild) {
    ReportFixture f;
    TQRBand *detail = f.band(rbDetail);
    detail->SetHasChild(true);
    auto *first = static_cast<TQRChildBand *>(detail->ChildBand());
    first->SetHasChild(true);
    auto *second = static_cast<TQRChildBand *>(first->ChildBand());
    ASSERT_TRUE(second);
    EXPECT_TRUE(detail->HasChild());
    detail->SetHasChild(false);
    EXPECT_EQ(f.root.findChild<QObject *>(QStringLiteral("ChildBand1")), nullptr);
    EXPECT_EQ(second->ParentBand(), detail);
    EXPECT_EQ(detail->ChildBand(), second);
    EXPECT_EQ(bandOrder(*f.report), QStringLiteral("DetailBand1 ChildBand2"));
    detail->SetHasChild(false);
    EXPECT_FALSE(detail->HasChild());
    EXPECT_EQ(bandOrder(*f.report), QStringLiteral("DetailBand1"));

    TQRBand loose(&f.root); // a band on no report makes no child
    loose.SetHasChild(true);
    EXPECT_FALSE(loose.HasChild());
}

TEST(Bands, CircularLinksAreRefused) {
    ReportFixture f;
    TQRBand *a = f.band(rbDetail, 10);
    TQRBand *b = f.band(rbDetail, 20);
    TQRBand *c = f.band(rbDetail, 30);
    a->SetLinkBand(b);
    b->SetLinkBand(c);
    c->SetLinkBand(a);
    EXPECT_EQ(c->LinkBand(), nullptr);
    a->SetLinkBand(a);
    EXPECT_EQ(a->LinkBand(), b);
    EXPECT_DOUBLE_EQ(a->HeightWithLinks(), 600);
    EXPECT_DOUBLE_EQ(b->HeightWithLinks(), 500);
    EXPECT_EQ(TQRControl::LastRefusal(), QStringLiteral("Circular linking not allowed"));

    a->SetHasChild(true);
    auto *child = static_cast<TQRChildBand *>(a->ChildBand());
    child->SetHasChild(true);
    auto *grandchild = static_cast<TQRChildBand *>(child->ChildBand());
    child->SetParentBand(grandchild);
    EXPECT_EQ(child->ParentBand(), a);
    child->SetParentBand(child);
    EXPECT_EQ(child->ParentBand(), a);
    EXPECT_EQ(grandchild->EffectiveType(), rbDetail);

    auto *s1 = new TQRSubDetail(&f.root);
    s1->SetParentControl(f.report);
    auto *s2 = new TQRSubDetail(&f.root);
    s2->SetParentControl(f.report);
    s2->SetMaster(s1);
    s1->SetMaster(s2);
    EXPECT_EQ(s1->Master(), f.report);
    s1->SetMaster(s1);
    EXPECT_EQ(s1->Master(), f.report);
    s1->SetMaster(a); // not a controller band
    EXPECT_EQ(s1->Master(), f.report);
    f.report->OrderBands(); // and the walk over masters ends
    EXPECT_EQ(f.report->OrderedBands().size(), 7);

    auto *group = new TQRGroup(&f.root);
    group->SetParentControl(f.report);
    group->SetMaster(nullptr);
    group->SetMaster(a);
    EXPECT_EQ(group->Master(), f.report);
    group->SetMaster(s2);
    EXPECT_EQ(group->Master(), s2);
}

TEST(Bands, ArrangementStacksBandsAndSizesColumns) {
    ReportFixture f;
    TQRPage *page = f.report->Page();
    page->SetColumns(2);
    page->SetColumnSpace(5);
    TQRBand *detail = f.band(rbDetail, 10);
    TQRBand *title = f.band(rbTitle, 20);
    TQRBand *pageFooter = f.band(rbPageFooter, 10);
    TQRBand *summary = f.band(rbSummary, 10);
    TQRBand *overlay = f.band(rbOverlay, 10);
    TQRBand *pageHeader = f.band(rbPageHeader, 10);
    TQRBand *columnHeader = f.band(rbColumnHeader, 10);
    TQRBand *wild = f.band(rbWild, 10);
    pageFooter->SetHasChild(true);
    detail->SetHasChild(true);
    TQRCustomBand *footerChild = pageFooter->ChildBand();
    TQRCustomBand *detailChild = detail->ChildBand();

    // 794 pixels of paper, 38 + 38 of margins, 19 between the columns.
    for (TQRCustomBand *full :
         std::initializer_list<TQRCustomBand *>{title, pageFooter, summary, overlay, pageHeader, footerChild})
        EXPECT_EQ(full->Width(), 718) << full->objectName().toStdString();
    for (TQRCustomBand *column : std::initializer_list<TQRCustomBand *>{detail, columnHeader, wild, detailChild})
        EXPECT_EQ(column->Width(), 349) << column->objectName().toStdString();
    EXPECT_EQ(title->Size()->NativeValue(1), 1899.7083333333335);

    int y = 38;
    for (TQRCustomBand *band : f.report->OrderedBands()) {
        EXPECT_EQ(band->Left(), 38);
        EXPECT_EQ(band->Top(), y) << band->objectName().toStdString();
        y += band->Height();
    }
    EXPECT_EQ(pageHeader->Top(), 38);
    EXPECT_EQ(title->Top(), 38 + pageHeader->Height());

    page->SetColumns(1);
    EXPECT_EQ(detail->Width(), 718);
    page->SetLeftMargin(20);
    EXPECT_EQ(detail->Left(), 76);
    EXPECT_EQ(detail->Width(), 794 - 113); // the two margins are rounded together
}

TEST(Bands, PlacementOnReportsAndBands) {
    ReportFixture f;
    TQRBand *title = f.band(rbTitle);
    auto *stray = new TQRBand(&f.root);
    stray->setObjectName(QStringLiteral("Stray"));
    stray->SetBandType(rbSummary);
    EXPECT_EQ(stray->ParentReport(), nullptr);
    stray->SetBounds(5, 6, 70, 80); // a band on no report takes any bounds
    EXPECT_EQ(stray->BoundsRect(), QRect(5, 6, 70, 80));
    stray->SetParentControl(title); // bands do not nest
    EXPECT_EQ(stray->ParentControl(), f.report);
    EXPECT_EQ(bandOrder(*f.report), QStringLiteral("TitleBand1 Stray"));
    EXPECT_THROW(f.report->SetParentControl(title), EQRError);

    TDezirUzu other(&f.root);
    stray->SetParentControl(&other);
    EXPECT_EQ(bandOrder(*f.report), QStringLiteral("TitleBand1"));
    EXPECT_EQ(bandOrder(other), QStringLiteral("Stray"));
    EXPECT_EQ(stray->ParentReport(), &other);

    // Dragged on the design surface: the height is taken, the width follows the arrangement.
    title->SetBounds(title->Left(), title->Top(), 10, 90);
    EXPECT_EQ(title->Height(), 90);
    EXPECT_EQ(title->Width(), 718);
    EXPECT_NEAR(title->Size()->NativeValue(0), 90 * 254 / 96.0, 1e-9);
    title->SetBounds(0, 500, 10, 90);
    EXPECT_EQ(title->Top(), 38);
    EXPECT_EQ(title->Left(), 38);
}
