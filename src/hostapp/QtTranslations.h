#pragma once
// Qt's own texts (standard buttons, file and print dialogs, print preview,
// context menus) in Brazilian Portuguese, from the catalogues Debian installs
// with qt6-translations-l10n.
#include <QStringList>

namespace hostapp {

// Loads and installs the catalogues the host uses; answers the names of those
// it could not find (empty when all were loaded). Safe to call more than once.
QStringList installQtTranslations();

} // namespace hostapp
