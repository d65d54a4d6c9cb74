// The module `qbarcode form render` opens for a .ui file: it loads the form
// with QUiLoader (our widgets made here, as designed: their texts are the
// file's own), and paints it into a PNG, SVG or PDF file, written whole or
// not at all. The command links no Qt; it reaches this module through one C
// entry, so no exception and no Qt type crosses between them.
#include "qbarcode/qbdbbarcode.h"
#include "qbarcode/ui_render.h"

#include <QApplication>
#include <QBuffer>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QSaveFile>
#include <QSvgGenerator>
#include <QUiLoader>

#include <cstdio>
#include <memory>

using namespace qb;

namespace {

// Our widgets without the Designer plugin; the others from Qt's own set.
struct Loader : QUiLoader {
    QWidget* createWidget(const QString& className, QWidget* parent, const QString& name) override
    {
        QWidget* w = nullptr;
        if (className == QLatin1String("qb::QbBarCode")) {
            w = new QbBarCode(parent);
        } else if (className == QLatin1String("qb::QbDBBarcode")) {
            auto* db = new QbDBBarcode(parent);
            db->setDesigning(true);
            w = db;
        } else {
            return QUiLoader::createWidget(className, parent, name);
        }
        w->setObjectName(name);
        // A property the control refuses spoils the form (later settings
        // clear lastError(), so the refusal is kept here).
        QObject::connect(static_cast<QbBarCode*>(w), &QbBarCode::refused, w, [this, w](const QString& message) {
            if (refusal.isEmpty())
                refusal = w->objectName() + QStringLiteral(": ") + message;
        });
        return w;
    }

    QString refusal; // the first property a widget of the form refused
};

struct Failure {
    QString message;
};

void Render(const QByteArray& ui, const QString& name, const QString& output, int format, bool smoothText)
{
    QBuffer buffer;
    buffer.setData(ui);
    buffer.open(QIODevice::ReadOnly);
    Loader loader;
    std::unique_ptr<QWidget> form(loader.load(&buffer));
    if (!form)
        throw Failure{name + QStringLiteral(": not a form file: ") + loader.errorString()};
    form->setAttribute(Qt::WA_DontShowOnScreen);
    form->show(); // lays the form out as it shows
    const QSize size = form->size();
    if (size.isEmpty())
        throw Failure{QStringLiteral("%1: the form is %2 x %3 pixels; nothing to render")
                          .arg(name)
                          .arg(size.width())
                          .arg(size.height())};
    // Crisp captions on PNG images unless asked otherwise, as for form files.
    QList<QbBarCode*> barcodes = form->findChildren<QbBarCode*>();
    if (auto* self = qobject_cast<QbBarCode*>(form.get()))
        barcodes.append(self);
    for (QbBarCode* b : barcodes) {
        QFont font = b->font();
        font.setStyleStrategy(format == QB_UI_PNG && !smoothText ? QFont::NoAntialias : QFont::PreferDefault);
        b->setFont(font);
    }
    if (!loader.refusal.isEmpty())
        throw Failure{name + QStringLiteral(": ") + loader.refusal};

    QSaveFile file(output);
    if (!file.open(QIODevice::WriteOnly))
        throw Failure{QStringLiteral("Cannot write '%1': %2").arg(output, file.errorString())};
    if (format == QB_UI_PNG) {
        QImage image(size, QImage::Format_RGB32);
        image.fill(form->palette().color(QPalette::Window));
        form->render(&image);
        if (!image.save(&file, "PNG"))
            throw Failure{QStringLiteral("Cannot write '%1'").arg(output)};
    } else if (format == QB_UI_SVG) {
        QSvgGenerator svg;
        svg.setOutputDevice(&file);
        svg.setSize(size);
        svg.setViewBox(QRect(QPoint(), size));
        svg.setTitle(form->windowTitle());
        QPainter painter(&svg);
        form->render(&painter);
    } else {
        // A page of the form's size: a pixel is 1/96 inch, as on screen.
        QPdfWriter pdf(&file);
        pdf.setResolution(96);
        pdf.setPageSize(QPageSize(QSizeF(size) * 72.0 / 96.0, QPageSize::Point));
        pdf.setPageMargins(QMarginsF());
        pdf.setTitle(form->windowTitle());
        QPainter painter(&pdf);
        form->render(&painter);
    }
    if (!file.commit())
        throw Failure{QStringLiteral("Cannot write '%1': %2").arg(output, file.errorString())};
}

} // namespace

extern "C" __attribute__((visibility("default"))) int QB_UI_RENDER_ENTRY_NAME(const char* ui, std::size_t size,
                                                                              const char* name, const char* output,
                                                                              int format, int smoothText, char* message,
                                                                              std::size_t room)
{
    try {
        // The command has no application object: one for the whole process,
        // off screen unless the environment names a platform.
        if (!QApplication::instance()) {
            // Qt's notes about the session (no runtime folder, no window
            // manager) mean nothing to a command: only its errors are shown.
            qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& text) {
                if (type == QtCriticalMsg || type == QtFatalMsg)
                    std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
            });
            if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
                qputenv("QT_QPA_PLATFORM", "offscreen");
            static int argc = 1;
            static char program[] = "qbarcode";
            static char* argv[] = {program, nullptr};
            new QApplication(argc, argv); // kept for the life of the process
        }
        Render(QByteArray(ui, static_cast<qsizetype>(size)), QString::fromLocal8Bit(name),
               QString::fromLocal8Bit(output), format, smoothText != 0);
        return 0;
    } catch (const Failure& f) {
        std::snprintf(message, room, "%s", f.message.toLocal8Bit().constData());
    } catch (const std::exception& e) {
        std::snprintf(message, room, "%s", e.what());
    }
    return 1;
}
