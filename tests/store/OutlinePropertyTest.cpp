// Random sequences of the editor's structural commands against a plain tree model of the outline.
#include "tests/store/HelpFixture.h"

#include <map>
#include <random>

namespace {

struct ModelTopic {
    int parent = 0; // KOD of the parent, 0 at the top
};

class OutlineModel {
public:
    void add(int kod, int parent) { m_topics[kod] = ModelTopic{parent}; }
    void remove(int kod) { m_topics.erase(kod); }
    int parentOf(int kod) const { return m_topics.at(kod).parent; }
    int childCount(int kod) const {
        int n = 0;
        for (const auto &[k, t] : m_topics)
            n += t.parent == kod;
        return n;
    }
    int depth(int kod) const { return kod == 0 ? 0 : 1 + depth(parentOf(kod)); }
    std::vector<int> keys() const {
        std::vector<int> out;
        for (const auto &[k, t] : m_topics)
            out.push_back(k);
        return out;
    }
    /// Keys in reading order: every topic followed by its subtree; siblings in creation (key) order.
    std::vector<int> readingOrder() const {
        std::vector<int> out;
        walk(0, out);
        return out;
    }

private:
    void walk(int parent, std::vector<int> &out) const {
        for (const auto &[k, t] : m_topics) // std::map: ascending keys
            if (t.parent == parent) {
                out.push_back(k);
                walk(k, out);
            }
    }
    std::map<int, ModelTopic> m_topics;
};

struct Row {
    int kod, sorszam, melyseg;
    QString szulo, ertek, szov;
    bool leaf;
};

} // namespace

class OutlineProperty : public HelpFixture {
protected:
    std::vector<Row> rows() {
        std::vector<Row> out;
        for (table()->First(); !table()->Eof(); table()->Next())
            out.push_back(Row{field("KOD")->AsInteger(), field("SORSZAM")->AsInteger(), field("MELYSEG")->AsInteger(),
                              field("SZULO")->AsString(), field("ERTEK")->AsString(), field("SORSZAMSZOV")->AsString(),
                              field("VEGPONT")->AsBoolean()});
        return out;
    }

    void checkInvariants(const OutlineModel &model, const std::string &when) {
        SCOPED_TRACE(when);
        const std::vector<Row> r = rows();
        std::map<int, const Row *> byKod;
        std::map<QString, std::vector<int>> ordinals;
        std::map<QString, int> kodOfNumber;
        for (const Row &row : r) {
            ASSERT_TRUE(byKod.emplace(row.kod, &row).second) << "duplicate KOD " << row.kod; // keys are unique
            ordinals[row.szulo].push_back(row.sorszam);
            kodOfNumber[row.ertek] = row.kod;
        }
        for (auto &[parent, list] : ordinals) { // siblings are numbered 1 ... n
            std::sort(list.begin(), list.end());
            for (size_t i = 0; i < list.size(); ++i)
                ASSERT_EQ(list[i], int(i) + 1) << "ordinals under '" << parent.toStdString() << "'";
        }
        // number, sort text and depth follow from the parent; a leaf has no deeper row after it
        for (size_t i = 0; i < r.size(); ++i) {
            const Row &row = r[i];
            const QString number = row.szulo.isEmpty() ? QString::number(row.sorszam)
                                                       : row.szulo + QLatin1Char('.') + QString::number(row.sorszam);
            ASSERT_EQ(row.ertek, number);
            ASSERT_EQ(row.szov, PadOutlineNumber(row.ertek));
            ASSERT_EQ(row.melyseg, row.szulo.isEmpty() ? 1 : int(row.szulo.count(QLatin1Char('.'))) + 2);
            const bool nextDeeper = i + 1 < r.size() && r[i + 1].melyseg > row.melyseg;
            ASSERT_EQ(row.leaf, !nextDeeper) << "leaf flag of " << row.ertek.toStdString();
            // The parent number names the model's parent.
            const int parent = model.parentOf(row.kod);
            if (parent == 0)
                ASSERT_TRUE(row.szulo.isEmpty());
            else
                ASSERT_EQ(kodOfNumber[row.szulo], parent) << row.ertek.toStdString();
        }
        std::vector<int> order; // display order is the tree read top to bottom
        for (const Row &row : r)
            order.push_back(row.kod);
        ASSERT_EQ(order, model.readingOrder());
    }

    void runSequence(unsigned seed, int steps) {
        std::mt19937 rng(seed);
        OutlineModel model;
        auto pick = [&](const std::vector<int> &v) {
            return v[std::uniform_int_distribution<size_t>(0, v.size() - 1)(rng)];
        };
        for (int step = 0; step < steps; ++step) {
            const std::vector<int> keys = model.keys();
            const int action = std::uniform_int_distribution<int>(0, 9)(rng);
            const std::string when = "seed " + std::to_string(seed) + " step " + std::to_string(step);
            if (action <= 5 || keys.empty()) {
                // Insert under a random topic (up to five levels, up to 24 children), else at the top.
                int parent = 0;
                if (!keys.empty() && action % 3 != 0) {
                    parent = pick(keys);
                    if (model.depth(parent) >= 5 || model.childCount(parent) >= 24)
                        parent = 0;
                }
                if (parent == 0 && model.childCount(0) >= 24)
                    continue;
                const int kod = addTopic(parent, QStringLiteral("t%1").arg(step));
                model.add(kod, parent);
                checkInvariants(model, when + " insert");
            } else if (action == 6) {
                // An insert that is cancelled leaves no trace.
                table()->Insert();
                field("TEMAKOR")->SetAsString(QStringLiteral("cancelled"));
                table()->Cancel();
                checkInvariants(model, when + " cancel");
            } else if (action == 7) {
                // Post with nothing pending still renumbers.
                store.RenumberOutline(false);
                checkInvariants(model, when + " post");
            } else {
                std::vector<int> childless;
                for (int k : keys)
                    if (model.childCount(k) == 0)
                        childless.push_back(k);
                const int victim = pick(childless);
                deleteTopic(victim);
                model.remove(victim);
                checkInvariants(model, when + " delete");
            }
            if (HasFatalFailure())
                return;
        }
    }
};

TEST_F(OutlineProperty, RandomInsertsPostsCancelsAndDeletesKeepTheOutlineWhole) {
    for (unsigned seed : {1u, 2u, 3u}) {
        table()->First();
        while (!table()->IsEmpty())
            table()->Delete();
        runSequence(seed, 70);
        if (HasFatalFailure())
            return;
    }
}

TEST_F(OutlineProperty, WideSiblingGroupsAreRenumberedWithoutMixingSubtrees) {
    // Many top-level topics with children, then deletions at the front: 2 versus 20-29 and 1 versus 10-19.
    OutlineModel model;
    std::vector<int> top;
    for (int i = 0; i < 23; ++i) {
        top.push_back(addTopic(0, QStringLiteral("top %1").arg(i + 1)));
        model.add(top.back(), 0);
    }
    for (int i : {1, 2, 9, 10, 19, 20, 21}) {
        const int kid = addTopic(top[size_t(i)], QStringLiteral("kid of %1").arg(i + 1));
        model.add(kid, top[size_t(i)]);
        const int grandkid = addTopic(kid, QStringLiteral("grandkid of %1").arg(i + 1));
        model.add(grandkid, kid);
    }
    checkInvariants(model, "built");
    for (int victim : {0, 3, 4}) {
        deleteTopic(top[size_t(victim)]);
        model.remove(top[size_t(victim)]);
        checkInvariants(model, "after deleting top " + std::to_string(victim + 1));
        if (HasFatalFailure())
            return;
    }
}
