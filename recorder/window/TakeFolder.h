#pragma once

#include <QString>

// Where takes are written: the executable's folder when it is writable (a portable install),
// otherwise the user's music folder, subfolder "Tolvane", created on demand.
QString takeFolder();
