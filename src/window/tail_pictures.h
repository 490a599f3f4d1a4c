#pragma once
// The window's pictures, by short name, from the program's resources.
#include <QIcon>
#include <QString>

QIcon TailPicture(const QString& name);
