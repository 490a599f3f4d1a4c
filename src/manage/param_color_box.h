#pragma once
// A colour box of the parameters dialog: a pick list of named colours (the sixteen basic ones and
// a few desktop colours) whose last item, "Custom...", opens the colour chooser. A value outside
// the list shows as its own item. Values are stored colours (red in the low byte; a high byte of
// 0xFF marks a desktop colour). Window thread only.
#include <QComboBox>

class DialogService;

class TColorBox final : public QComboBox {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TColorBox)

public:
    // dialogs answers "Custom..."; not owned.
    TColorBox(DialogService& dialogs, QWidget* parent = nullptr);

    quint32 Value() const { return value_; }
    void SetValue(quint32 value);
    // The position of the "Custom..." item.
    int CustomChoiceIndex() const { return count() - 1; }

private:
    void OnActivated(int index);
    void AddColorItem(int position, const QString& name, quint32 value);

    DialogService& dialogs_;
    quint32 value_ = 0;
    bool hasOwnItem_ = false; // the item just before "Custom..." holds a value outside the list
};
