// Verbs that show a help folder as its reader sees it: the contents tree and the keyword search.
#include "cli/Cli.h"

#include "help/ContentsTree.h"
#include "help/HelpViewerStore.h"
#include "store/Table.h"

#include <QFileInfo>

using namespace cli;

namespace {

void openViewer(HelpViewerStore &viewer, const QString &dir) {
    helpFolder(dir);
    viewer.setStartDir(QFileInfo(dir).absoluteFilePath());
    viewer.open();
}

int treeVerb(const QStringList &argv) {
    const Args args(argv, {}, {});
    args.expectPositional(1, 1, "tree DIR");
    HelpViewerStore viewer;
    openViewer(viewer, args.positional(0, "DIR"));
    ContentsTree tree;
    tree.build(viewer.TableTV);
    for (const ContentsNode &node : tree.nodes())
        out(QString(2 * node.level, QLatin1Char(' ')) + node.title);
    return 0;
}

int searchVerb(const QStringList &argv) {
    const Args args(argv, {}, {});
    args.expectPositional(2, 2, "search DIR TEXT");
    HelpViewerStore viewer;
    openViewer(viewer, args.positional(0, "DIR"));
    const int count = viewer.Search(args.positional(1, "TEXT"));
    for (const QString &title : viewer.SearchResults())
        out(title);
    out(HelpViewerStore::CountText(count));
    return 0;
}

} // namespace

TAVIK_VERB("tree", "tree DIR", treeVerb);
TAVIK_VERB("search", "search DIR TEXT", searchVerb);
