#include "settings/ini_update.h"

#include "platform/dialogs.h"
#include "platform/ini_file.h"
#include "platform/settings_paths.h"
#include "settings/uParam.h"

bool UpdateIniFile(const std::function<void(IniFile&)>& change, DialogService* dialogs) {
    const QString path = TTailParam::GetIniFileName();
    IniFile ini(path);
    QString error;
    bool ok = EnsureFolder(TTailParam::GetSettingsFolder(), &error) && ini.Load(&error);
    if (ok) {
        change(ini);
        ok = ini.Save(&error);
    }
    if (!ok && dialogs)
        dialogs->ShowMessage(DialogService::Icon::Information,
                             QStringLiteral("Unable to save Kovra parameters in ") + path +
                                 QStringLiteral(". Err=") + error);
    return ok;
}
