#pragma once
// The filter and alert pattern histories: the item lists of the two pattern combo boxes, kept
// sorted without regard to case, loaded at start-up and saved when the window goes away.
// Window thread only.
#include <QStringListModel>

class DialogService;

class THistoryModel final : public QStringListModel {
    Q_OBJECT
public:
    explicit THistoryModel(QObject* parent = nullptr);

    // Adds text at its sorted place unless it is empty or an item equals it exactly (case counts).
    bool AddToHistory(const QString& text);
    // Puts text at its sorted place as it is: what a stored history holds is loaded unchanged,
    // duplicates included.
    void InsertSorted(const QString& text);
    QStringList Items() const { return stringList(); }
    void ClearItems();
};

// INI file first; the older registry keys only when there is no INI file.
void LoadHistories(THistoryModel& filter, THistoryModel& alarm);
// Shows "Unable to save Kovra parameters in " + path + ". Err=" + text on failure (false then).
bool SaveHistories(const THistoryModel& filter, const THistoryModel& alarm, DialogService* dialogs);
