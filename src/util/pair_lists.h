#pragma once
// The two kinds of pair lists built on TXStringlist: texts paired with a 32-bit integer holder
// (TXStringIntList) or with a text holder (TXDoubleStringList). The lists own their holders.

#include <memory>

#include <QString>
#include <QtGlobal>

#include "util/xstringlist.h"

class TXInteger final {
public:
    explicit TXInteger(qint32 value) : Value(value) {}
    qint32 Value;
};

class TXString final {
public:
    explicit TXString(QString value) : Value(std::move(value)) {}
    QString Value;
};

class TXStringIntList : public TXStringlist<TXInteger> {
public:
    // Non-owning; throws std::out_of_range for a bad position.
    TXInteger* RItems(int index) const { return Objects(index); }
    // Replaces the holder at index, freeing the old one.
    void WItems(int index, std::unique_ptr<TXInteger> holder);
    // Copies the texts and values of another TXStringIntList (or a class derived from it) into new
    // holders. Any other source throws std::runtime_error and leaves this list unchanged.
    void Assign(const TXStringlistBase& source);
};

class TXDoubleStringList : public TXStringlist<TXString> {
public:
    TXString* RItems(int index) const { return Objects(index); }
    void WItems(int index, std::unique_ptr<TXString> holder);
    void Assign(const TXStringlistBase& source);
};
