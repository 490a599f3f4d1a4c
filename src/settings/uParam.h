#pragma once
// TTailParam: the global parameters, one object per process, owned by the tail window.
// Stored as typed values in the per-user store under "\Software\Velmora\Quorvel\global".
// Window thread only creates, loads, saves and changes it; a tail pass on the worker reads the
// plain fields without a lock while the dialogs that change them keep the tail stopped.
#include <vector>

#include <QObject>
#include <QString>

#include "settings/highlight_rules.h"

class DialogService;

class TTailParam final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TTailParam)

public:
    // dialogs may be null (nothing is shown then); not owned.
    explicit TTailParam(DialogService* dialogs = nullptr, QObject* parent = nullptr);

    // Fields, named after their stored value names, in load order.
    bool minimizetotray = false;
    bool removepathontaskbar = false;
    bool usealphablend = false;
    bool autoexpandtree = false;
    QString pathcombofontname;
    qint32 alphablendvalue = 0;
    bool usethread = false;
    qint32 threadprio = 0;
    qint32 filterBAmode = 0;
    bool alwaysontop = false;
    bool alertbtf = false;
    bool playalertsound = false;
    bool sendalertemail = false;
    QString alertsoundfile;
    QString alertemail;
    bool showremlineinfo = false;
    bool alwaysscroll = false;
    bool filechangebtf = false;
    bool playfilechangesound = false;
    bool filechangesoundonlyifsince = false;
    qint32 filechangesoundonlyifsincedelay = 0;
    bool filechangesoundonlyifminimized = false;
    QString filechangesoundfile;
    QString smtpserver;
    QString smtplogin;
    QString smtpfrom;
    QString smtppassword; // plain text in memory; scrambled in the store
    bool switchdaycolor = false;
    quint32 tailcolor_day = 0;
    quint32 tailcolor_night = 0;
    quint32 filtercolor_day = 0;
    quint32 filtercolor_night = 0;
    quint32 stoppedcolor_day = 0;
    quint32 stoppedcolor_night = 0;
    quint32 guifontcolor_day = 0;
    quint32 guifontcolor_night = 0;
    quint32 guicolor_day = 0;
    quint32 guicolor_night = 0;
    qint32 daystartat = 0;
    qint32 nightstartat = 0;
    // Desktop notifications of text alerts and of file-change notices.
    bool notifyalert = false;
    bool notifyfilechange = false;
    // The view colours lines by the level they show (error, warning, debug).
    bool colorlinesbylevel = true;

    // The highlight rules, in order: stored in the INI file (highlight_rules.h), not with the
    // values above.
    std::vector<HighlightRule> highlightRules;

    // Run-time only, never stored: the raw command line of the process and its identity.
    QString CommandLine;
    quint32 Identity = 0;

    // Fills every field from the store; missing or wrongly typed values take their defaults.
    void LoadParams();
    // Writes every field. On failure shows "Unable to save Kovra global parameters in registry. Err="
    // + the error text through the dialog service and answers false.
    bool SaveParams();

    void SetMinimizeToTray(bool value);
    void SetUseAlphaBlend(bool value);
    void SetAlphaBlendValue(qint32 value);
    void SetAlwaysOnTop(bool value);
    void SetRemovePathOnTaskbar(bool value);
    void SetPathComboFontName(const QString& name);
    void SetNotifyAlert(bool value);
    void SetNotifyFileChange(bool value);

    // The settings folder (ends with "/") and the INI file in it.
    static QString GetSettingsFolder();
    static QString GetIniFileName();

    static QString ScramblePassword(const QString& plain);
    static QString UnscramblePassword(const QString& scrambled);

signals:
    // Emitted by the setters; the window applies them (tray icon, translucency).
    void MinimizeToTrayChanged(bool enabled);
    void AlphaBlendChanged(bool use, qint32 value);

private:
    DialogService* dialogs_;
};
