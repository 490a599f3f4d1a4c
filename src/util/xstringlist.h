#pragma once
// TXStringlist: an ordered list of (text, object) pairs that owns its objects, optionally kept
// sorted by text. Not thread-safe: each list is used by one thread at a time.

#include <algorithm>
#include <memory>
#include <stdexcept>
#include <utility>
#include <vector>

#include <QString>

// Non-template root, so that Assign can test the source's class at run time (dynamic_cast)
// whatever object type the source holds.
class TXStringlistBase {
public:
    TXStringlistBase() = default;
    TXStringlistBase(const TXStringlistBase&) = delete;
    TXStringlistBase& operator=(const TXStringlistBase&) = delete;
    virtual ~TXStringlistBase() = default;

    virtual int Count() const = 0;
    virtual QString Strings(int index) const = 0;
};

template <typename T> class TXStringlist : public TXStringlistBase {
public:
    // One pair; handed back by StringListClear so that ownership stays visible.
    struct Item {
        QString text;
        std::unique_ptr<T> object;
    };
    using Items = std::vector<Item>;

    TXStringlist() = default;
    ~TXStringlist() override { Clear(); }

    int Count() const override { return static_cast<int>(m_items.size()); }

    // Appends (unsorted) or inserts at the sorted place and returns the position. A sorted list
    // ignores a text already present: it returns that position and the new object is freed.
    int Add(const QString& text, std::unique_ptr<T> object) {
        if (!m_sorted) {
            m_items.push_back(Item{text, std::move(object)});
            return Count() - 1;
        }
        int index = 0;
        if (Find(text, &index))
            return index;
        m_items.insert(m_items.begin() + index, Item{text, std::move(object)});
        return index;
    }

    // Refused on a sorted list, where a chosen position would break the order.
    void Insert(int index, const QString& text, std::unique_ptr<T> object) {
        if (m_sorted)
            throw std::logic_error("Operation not allowed on sorted list");
        if (index < 0 || index > Count())
            throw std::out_of_range("List index out of bounds");
        m_items.insert(m_items.begin() + index, Item{text, std::move(object)});
    }

    QString Strings(int index) const override { return At(index).text; }

    // Non-owning; the list keeps the object.
    T* Objects(int index) const { return At(index).object.get(); }

    // Case-insensitive like Find; the first match in list order when unsorted.
    int IndexOf(const QString& text) const {
        if (m_sorted) {
            int index = 0;
            return Find(text, &index) ? index : -1;
        }
        for (int i = 0; i < Count(); ++i) {
            if (Compare(m_items[static_cast<size_t>(i)].text, text) == 0)
                return i;
        }
        return -1;
    }

    int IndexOfObject(const T* object) const {
        for (int i = 0; i < Count(); ++i) {
            if (m_items[static_cast<size_t>(i)].object.get() == object)
                return i;
        }
        return -1;
    }

    // Refused on a sorted list too.
    void Exchange(int first, int second) {
        if (m_sorted)
            throw std::logic_error("Operation not allowed on sorted list");
        std::swap(At(first), At(second));
    }

    // Removes the pair and frees its object; a bad position is ignored.
    void AtFree(int index) noexcept {
        if (index < 0 || index >= Count())
            return;
        Item removed = std::move(m_items[static_cast<size_t>(index)]);
        m_items.erase(m_items.begin() + index);
    }

    // Frees the objects from the last pair to the first. The list is already empty while they are
    // freed, so an object's destructor never sees half-freed pairs.
    void Clear() noexcept {
        Items released = std::move(m_items);
        m_items.clear();
        while (!released.empty())
            released.pop_back();
    }

    // Empties the list without freeing: the pairs go to the caller, who may append them again.
    [[nodiscard]] Items StringListClear() noexcept {
        Items released = std::move(m_items);
        m_items.clear();
        return released;
    }

    bool Sorted() const { return m_sorted; }

    // Turning sorting on sorts the pairs already held (stable, duplicates kept).
    void SetSorted(bool sorted) {
        if (sorted && !m_sorted) {
            std::stable_sort(m_items.begin(), m_items.end(),
                             [](const Item& a, const Item& b) { return Compare(a.text, b.text) < 0; });
        }
        m_sorted = sorted;
    }

    // Binary search; meaningful only while the list is sorted.
    bool Exists(const QString& text) const {
        int index = 0;
        return Find(text, &index);
    }

    // Binary search: true when found, with *index at the first equal pair; else *index is the
    // position where the text would be inserted. Meaningful only while the list is sorted.
    bool Find(const QString& text, int* index) const {
        const auto it =
            std::lower_bound(m_items.begin(), m_items.end(), text, [](const Item& item, const QString& key) {
                return Compare(item.text, key) < 0;
            });
        if (index)
            *index = static_cast<int>(it - m_items.begin());
        return it != m_items.end() && Compare(it->text, text) == 0;
    }

protected:
    // Case-insensitive by Unicode case folding, not localeAwareCompare: it is a strict weak order
    // that is the same in every locale and equal exactly when the folded texts are equal, which
    // binary search and the "already present" rule rely on.
    static int Compare(const QString& a, const QString& b) {
        return QString::compare(a, b, Qt::CaseInsensitive);
    }

    Item& At(int index) {
        if (index < 0 || index >= Count())
            throw std::out_of_range("List index out of bounds");
        return m_items[static_cast<size_t>(index)];
    }
    const Item& At(int index) const {
        if (index < 0 || index >= Count())
            throw std::out_of_range("List index out of bounds");
        return m_items[static_cast<size_t>(index)];
    }

    Items m_items;
    bool m_sorted = false;
};
