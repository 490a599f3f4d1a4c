#include "widgets/view_mark_layers.h"

#include <algorithm>

#include <QEvent>

#include "widgets/tail_view.h"

ViewMarkLayers& ViewMarkLayers::Of(TailView& view) {
    if (auto* layers = view.findChild<ViewMarkLayers*>(QString(), Qt::FindDirectChildrenOnly))
        return *layers;
    return *new ViewMarkLayers(view);
}

ViewMarkLayers::ViewMarkLayers(TailView& view) : QObject(&view), view_(view) {}

int ViewMarkLayers::Add(int rank, ViewMarksProvider provider) {
    const int id = nextId_++;
    const auto after = std::upper_bound(layers_.begin(), layers_.end(), rank,
                                        [](int r, const Layer& layer) { return r < layer.rank; });
    layers_.insert(after, Layer{id, rank, std::move(provider)});
    Install();
    return id;
}

void ViewMarkLayers::Remove(const QPointer<ViewMarkLayers>& layers, int id) {
    if (!layers)
        return;
    auto& list = layers->layers_;
    list.erase(std::remove_if(list.begin(), list.end(), [id](const Layer& layer) { return layer.id == id; }),
               list.end());
    layers->Install();
}

void ViewMarkLayers::Changed() {
    view_.InvalidateMarks();
}

void ViewMarkLayers::Install() {
    if (layers_.empty())
        view_.SetMarksProvider({});
    else
        view_.SetMarksProvider([this](QStringView text, qsizetype from) { return MarksFor(text, from); });
}

QList<ViewMark> ViewMarkLayers::MarksFor(QStringView text, qsizetype from) const {
    QList<ViewMark> marks;
    for (const Layer& layer : layers_)
        marks += layer.provider(text, from);
    return marks;
}

ViewMarkLayer::ViewMarkLayer(TailView& view, int rank, QObject* parent)
    : QObject(parent), view_(view), viewObject_(&view), layers_(&ViewMarkLayers::Of(view)) {
    layer_ = layers_->Add(rank, [this](QStringView text, qsizetype from) { return MarksFor(text, from); });
    view.installEventFilter(this);
    connect(&view, &TailView::snapshotChanged, this, [this] { Refresh(); });
}

ViewMarkLayer::~ViewMarkLayer() {
    ViewMarkLayers::Remove(layers_, layer_);
}

void ViewMarkLayer::Changed() {
    if (layers_)
        layers_->Changed();
}

bool ViewMarkLayer::eventFilter(QObject* watched, QEvent* event) {
    if (watched == viewObject_ && event->type() == QEvent::PaletteChange)
        PaletteChanged();
    return QObject::eventFilter(watched, event);
}
