#pragma once
// ViewMarkLayers: lets several components mark a TailView's lines (filter and alert highlighting,
// find matches), which has room for one marks provider. Each layer gives marks for a line's text;
// a later layer's marks are drawn over an earlier one's where they overlap.
//
// One object per view, created on first use as the view's child (Qt parent ownership). A layer's
// owner removes it before it dies, which ViewMarkLayers::Remove makes safe after the view is gone.
// GUI thread only.
#include <chrono>
#include <vector>

#include <QObject>
#include <QPointer>

#include "widgets/view_line_layouts.h"

class TailView;

class ViewMarkLayers final : public QObject {
    Q_OBJECT

public:
    static ViewMarkLayers& Of(TailView& view);
    Q_DISABLE_COPY_MOVE(ViewMarkLayers)

    // Layers are drawn in the order of their rank (lower first), then in the order added.
    int Add(int rank, ViewMarksProvider provider);
    // Marks of a layer changed (a new pattern, new colours): the view asks again.
    void Changed();
    static void Remove(const QPointer<ViewMarkLayers>& layers, int id);

private:
    explicit ViewMarkLayers(TailView& view);
    void Install();
    QList<ViewMark> MarksFor(QStringView text, qsizetype from) const;

    struct Layer {
        int id = 0;
        int rank = 0;
        ViewMarksProvider provider;
    };
    TailView& view_;
    std::vector<Layer> layers_;
    int nextId_ = 1;
};

// A line being laid out for the screen is searched this long at most per pattern: the window
// waits for it.
inline constexpr std::chrono::milliseconds kMarksSearchBudget{10};

// ViewMarkLayer: what a component that marks a view's lines from settings of its own shares (the
// filter's and alert's matches, level and rule colours): a layer at a rank, Refresh() when the
// view gets a new snapshot, PaletteChanged() when its palette changes. The component calls
// Refresh() at the end of its constructor. GUI thread only; it may outlive the view.
class ViewMarkLayer : public QObject {
    Q_OBJECT

public:
    ~ViewMarkLayer() override;
    Q_DISABLE_COPY_MOVE(ViewMarkLayer)

    // Reads the settings again; repaints when they changed.
    virtual void Refresh() = 0;
    // The marks for a line's text whose first unit is column `from`.
    virtual QList<ViewMark> MarksFor(QStringView text, qsizetype from) = 0;

protected:
    ViewMarkLayer(TailView& view, int rank, QObject* parent);
    // Colours derived from the view's palette are made again; then Changed().
    virtual void PaletteChanged() = 0;
    // The marks changed: the view asks again.
    void Changed();

    TailView& view_;

private:
    bool eventFilter(QObject* watched, QEvent* event) override;

    const QObject* viewObject_; // compared with while the view is being destroyed
    QPointer<ViewMarkLayers> layers_;
    int layer_ = 0;
};
