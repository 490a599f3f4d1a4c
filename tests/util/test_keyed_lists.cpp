// Through the umbrella header, which the rest of the program includes.
#include "util/X95.h"

#include <memory>
#include <stdexcept>
#include <vector>

#include <QStringList>

#include <gtest/gtest.h>

namespace {

// Logs its id when freed, so tests see what a list frees and in which order.
struct Counted {
    Counted(int id, std::vector<int>* freed) : id(id), freed(freed) {}
    ~Counted() { freed->push_back(id); }
    int id;
    std::vector<int>* freed;
};

using CountedList = TXStringlist<Counted>;

void Add(CountedList& list, const char* text, int id, std::vector<int>* freed) {
    list.Add(QString::fromLatin1(text), std::make_unique<Counted>(id, freed));
}

QStringList Texts(const TXStringlistBase& list) {
    QStringList texts;
    for (int i = 0; i < list.Count(); ++i)
        texts << list.Strings(i);
    return texts;
}

TEST(XStringlist, ClearAtFreeAndDestructionFreeTheirObjects) {
    std::vector<int> freed;
    {
        CountedList list;
        for (int id : {0, 1, 2, 3})
            Add(list, "x", id, &freed);
        list.AtFree(1);
        EXPECT_EQ(freed, std::vector<int>{1});
        for (int bad : {-1, 3, 100})
            EXPECT_NO_THROW(list.AtFree(bad));
        EXPECT_EQ(list.Count(), 3);

        list.Clear();
        EXPECT_EQ(list.Count(), 0);
        EXPECT_EQ(freed, (std::vector<int>{1, 3, 2, 0})); // last to first
        freed.clear();
        for (int id : {4, 5, 6})
            Add(list, "y", id, &freed);
    }
    EXPECT_EQ(freed, (std::vector<int>{6, 5, 4}));
}

TEST(XStringlist, StringListClearKeepsObjectsAliveForReappending) {
    std::vector<int> freed;
    CountedList list;
    for (int id : {0, 1, 2})
        Add(list, "x", id, &freed);
    const Counted* first = list.Objects(0);

    CountedList::Items released = list.StringListClear();
    EXPECT_EQ(list.Count(), 0);
    EXPECT_TRUE(freed.empty());
    ASSERT_EQ(released.size(), 3u);

    CountedList other;
    for (auto& item : released)
        other.Add(item.text, std::move(item.object));
    EXPECT_EQ(other.Objects(0), first);
    EXPECT_TRUE(freed.empty());
    other.Clear();
    EXPECT_EQ(freed, (std::vector<int>{2, 1, 0}));
}

TEST(XStringlist, UnsortedLookupsAndMoves) {
    std::vector<int> freed;
    CountedList list;
    for (const char* text : {"b", "a", "c"})
        Add(list, text, text[0], &freed);
    EXPECT_EQ(list.IndexOf(QStringLiteral("A")), 1);
    EXPECT_EQ(list.IndexOf(QStringLiteral("d")), -1);
    EXPECT_EQ(list.IndexOfObject(list.Objects(2)), 2);

    list.Exchange(0, 2);
    list.Insert(1, QStringLiteral("n"), nullptr);
    EXPECT_EQ(Texts(list), (QStringList{"c", "n", "a", "b"}));
    EXPECT_EQ(list.Objects(0)->id, 'c');
    EXPECT_THROW(list.Strings(4), std::out_of_range);
    EXPECT_THROW(list.Exchange(0, -1), std::out_of_range);

    list.SetSorted(true);
    EXPECT_EQ(Texts(list), (QStringList{"a", "b", "c", "n"}));
    EXPECT_THROW(list.Insert(0, QStringLiteral("z"), nullptr), std::logic_error);
    EXPECT_TRUE(freed.empty());
}

TEST(XStringlist, SortedAddPlacesCaseInsensitivelyAndIgnoresDuplicates) {
    std::vector<int> freed;
    CountedList list;
    list.SetSorted(true);
    for (const char* text : {"delta", "Alpha", "charlie", "Bravo"})
        Add(list, text, text[0], &freed);
    EXPECT_EQ(Texts(list), (QStringList{"Alpha", "Bravo", "charlie", "delta"}));

    // Already present whatever the case: the existing position; the new object is freed.
    EXPECT_EQ(list.Add(QStringLiteral("CHARLIE"), std::make_unique<Counted>(99, &freed)), 2);
    EXPECT_EQ(list.Count(), 4);
    EXPECT_EQ(list.Objects(2)->id, 'c');
    EXPECT_EQ(freed, std::vector<int>{99});

    for (const char* present : {"alpha", "BRAVO", "delta"})
        EXPECT_TRUE(list.Exists(QString::fromLatin1(present))) << present;
    for (const char* absent : {"a", "echo", "", "beta"})
        EXPECT_FALSE(list.Exists(QString::fromLatin1(absent))) << absent;
    int index = -1;
    EXPECT_FALSE(list.Find(QStringLiteral("beta"), &index));
    EXPECT_EQ(index, 1);
}

TEST(PairLists, AssignFromAnotherClassFailsAndLeavesTargetUnchanged) {
    TXStringIntList ints;
    ints.Add(QStringLiteral("kept"), std::make_unique<TXInteger>(42));
    TXDoubleStringList texts;
    texts.Add(QStringLiteral("k"), std::make_unique<TXString>(QStringLiteral("v")));
    const TXInteger* keptHolder = ints.RItems(0);

    try {
        ints.Assign(texts);
        ADD_FAILURE() << "no error";
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "Assign de TXStringIntList impossible");
    }
    EXPECT_EQ(Texts(ints), QStringList{QStringLiteral("kept")});
    EXPECT_EQ(ints.RItems(0), keptHolder);

    try {
        texts.Assign(ints);
        ADD_FAILURE() << "no error";
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "Assign de TXDoubleStringList impossible");
    }
    EXPECT_EQ(texts.RItems(0)->Value, QStringLiteral("v"));
}

TEST(PairLists, AssignCopiesValuesIntoNewHolders) {
    TXStringIntList source;
    source.Add(QStringLiteral("b"), std::make_unique<TXInteger>(2));
    source.Add(QStringLiteral("a"), std::make_unique<TXInteger>(-1));
    TXStringIntList target;
    target.Add(QStringLiteral("old"), std::make_unique<TXInteger>(9));

    target.Assign(source);
    ASSERT_EQ(Texts(target), (QStringList{"b", "a"}));
    EXPECT_NE(target.RItems(0), source.RItems(0));
    EXPECT_EQ(target.RItems(1)->Value, -1);
    source.WItems(0, std::make_unique<TXInteger>(100));
    EXPECT_EQ(source.RItems(0)->Value, 100);
    EXPECT_EQ(target.RItems(0)->Value, 2);
    target.Assign(target);
    EXPECT_EQ(target.Count(), 2);

    TXDoubleStringList texts;
    texts.Add(QStringLiteral("127.0.0.1"), std::make_unique<TXString>(QStringLiteral("localhost")));
    TXDoubleStringList copy;
    copy.Assign(texts);
    EXPECT_NE(copy.RItems(0), texts.RItems(0));
    EXPECT_EQ(copy.RItems(0)->Value, QStringLiteral("localhost"));
}

} // namespace
