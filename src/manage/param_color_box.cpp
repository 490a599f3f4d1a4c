#include "manage/param_color_box.h"

#include <QPainter>
#include <QPixmap>

#include "platform/dialogs.h"
#include "util/colors.h"

namespace {

struct NamedColor {
    const char* name;
    quint32 value;
};

// Stored form: blue in the high byte of the three, red in the low one.
constexpr NamedColor kNamedColors[] = {
    {"Black", 0x000000},
    {"Maroon", 0x000080},
    {"Green", 0x008000},
    {"Olive", 0x008080},
    {"Navy", 0x800000},
    {"Purple", 0x800080},
    {"Teal", 0x808000},
    {"Gray", 0x808080},
    {"Silver", 0xC0C0C0},
    {"Red", 0x0000FF},
    {"Lime", 0x00FF00},
    {"Yellow", 0x00FFFF},
    {"Blue", 0xFF0000},
    {"Fuchsia", 0xFF00FF},
    {"Aqua", 0xFFFF00},
    {"White", 0xFFFFFF},
    {"Button face", kColorBtnFace},
    {"Button text", kSystemColorFlag | 18u},
    {"Window", kSystemColorFlag | 5u},
    {"Window text", kSystemColorFlag | 8u},
    {"Highlight", kSystemColorFlag | 13u},
    {"Info background", kSystemColorFlag | 24u},
};

QString OwnItemText(quint32 value) {
    return IsSystemColor(value) ? QStringLiteral("System colour %1").arg(value & 0xFF)
                                : ColorToQColor(value).name().toUpper();
}

} // namespace

TColorBox::TColorBox(DialogService& dialogs, QWidget* parent) : QComboBox(parent), dialogs_(dialogs) {
    for (const NamedColor& color : kNamedColors)
        AddColorItem(count(), QString::fromLatin1(color.name), color.value);
    addItem(QStringLiteral("Custom..."));
    connect(this, &QComboBox::activated, this, &TColorBox::OnActivated);
}

void TColorBox::AddColorItem(int position, const QString& name, quint32 value) {
    QPixmap swatch(16, 12);
    swatch.fill(ResolveColor(value, palette()));
    QPainter painter(&swatch);
    painter.setPen(Qt::black);
    painter.drawRect(swatch.rect().adjusted(0, 0, -1, -1));
    painter.end();
    insertItem(position, QIcon(swatch), name, QVariant::fromValue(value));
}

void TColorBox::SetValue(quint32 value) {
    value_ = value;
    const int named = findData(QVariant::fromValue(value));
    if (named >= 0 && !(hasOwnItem_ && named == CustomChoiceIndex() - 1)) {
        setCurrentIndex(named);
        return;
    }
    if (hasOwnItem_)
        removeItem(CustomChoiceIndex() - 1);
    AddColorItem(CustomChoiceIndex(), OwnItemText(value), value);
    hasOwnItem_ = true;
    setCurrentIndex(CustomChoiceIndex() - 1);
}

void TColorBox::OnActivated(int index) {
    if (index != CustomChoiceIndex()) {
        value_ = itemData(index).value<quint32>();
        return;
    }
    QColor color = ResolveColor(value_, palette());
    SetValue(dialogs_.ChooseColor(color) ? QColorToColor(color) : value_);
}
