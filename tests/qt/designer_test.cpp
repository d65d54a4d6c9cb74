// The Designer plugin as Qt Designer sees it: loaded by QPluginLoader, the
// two widgets in the group "Orlenvo" with 24 x 24 icons, each created, and
// each initial form fragment read back into a widget that shows its sample.
#include "qt_test_support.h"

#include "qbarcode/qbdbbarcode.h"

#include <QBuffer>
#include <QDir>
#include <QFileInfo>
#include <QPluginLoader>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtUiPlugin/QDesignerCustomWidgetCollectionInterface>
#include <QtUiPlugin/QDesignerCustomWidgetInterface>
#include <gtest/gtest.h>

#include <memory>

using namespace qb;

namespace {

TEST(DesignerPlugin, OffersBothWidgetsInTheGroup)
{
    QPluginLoader plugin(QStringLiteral(QB_DESIGNER_PLUGIN));
    ASSERT_TRUE(plugin.load()) << plugin.errorString().toStdString();
    EXPECT_EQ(plugin.metaData().value(QStringLiteral("IID")).toString(),
              QStringLiteral("org.qt-project.Qt.QDesignerCustomWidgetCollectionInterface"));
    auto* collection = qobject_cast<QDesignerCustomWidgetCollectionInterface*>(plugin.instance());
    ASSERT_NE(collection, nullptr);
    const QList<QDesignerCustomWidgetInterface*> widgets = collection->customWidgets();
    ASSERT_EQ(widgets.size(), 2);
    const char* const names[] = {"qb::QbBarCode", "qb::QbDBBarcode"};
    for (int i = 0; i < 2; ++i) {
        QDesignerCustomWidgetInterface* w = widgets[i];
        SCOPED_TRACE(names[i]);
        EXPECT_EQ(w->name(), QLatin1String(names[i]));
        EXPECT_EQ(w->group(), QStringLiteral("Orlenvo"));
        EXPECT_FALSE(w->isContainer());
        EXPECT_FALSE(w->toolTip().isEmpty());
        const QIcon icon = w->icon();
        ASSERT_FALSE(icon.isNull());
        EXPECT_EQ(icon.availableSizes(), QList<QSize>{QSize(24, 24)});
        // uic writes the include file into generated code: a public header.
        EXPECT_TRUE(QFileInfo::exists(QStringLiteral(QB_SOURCE_DIR "/qt/include/") + w->includeFile()))
            << w->includeFile().toStdString();

        QWidget parent;
        QWidget* created = w->createWidget(&parent);
        ASSERT_NE(created, nullptr);
        EXPECT_EQ(created->metaObject()->className(), w->name());
        EXPECT_EQ(created->parentWidget(), &parent);

        // The fragment Designer drops on a form, inside a form file.
        QString dom = w->domXml();
        ASSERT_TRUE(dom.startsWith(QStringLiteral("<ui"))) << dom.toStdString();
        dom.replace(QStringLiteral("<ui language=\"c++\""), QStringLiteral("<ui version=\"4.0\""));
        QBuffer ui;
        ui.setData(dom.toUtf8());
        ui.open(QIODevice::ReadOnly);
        qbtest::Loader loader;
        std::unique_ptr<QWidget> loaded(loader.load(&ui));
        ASSERT_TRUE(loaded) << loader.errorString().toStdString();
        auto* barcode = qobject_cast<QbBarCode*>(loaded.get());
        ASSERT_NE(barcode, nullptr);
        EXPECT_EQ(barcode->BarType(), QbBarCode::bcCodeEAN13);
        EXPECT_EQ(barcode->BarCode(), QStringLiteral("4006381333931"));
        EXPECT_NE(barcode->TextShow(), QbBarCode::tsNone);
        EXPECT_TRUE(barcode->lastError().isEmpty());
        EXPECT_GE(barcode->width(), barcode->sizeHint().width()) << "the sample shows whole";
    }
}

// Qt Designer itself, on a virtual X display with the built plugin on its
// plugin path, loads the plugin and says nothing about it.
TEST(DesignerPlugin, DesignerLoadsItWithoutWarnings)
{
    const QString xvfb = QStandardPaths::findExecutable(QStringLiteral("xvfb-run"));
    const QString designer = QStringLiteral(QB_QT_BIN_DIR "/designer");
    if (xvfb.isEmpty() || !QFileInfo::exists(designer))
        GTEST_SKIP() << "needs xvfb-run and Qt Designer";
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "an instrumented plugin cannot load into Designer, which is not instrumented";
#endif
    QTemporaryDir home;
    QProcess run;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("QT_QPA_PLATFORM"));
    env.insert(QStringLiteral("QT_PLUGIN_PATH"), QFileInfo(QStringLiteral(QB_DESIGNER_PLUGIN_DIR)).path());
    env.insert(QStringLiteral("QT_DEBUG_PLUGINS"), QStringLiteral("1"));
    env.insert(QStringLiteral("HOME"), home.path());
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), home.path());
    run.setProcessEnvironment(env);
    run.setProcessChannelMode(QProcess::MergedChannels);
    // Designer runs until closed: it is stopped once it has loaded the
    // plugin (or after a minute, on a very busy machine).
    const QString plugin = QFileInfo(QStringLiteral(QB_DESIGNER_PLUGIN)).fileName();
    run.start(QStringLiteral("timeout"), {QStringLiteral("-s"), QStringLiteral("TERM"), QStringLiteral("60"), xvfb,
                                          QStringLiteral("-a"), designer});
    ASSERT_TRUE(run.waitForStarted());
    QByteArray output;
    const auto loaded = [&] {
        for (const QByteArray& line : output.split('\n'))
            if (line.contains("loaded library") && line.contains(plugin.toLocal8Bit()))
                return true;
        return false;
    };
    while (run.state() != QProcess::NotRunning && !loaded()) {
        run.waitForReadyRead(1000);
        output += run.readAll();
    }
    run.waitForReadyRead(2000); // what Designer says about the plugin once loaded
    output += run.readAll();
    run.terminate();
    ASSERT_TRUE(run.waitForFinished(30000));
    const QString out = QString::fromLocal8Bit(output + run.readAll());
    EXPECT_TRUE(out.contains(QStringLiteral("loaded library")) && out.contains(plugin)) << out.toStdString();
    for (const QString& line : out.split(QLatin1Char('\n'))) {
        if (line.contains(plugin) || line.contains(QStringLiteral("QbBarCode")) ||
            line.contains(QStringLiteral("QbDBBarcode"))) {
            EXPECT_FALSE(line.contains(QStringLiteral("arning")) || line.contains(QStringLiteral("rror")) ||
                         line.contains(QStringLiteral("annot")))
                << line.toStdString();
        }
    }
}

} // namespace
