#include "manage/fTailAbout.h"

#include <vector>

#include <QFont>
#include <QFrame>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

#define PCRE2_CODE_UNIT_WIDTH 16
#include <pcre2.h>

#include "util/colors.h"
#include "util/version_text.h"
#include "widgets/kovra_resources.h"
#include "widgets/panel_tint.h"

namespace {

QFont PixelFont(const QString& family, int pixels) {
    QFont font(family);
    font.setPixelSize(pixels);
    font.setBold(true);
    return font;
}

// "About KOVRA" along the right edge, white on green, read from bottom to top.
class VerticalBanner final : public QWidget {
public:
    explicit VerticalBanner(QWidget* parent) : QWidget(parent) {
        setFont(PixelFont(QStringLiteral("Arial"), 16));
        setFixedWidth(fontMetrics().height() + 8);
        setMinimumHeight(fontMetrics().horizontalAdvance(Text()) + 16);
    }
    static QString Text() { return QStringLiteral("About KOVRA"); }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.fillRect(rect(), QColor(0x00, 0x80, 0x00));
        painter.setPen(Qt::white);
        painter.setFont(font());
        painter.translate(0, height());
        painter.rotate(270);
        painter.drawText(QRect(0, 0, height(), width()), Qt::AlignCenter, Text());
    }
};

QWidget* MakeInfoPanel(QWidget* parent, QLabel*& engine, QLabel*& version) {
    auto* panel = new QFrame(parent);
    panel->setObjectName(QStringLiteral("PanelInfo"));
    panel->setFrameShape(QFrame::StyledPanel);
    panel->setProperty("tag", 1);
    engine = new QLabel(TFormAbout::EngineLineText(), panel);
    engine->setObjectName(QStringLiteral("LabelEngine"));
    version = new QLabel(TFormAbout::VersionLineText(), panel);
    version->setObjectName(QStringLiteral("LabelVersion"));
    auto* layout = new QVBoxLayout(panel);
    layout->addWidget(engine);
    layout->addWidget(version);
    return panel;
}

QLayout* MakeTitleRow(QWidget* parent) {
    auto* picture = new QLabel(parent);
    picture->setObjectName(QStringLiteral("ImageProgram"));
    picture->setPixmap(KovraPicture(kImageProgram).pixmap(48, 48));
    picture->setFixedSize(48, 48);
    auto* name = new QLabel(QStringLiteral("KOVRA"), parent);
    name->setObjectName(QStringLiteral("LabelProduct"));
    name->setFont(PixelFont(QStringLiteral("Verdana"), 16));
    auto* row = new QHBoxLayout;
    row->addWidget(picture);
    row->addWidget(name, 1);
    return row;
}

} // namespace

TFormAbout::TFormAbout(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("FormAbout"));
    setWindowTitle(QStringLiteral("About..."));
    setModal(true);

    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("ButtonOK"));
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);

    auto* column = new QVBoxLayout;
    column->setContentsMargins(12, 12, 12, 12);
    column->addLayout(MakeTitleRow(this));
    column->addWidget(MakeInfoPanel(this, m_engine, m_version));
    column->addWidget(ok, 0, Qt::AlignHCenter);

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addLayout(column, 1);
    layout->addWidget(new VerticalBanner(this));

    ApplyTaggedPanelTint(*this, kColorBtnFace, ScreenColorCount(*this));
    setFixedSize(sizeHint());
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

QString TFormAbout::EngineLine() const {
    return m_engine->text();
}

QString TFormAbout::VersionLine() const {
    return m_version->text();
}

QString TFormAbout::EngineLineText() {
    // The version text is "10.42 2022-12-11"; only major.minor is shown.
    const int units = pcre2_config(PCRE2_CONFIG_VERSION, nullptr);
    std::vector<PCRE2_UCHAR> buffer(static_cast<size_t>(units > 0 ? units : 1), 0);
    if (units > 0)
        pcre2_config(PCRE2_CONFIG_VERSION, buffer.data());
    const QString full = QString::fromUtf16(reinterpret_cast<const char16_t*>(buffer.data()));
    const QStringList numbers = full.section(u' ', 0, 0).split(u'.');
    const QString major = numbers.value(0);
    const QString minor = numbers.value(1);
    return QStringLiteral("Kovra is using PCRE2 v") + major + u'.' + minor;
}

QString TFormAbout::VersionLineText() {
    return QStringLiteral("version ") + VersionText(QString(), true, false);
}
