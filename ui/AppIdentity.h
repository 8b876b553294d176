#pragma once

#include <QIcon>
#include <QString>

// What the running application says about itself: its version and build
// strings and its icon.
namespace AppIdentity {

// The application's version string (empty when none is set).
QString versionString();
// The build string (empty when none is set).
QString buildString();

// The window icon when the application has one, else a drawn emblem.
QIcon icon();
QIcon drawnIcon();

}  // namespace AppIdentity
