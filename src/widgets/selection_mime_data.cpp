#include "widgets/selection_mime_data.h"

#include <algorithm>

namespace {

// Ranges up to this many lines and bytes are copied at once.
constexpr qint64 kEagerLines = 2000;
constexpr qint64 kEagerBytes = 4 << 20;

// Holds the snapshot (shared, immutable) and makes the text on the first request.
class LazySelectionText final : public QMimeData {
public:
    LazySelectionText(const ViewSnapshot& snapshot, ViewRange range, QStringView lineBreak)
        : snapshot_(snapshot), range_(range), lineBreak_(lineBreak.toString()) {}

    QStringList formats() const override {
        return {QStringLiteral("text/plain;charset=utf-8"), QStringLiteral("text/plain")};
    }

protected:
    QVariant retrieveData(const QString& mimeType, QMetaType type) const override {
        if (!mimeType.startsWith(QLatin1String("text/plain")))
            return {};
        if (!made_) {
            text_ = snapshot_.TextBetween(range_, lineBreak_);
            made_ = true;
        }
        if (type.id() == QMetaType::QByteArray)
            return text_.toUtf8();
        return text_;
    }

private:
    ViewSnapshot snapshot_;
    ViewRange range_;
    QString lineBreak_;
    mutable bool made_ = false;
    mutable QString text_;
};

bool IsSmall(const ViewSnapshot& snapshot, const ViewRange& range) {
    if (range.to.line - range.from.line > kEagerLines)
        return false;
    qint64 bytes = 0;
    const qint64 last = std::min(range.to.line, snapshot.LineCount() - 1);
    for (qint64 line = std::max<qint64>(0, range.from.line); line <= last && bytes <= kEagerBytes; ++line)
        bytes += snapshot.LineLength(line);
    return bytes <= kEagerBytes;
}

} // namespace

std::unique_ptr<QMimeData> MakeSelectionMimeData(const ViewSnapshot& snapshot, ViewRange range,
                                                 QStringView lineBreak) {
    if (!IsSmall(snapshot, range))
        return std::make_unique<LazySelectionText>(snapshot, range, lineBreak);
    auto data = std::make_unique<QMimeData>();
    data->setText(snapshot.TextBetween(range, lineBreak));
    return data;
}
