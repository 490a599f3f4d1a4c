#pragma once
// The tail window: one per process.
#include <QMainWindow>

class TFormTail final : public QMainWindow {
    Q_OBJECT
public:
    explicit TFormTail(QWidget* parent = nullptr);
};
