// Renders the pictures of the README: the tail window stopped and running on a growing demo log
// with a filter and context lines, the alerts window and the about box. Runs offscreen with its
// own settings folder; usage: kovra_screenshots OUTPUT_FOLDER
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDateTime>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTimer>

#include "engine/tail_state.h"
#include "manage/fTailAbout.h"
#include "manage/fTailAlerts.h"
#include "manage/fTailManager.h"
#include "manage/fTailParam.h"
#include "manage/fTailTree.h"
#include "platform/dialogs.h"
#include "settings/uList.h"
#include "settings/uParam.h"
#include "silent_services.h"
#include "util/window_identity.h"
#include "widgets/line_colors.h"
#include "widgets/tail_view.h"
#include "widgets/view_bookmarks.h"
#include "window/fTail.h"

namespace {

// The parameters dialog, one picture per tab, with an SMTP account filled in and the "Open with"
// entry made (in the demo's own data folder).
void ShootParameters(TFormTail& window, DialogService& dialogs, MailSender& mail, const QString& out);
// The log without filter or alert: lines coloured by level, two highlight rules and two bookmarks,
// by day and by night.
void ShootLevels(TFormTail& window, const QString& log, const QString& out);

void AppendLines(const QString& path, int count, int seed) {
    static const char* const kLines[] = {
        "INFO  [nginx] request served in %1 ms from 192.168.1.20",
        "INFO  [sshd] session opened for user deploy from 10.0.4.17",
        "WARN  [db-pool] slow query (%1 ms) from 127.0.0.1",
        "INFO  [cron] job finished, %1 rows processed",
        "ERROR [app-api] connection refused by 172.16.8.3",
        "INFO  [postfix] connection pool size %1",
        "DEBUG [app-api] heartbeat from 127.0.0.1",
        "ERROR [sshd] failed password for root from 10.0.4.17 port 5%1 ssh2",
    };
    QFile file(path);
    if (!file.open(QIODevice::Append))
        return;
    static QDateTime stamp = QDateTime(QDate(2026, 12, 9), QTime(9, 14, 2));
    for (int i = 0; i < count; ++i) {
        const int n = (seed + i * 7) % 8;
        QString text = QString::fromLatin1(kLines[n]);
        if (text.contains(QStringLiteral("%1")))
            text = text.arg((seed + i) * 37 % 900 + 12);
        stamp = stamp.addMSecs(613 + 97 * i);
        file.write((stamp.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz ")) + text + u'\n').toUtf8());
    }
}

void Wait(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// A file list worth showing: two groups of files and the demo log itself.
void FillDemoList(TTailFileManager& manager, const QString& log) {
    TTailFileList& list = *manager.List;
    const auto add = [&list](const QString& path, const QString& alias, int level) {
        list.AddFile(path, alias)->SetLevel(level);
    };
    add(log, QStringLiteral("Demo"), 0);
    add(QString(), QStringLiteral("Web servers"), 0);
    add(QStringLiteral("/var/log/nginx/access.log"), QString(), 1);
    add(QStringLiteral("/var/log/nginx/error.log"), QStringLiteral("nginx errors"), 1);
    add(QString(), QStringLiteral("Databases"), 0);
    add(QStringLiteral("/var/log/postgresql/postgresql-15-main.log"), QString(), 1);
    add(QStringLiteral("/var/log/mysql/*.log"), QStringLiteral("MySQL"), 1);
    list.RItems(3)->SetWrap(true);
    list.RItems(3)->WindowWidth = QStringLiteral("800");
    list.RItems(3)->WindowHeight = QStringLiteral("600");
    manager.SetFileName(log);
}

void SaveFileManager(TFormTail& window, DialogService& dialogs, const QString& out) {
    TFormFileManager dialog(window.Manager(), dialogs, &window);
    dialog.SizeToOwner(window.size());
    dialog.show();
    dialog.Widgets().RzCheckList1->setCurrentRow(3);
    Wait(200);
    dialog.grab().save(out + QStringLiteral("/file-manager.png"));
    dialog.Widgets().tabs->setCurrentIndex(1);
    Wait(200);
    dialog.grab().save(out + QStringLiteral("/file-manager-default.png"));
}

// The tree drops down over the window: both in one picture.
void SaveFileTree(TFormTail& window, const QString& out) {
    FileTreeOptions options;
    options.fontName = window.Params().pathcombofontname;
    options.autoExpand = true;
    TFormFileTree tree(window.Manager(), options, &window);
    tree.PlaceOver(*window.Widgets().EditComboBox, *window.Widgets().RzBitBtnOpenTree);
    tree.show();
    Wait(200);
    QPixmap picture = window.grab();
    QPainter painter(&picture);
    painter.drawPixmap(tree.geometry().topLeft() - window.geometry().topLeft(), tree.grab());
    painter.end();
    picture.save(out + QStringLiteral("/file-tree.png"));
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir settings(QDir::tempPath() + QStringLiteral("/kovra-demo-XXXXXX"));
    qputenv("XDG_CONFIG_HOME", settings.path().toUtf8());
    qputenv("XDG_DATA_HOME", settings.filePath(QStringLiteral("data")).toUtf8());
    QApplication app(argc, argv);
    const QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("docs");
    QDir().mkpath(out);
    const QString log = settings.filePath(QStringLiteral("app.log"));
    AppendLines(log, 60, 1);

    SilentDialogs dialogs;
    NoSound sound;
    NoMail mail;
    TailWindowServices services;
    services.dialogs = &dialogs;
    services.sound = &sound;
    services.mail = &mail;
    NoNotifications notifications;
    services.notifier = &notifications;
    services.joinInstances = false;
    services.arguments = {QStringLiteral("kovra"), log};
    TFormTail window(services);
    window.show();
    Wait(300);
    window.grab().save(out + QStringLiteral("/tail-stopped.png"));

    const TailWidgets& w = window.Widgets();
    w.RzComboBoxFilter->setEditText(QStringLiteral("ERROR|WARN"));
    w.CheckBoxFilter->click();
    w.RzSpinEditFilterHistory->setValue(1);
    w.RzComboBoxAlarm->setEditText(QStringLiteral("failed password"));
    w.CheckBoxAlert->click();
    window.SetTailStatus(tsStart);
    Wait(1500);
    AppendLines(log, 12, 5);
    Wait(2500);
    window.grab().save(out + QStringLiteral("/tail-running.png"));
    window.Alerts().resize(560, 220);
    window.Alerts().grab().save(out + QStringLiteral("/alerts-window.png"));

    ShootLevels(window, log, out);
    FillDemoList(window.Manager(), log);
    SaveFileManager(window, dialogs, out);
    SaveFileTree(window, out);
    ShootParameters(window, dialogs, mail, out);

    TFormAbout about;
    about.show();
    Wait(200);
    about.grab().save(out + QStringLiteral("/about-box.png"));
    window.close();
    return 0;
}

namespace {

void ShootParameters(TFormTail& window, DialogService& dialogs, MailSender& mail, const QString& out) {
    TTailParam& params = window.Params();
    params.smtpserver = QStringLiteral("mail.example.com:587");
    params.smtplogin = QStringLiteral("ops-alerts");
    params.smtppassword = QStringLiteral("secret");
    params.smtpfrom = QStringLiteral("kovra@example.com");
    params.alertemail = QStringLiteral("ops@example.com; Night Shift <night@example.com>");
    params.sendalertemail = true;
    params.CommandLine = QStringLiteral("/usr/local/bin/kovra /start \"/var/log/nginx/access.log\"");
    params.Identity = WindowIdentity(params.CommandLine).value;
    TFormTailParam dialog(params, TailParamServices{&dialogs, &mail}, &window);
    dialog.show();
    Wait(200);
    dialog.Widgets().CheckBox_ShellAddStart->click();
    dialog.Widgets().CheckBox_ShellSendTo->click();
    const char* const names[] = {"params-general", "params-alerts", "params-colors", "params-about"};
    for (int tab = 0; tab < 4; ++tab) {
        dialog.Widgets().PageControl->setCurrentIndex(tab);
        Wait(150);
        dialog.grab().save(out + u'/' + QString::fromLatin1(names[tab]) + QStringLiteral(".png"));
    }
    dialog.hide();
}

void ShootLevels(TFormTail& window, const QString& log, const QString& out) {
    const TailWidgets& w = window.Widgets();
    TTailParam& params = window.Params();
    w.CheckBoxFilter->click();
    w.CheckBoxAlert->click();
    params.highlightRules = {{QStringLiteral("10\\.0\\.4\\.17"), 0x0080FFFF, false},
                             {QStringLiteral("\\[cron\\]"), 0x00FFD8A0, true}};
    AppendLines(log, 10, 3);
    Wait(2500);
    TailView& view = *w.MemoTail;
    for (const qint64 line : {view.LineCount() - 14, view.LineCount() - 6}) {
        view.Select({{line, 0}, {line, 0}});
        window.Bookmarks().Toggle();
    }
    view.ClearSelection();
    window.LineColors().Refresh();
    Wait(300);
    window.grab().save(out + QStringLiteral("/tail-levels.png"));
    params.switchdaycolor = true;
    params.daystartat = params.nightstartat = 8; // never day
    window.ApplyColors();
    Wait(300);
    window.grab().save(out + QStringLiteral("/tail-levels-night.png"));
    params.switchdaycolor = false;
    window.ApplyColors();
}

} // namespace
