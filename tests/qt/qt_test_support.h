// What the Qt suites share: a .ui loader that finds the widgets through the
// built Designer plugin, as an application's QUiLoader finds the installed one.
#pragma once

#include <QUiLoader>

namespace qbtest {

struct Loader : QUiLoader {
    Loader()
    {
        clearPluginPaths();
        addPluginPath(QStringLiteral(QB_DESIGNER_PLUGIN_DIR));
    }
};

} // namespace qbtest
