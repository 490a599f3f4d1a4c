#include "util/pair_lists.h"

#include <stdexcept>

namespace {

// Builds the copy before touching the target, so a failure (a bad source or an allocation)
// leaves the target as it was.
template <typename List, typename Holder>
void AssignFrom(List& target, const TXStringlistBase& source, const char* error) {
    const auto* from = dynamic_cast<const List*>(&source);
    if (!from)
        throw std::runtime_error(error);
    if (from == &target)
        return;
    typename List::Items copy;
    copy.reserve(static_cast<size_t>(from->Count()));
    for (int i = 0; i < from->Count(); ++i) {
        const Holder* holder = from->RItems(i);
        copy.push_back({from->Strings(i), holder ? std::make_unique<Holder>(holder->Value) : nullptr});
    }
    target.Clear();
    for (auto& item : copy)
        target.Add(item.text, std::move(item.object));
}

} // namespace

void TXStringIntList::WItems(int index, std::unique_ptr<TXInteger> holder) {
    At(index).object = std::move(holder);
}

void TXStringIntList::Assign(const TXStringlistBase& source) {
    AssignFrom<TXStringIntList, TXInteger>(*this, source, "Assign de TXStringIntList impossible");
}

void TXDoubleStringList::WItems(int index, std::unique_ptr<TXString> holder) {
    At(index).object = std::move(holder);
}

void TXDoubleStringList::Assign(const TXStringlistBase& source) {
    AssignFrom<TXDoubleStringList, TXString>(*this, source, "Assign de TXDoubleStringList impossible");
}
