#pragma once
// Changes Kovra's sections of the INI file and saves it: the file is read again first, so what
// other windows and programs stored in it meanwhile stays, and a file that exists but cannot be
// read is not overwritten. Window thread only.
#include <functional>

class DialogService;
class IniFile;

// Shows "Unable to save Kovra parameters in " + path + ". Err=" + text on failure (false then);
// dialogs may be null.
bool UpdateIniFile(const std::function<void(IniFile&)>& change, DialogService* dialogs);
