#pragma once
// The parameters dialog opened the way the user opens it: from a tail window of this process
// (window_fixture.h), its settings and its "Open with" folder in the test's temporary folder.
#include <functional>
#include <memory>

#include <QString>

#include "manage/fTailParam.h"
#include "window_fixture.h"

class TColorBox;

class ParamDialogTest : public TailWindowTest {
protected:
    void SetUp() override;
    void TearDown() override;

    // Clicks the window's parameters button; act runs on the dialog once it is shown, from inside
    // its modal loop. A dialog still open after act fails the test and is closed.
    void OpenParameters(const std::function<void(TFormTailParam&)>& act);

    QString DataHome() const { return TempPath(QStringLiteral("data")); }

private:
    std::unique_ptr<ScopedEnv> dataHome_;
};

// Picks the named item of a colour box as the user does (keyboard), or "Custom..." with the End key.
void PickColor(TColorBox* box, const QString& itemText);
void PickCustomColor(TColorBox* box);
// Every line of the text that starts with prefix.
QStringList LinesStartingWith(const QString& text, const QString& prefix);
